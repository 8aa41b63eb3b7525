// One joint drag end to end, as the user makes it in a host view: the host's
// move callback, 128 relaxation passes, joints written, bones and bound
// objects placed, every skin area deformed and the mesh written back. The
// rig is a chain of bones along x with one tube mesh bound to all of them;
// neighbouring areas overlap, so vertices near a joint blend two bones.
//
// Beside it: the deformation alone, the host calls it cannot do without, and
// a plain linear-blend skinning loop over the same areas, weights and
// matrices, with inline arithmetic instead of the host's functions. At the
// end the deformation's time over the plain loop's, size by size.
//
// Once the drag has bent the rig some matrix entries are subnormal floats
// (counter "subnormal"). The host transforms in double, where they are
// ordinary numbers; float arithmetic on them takes a slow path on many
// processors, which made the plain loop three times slower than on normal
// data and its ratio flattering. So the deformation, the host calls and the
// plain loop all run with subnormals flushed to zero.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "PluginStart.h"
#include "Skeleton.h"
#include "Skin.h"

namespace {

using namespace vel;

constexpr int kRingSegments = 16;
constexpr float kTubeRadius = 0.3f;
constexpr float kBoneLength = 1.0f;

// The plug-in started in-process as the host starts it, with one skeleton
// built for a given size. Kept between the benchmark's runs of one size,
// since building the bigger rigs takes longer than measuring them.
class TRig {
public:
    TRig(int bones, int vertices) : FBones(bones), FVertices(vertices) {
        Build();
        tsxhost::SetCallLog(false);
    }

    bool Is(int bones, int vertices) const { return FBones == bones && FVertices == vertices; }

    TSkeleton* Skel = nullptr;
    CtsxPolyh Mesh = nullptr;
    TJoint* Tip = nullptr;

private:
    void Build() {
        SetupMode = true;
        NewSkeleton();
        Skel = CurrentSkeleton;
        TJoint* prev = nullptr;
        for (int i = 0; i <= FBones; ++i) {
            TJoint* j = Skel->Joints.Items(Skel->AddJointObject(NewJointObject()));
            j->SetPosition(CtsxVec3f{kBoneLength * static_cast<float>(i), 0, 0});
            if (prev) Skel->NewBone(prev, j);
            prev = j;
        }
        Tip = prev;
        Skel->Bones.PlaceAll();

        // Rings spread over the chain, none exactly on a joint.
        const int rings = FVertices / kRingSegments;
        const float span = kBoneLength * static_cast<float>(FBones);
        std::vector<CtsxVec3f> vxs;
        vxs.reserve(static_cast<std::size_t>(rings * kRingSegments));
        for (int r = 0; r < rings; ++r) {
            const float x = span * (static_cast<float>(r) + 0.5f) / static_cast<float>(rings);
            for (int s = 0; s < kRingSegments; ++s) {
                const float a = 6.2831853f * static_cast<float>(s) / kRingSegments;
                vxs.push_back({x, kTubeRadius * std::cos(a), kTubeRadius * std::sin(a)});
            }
        }
        Mesh = tsxhost::AddPolyhedron("Body", vxs, {});

        for (auto& bone : Skel->Bones.List) {
            bone->AttachChild(Mesh);
            Skel->EnableSkin(Mesh, bone.get());
            // A quarter bone of overlap at each end, ramped.
            TSkinArea* area = bone->SkinAreas(bone->ChildCount() - 1);
            area->Root = area->Tip = 0.25f * kBoneLength;
            area->RootRamp = area->TipRamp = 0.3f;
            bone->RecollectSkinArea(Mesh);
        }
        SetupMode = false;
        tsxhost::Select(Tip->Node);
    }

