// The dope sheet over a chain of 20 joints and 19 bones, each keyed at every
// one of F frames (location and Stiff on the joints, Twist on the bones). Up
// to 2000 frames the sheet has a column a frame; above, a column for each
// keyed frame, which here is the same.
//   BM_DopeSheetFill: the rows listed afresh, every key read from the scene
//     through the host's first and next key times; the time per key should
//     stay flat as F grows.
//   BM_DopeSheetRecord: the shuttle's record at frame F (every joint and bone
//     keyed again) and the sheet's rebuild of the same rows; it should cost
//     the same at any F.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "DopeSheetForm.h"
#include "FrameControl.h"
#include "KeyRecording.h"
#include "PluginStart.h"
#include "Skeleton.h"

namespace {

using namespace vel;

constexpr int kJoints = 20;

class TKeyedRig {
    // First made, last gone: the sheet goes before the plug-in.
    TPluginStart FStart;

public:
    explicit TKeyedRig(int frames) : Frames(frames) {
        NewSkeleton();
        TSkeleton* s = CurrentSkeleton;
        TJoint* prev = nullptr;
        for (int i = 0; i < kJoints; ++i) {
            TJoint* j = s->Joints.Items(s->AddJointObject(NewJointObject()));
            j->SetPosition(CtsxVec3f{static_cast<float>(i), 0, 0});
            if (prev) s->NewBone(prev, j);
            prev = j;
        }
        s->Bones.PlaceAll();
        for (int f = 0; f < frames; ++f) {
            tsxAnimSetActiveTime(static_cast<float>(f));
            s->Record();
        }
        tsxhost::SetCallLog(false);
        Sheet = std::make_unique<TDopeSheetForm>(nullptr);
    }
    int Frames;
    std::unique_ptr<TDopeSheetForm> Sheet;
};

TKeyedRig& RigFor(int frames) {
    static std::unique_ptr<TKeyedRig> rig;
    if (!rig || rig->Frames != frames) {
        rig.reset();
        rig = std::make_unique<TKeyedRig>(frames);
    }
    return *rig;
}

void BM_DopeSheetFill(benchmark::State& state) {
    TKeyedRig& rig = RigFor(static_cast<int>(state.range(0)));
    rig.Sheet->RebuildGrid();
    const int rows = rig.Sheet->DopeGrid->Rows();
    // Joints hold two kinds of key a frame, bones one.
    const std::int64_t keys = static_cast<std::int64_t>(rig.Frames) * (2 * kJoints + kJoints - 1);
    if (rows != 2 * kJoints - 1 || rig.Sheet->KeysAt(TDopeSheetForm::FirstFrameCol, 1) == 0) {
        state.SkipWithError("the sheet does not show the rig's keys");
        return;
    }
    for (auto _ : state) {
        // Another skeleton's rows in between: the sheet lists them afresh.
        CurrentSkeleton = nullptr;
        rig.Sheet->RebuildGrid();
        CurrentSkeleton = SkeletonByIndex(0);
        rig.Sheet->RebuildGrid();
    }
    state.SetComplexityN(keys);
    state.counters["keys"] = static_cast<double>(keys);
    state.counters["per_key"] = benchmark::Counter(static_cast<double>(keys),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_DopeSheetFill)
    ->RangeMultiplier(4)
    ->Range(64, 4096)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

void BM_DopeSheetRecord(benchmark::State& state) {
    TKeyedRig& rig = RigFor(static_cast<int>(state.range(0)));
    rig.Sheet->RebuildGrid();
    TSkeleton* s = CurrentSkeleton;
    tsxAnimSetActiveTime(static_cast<float>(rig.Frames - 1));
    for (auto _ : state) {
        s->Record();
        rig.Sheet->RebuildGrid();
    }
    state.counters["frames"] = rig.Frames;
}
BENCHMARK(BM_DopeSheetRecord)->Arg(1)->Arg(300)->Arg(2400)->Unit(benchmark::kMillisecond);

// Recording frame by frame from frame F on: each record at a new frame, the
// sheet's columns reaching it.
void BM_DopeSheetRecordOnward(benchmark::State& state) {
    TKeyedRig& rig = RigFor(static_cast<int>(state.range(0)));
    rig.Sheet->RebuildGrid();
    TSkeleton* s = CurrentSkeleton;
    float frame = static_cast<float>(rig.Frames);
    for (auto _ : state) {
        tsxAnimSetActiveTime(frame);
        CurrentFrame = static_cast<std::int32_t>(frame);
        rig.Sheet->FrameChanged();
        s->Record();
        rig.Sheet->RebuildGrid();
        frame += 1;
    }
    state.counters["frames"] = rig.Frames;
    RigFor(0); // the rig was changed: made afresh next time
}
BENCHMARK(BM_DopeSheetRecordOnward)
    ->Arg(1)
    ->Arg(300)
    ->Arg(2400)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