    TPluginStart FStart;
    int FBones, FVertices;
};

std::unique_ptr<TRig>& CurrentRig() {
    static std::unique_ptr<TRig> rig;
    return rig;
}

TRig& RigFor(benchmark::State& state) {
    std::unique_ptr<TRig>& rig = CurrentRig();
    const int bones = static_cast<int>(state.range(0));
    const int vertices = static_cast<int>(state.range(1));
    if (!rig || !rig->Is(bones, vertices)) {
        rig.reset();
        rig = std::make_unique<TRig>(bones, vertices);
    }
    return *rig;
}

void Label(benchmark::State& state) {
    state.counters["bones"] = static_cast<double>(state.range(0));
    state.counters["vertices"] = static_cast<double>(state.range(1));
}

// Subnormal inputs and results count as zero inside its scope.
class TFlushSubnormals {
public:
#if defined(__SSE__)
    TFlushSubnormals() : FSaved(_mm_getcsr()) { _mm_setcsr(FSaved | 0x8040); } // FTZ | DAZ
    ~TFlushSubnormals() { _mm_setcsr(FSaved); }

private:
    unsigned FSaved;
#endif
public:
    TFlushSubnormals(const TFlushSubnormals&) = delete;
    TFlushSubnormals& operator=(const TFlushSubnormals&) = delete;
};

CtsxTxmx3f Translation(float x, float y, float z) {
    return CtsxTxmx3f{{1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z}};
}

// Small moves back and forth, so every run sees the same bend.
void BM_JointDrag(benchmark::State& state) {
    TRig& rig = RigFor(state);
    tsxhost::BeginDrag();
    // A first step outside the timing: a drag that never reaches the rig
    // would measure nothing and look fast.
    const float before = rig.Tip->Position.y;
    tsxhost::DragStep(Translation(0, 0.05f, 0.02f));
    if (rig.Tip->Position.y == before) {
        tsxhost::EndDrag();
        state.SkipWithError("the host's move did not reach the skeleton");
        return;
    }
    float dir = -1;
    for (auto _ : state) {
        tsxhost::DragStep(Translation(0, 0.05f * dir, 0.02f * dir));
        dir = -dir;
    }
    tsxhost::EndDrag();
    benchmark::DoNotOptimize(tsxPolyhGetVxArray(rig.Mesh)[0]);
    Label(state);
}

// The deformation pass alone (weights, accumulation, normalizing, write-back).
void BM_DeformRootSkins(benchmark::State& state) {
    TRig& rig = RigFor(state);
    const TFlushSubnormals flush;
    for (auto _ : state)
        rig.Skel->DeformRootSkins();
    benchmark::DoNotOptimize(tsxPolyhGetVxArray(rig.Mesh)[0]);
    Label(state);
}

// The same blend written plainly: the areas' index lists and weights, each
// area's mesh-space matrix as Deform builds it, accumulated and divided with
// inline float arithmetic.
void BM_PlainLinearBlend(benchmark::State& state) {
    TRig& rig = RigFor(state);
    rig.Skel->DeformRootSkins(); // weights and matrices of the current pose
    TSkinObject* skin = rig.Skel->Skins->Items(0);
    struct TArea {
        const TSkinArea* Area;
        float M[12];
    };
    std::vector<TArea> areas;
    CtsxTxmx3f v, vInv;
    tsxPolyhGetVxTxmx(rig.Mesh, &v);
    tsxInvertMx3f(&vInv, &v);
    for (auto& bone : rig.Skel->Bones.List) {
        const TSkinArea* area = bone->SkinAreas(0);
        CtsxTxmx3f b, m;
        bool made = false;
        bone->GetMatrix(b, &made);
        tsxXProdMx3f(&m, &b, &area->Matrix);
        tsxAddMxTranslation3f(&m, &bone->Head->Position);
        tsxXProdMx3f(&m, &vInv, &m);
        TArea a{area, {}};
        for (int k = 0; k < 12; ++k)
            a.M[k] = m.m[k];
        areas.push_back(a);
    }
    const std::vector<CtsxVec3f>& rest = skin->RestVertices();
    const std::size_t n = rest.size();
    std::vector<CtsxVec3f> accum(n), out(n);
    std::vector<float> wsum(n);
    int subnormal = 0;
    for (const TArea& a : areas)
        for (float m : a.M)
            subnormal += std::fpclassify(m) == FP_SUBNORMAL;
    state.counters["subnormal"] = subnormal;
    const TFlushSubnormals flush;
    for (auto _ : state) {
        std::fill(accum.begin(), accum.end(), CtsxVec3f{0, 0, 0});
        std::fill(wsum.begin(), wsum.end(), 0.0f);
        for (const TArea& a : areas) {
            const float* M = a.M;
            const std::size_t count = a.Area->Indexes.size();
            const std::int32_t* idx = a.Area->Indexes.data();
            const float* w = a.Area->AreaWeights.data();
            for (std::size_t k = 0; k < count; ++k) {
                const CtsxVec3f& r = rest[static_cast<std::size_t>(idx[k])];
                CtsxVec3f& acc = accum[static_cast<std::size_t>(idx[k])];
                const float wk = w[k];
                acc.x += wk * (M[0] * r.x + M[1] * r.y + M[2] * r.z + M[3]);
                acc.y += wk * (M[4] * r.x + M[5] * r.y + M[6] * r.z + M[7]);
                acc.z += wk * (M[8] * r.x + M[9] * r.y + M[10] * r.z + M[11]);
                wsum[static_cast<std::size_t>(idx[k])] += wk;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            if (wsum[i] > 0) {
                const float inv = 1.0f / wsum[i];
                out[i] = {accum[i].x * inv, accum[i].y * inv, accum[i].z * inv};
            } else {
                out[i] = rest[i];
            }
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    Label(state);
}

// The host call the blend cannot do without, the transform of each listed
// vertex, and the weighted sum that follows it, nothing else: the floor under
// DeformRootSkins.
void BM_HostCallsOnly(benchmark::State& state) {
    TRig& rig = RigFor(state);
    rig.Skel->DeformRootSkins();
    TSkinObject* skin = rig.Skel->Skins->Items(0);
    const std::vector<CtsxVec3f>& rest = skin->RestVertices();
    std::vector<CtsxVec3f> accum(rest.size());
    const TFlushSubnormals flush;
    for (auto _ : state) {
        for (auto& bone : rig.Skel->Bones.List) {
            const TSkinArea* area = bone->SkinAreas(0);
            const std::size_t count = area->Indexes.size();
            for (std::size_t k = 0; k < count; ++k) {
                const auto i = static_cast<std::size_t>(area->Indexes[k]);
                CtsxVec3f p;
                tsxTransformVect3f(&rest[i], &p, &area->Matrix);
                const float w = area->AreaWeights[k];
                accum[i].x += p.x * w;
                accum[i].y += p.y * w;
                accum[i].z += p.z * w;
            }
        }
        benchmark::DoNotOptimize(accum.data());
        benchmark::ClobberMemory();
    }
    Label(state);
}

// The console report, then the deformation's time over the plain loop's for
// each size (medians when repeated). Processor time: both run on one thread,
// and on a busy machine the wall clock also counts time spent waiting.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    TRatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (r.run_type == Run::RT_Iteration || median)
                FTimes[r.run_name.args][r.run_name.function_name] = r.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-14s %12s %12s %8s  (processor time)\n", "bones/vertices", "deform", "plain",
                    "ratio");
        for (const auto& [args, times] : FTimes) {
            const auto d = times.find("DeformRootSkins"), p = times.find("PlainLinearBlend");
            if (d == times.end() || p == times.end() || p->second <= 0) continue;
            std::printf("%-14s %9.3f ms %9.3f ms %7.2fx\n", args.c_str(), d->second, p->second,
                        d->second / p->second);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> FTimes;
};

} // namespace

// Size by size, so each rig is built once: {bones, vertices}, the interactive
// case first, then vertices, then bones.
int main(int argc, char** argv) {
    const std::int64_t sizes[][2] = {
        {60, 100000}, {60, 10000}, {60, 1000000}, {10, 100000}, {200, 100000}};
    for (const auto& size : sizes) {
        for (auto [name, fn] : {std::pair{"JointDrag", &BM_JointDrag},
                                std::pair{"DeformRootSkins", &BM_DeformRootSkins},
                                std::pair{"HostCallsOnly", &BM_HostCallsOnly},
                                std::pair{"PlainLinearBlend", &BM_PlainLinearBlend}})
            benchmark::RegisterBenchmark(name, fn)
                ->Args({size[0], size[1]})
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    CurrentRig().reset();
    return 0;
}
