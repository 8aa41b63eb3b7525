#include "Skin.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <utility>

#include "Bone.h"
#include "ScopeExit.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "TsxApi65.h"
#include "TsxHelper.h"

namespace vel {

bool SkipSubDivRebuild = false;

namespace {

bool IsSubDiv(CtsxSobj obj) {
    return obj && tsxSobjGetType(obj) == TSX_TYPE_SUBDIV;
}

// What a skin can deform (ResolveMesh drops any other object).
bool IsMesh(CtsxSobj obj) {
    const int type = obj ? tsxSobjGetType(obj) : 0;
    return type == TSX_TYPE_POLYH || type == TSX_TYPE_SUBDIV;
}

// Smaller of a and b that never answers NaN: a weight that cannot be computed
// counts as no influence rather than poisoning the blend.
float SafeMin(float a, float b) {
    const float m = std::min(a, b);
    return std::isnan(m) ? 0.0f : m;
}

// The skeleton whose bag holds the bone's object.
TSkeleton* SkeletonOfBone(const TBone& bone) {
    TSkeleton* skel = nullptr;
    return bone.Node && FindSkeletonOfBagChild(bone.Node, skel) ? skel : nullptr;
}

// The last skeleton reached through ParentSkeleton links; a chain that comes
// back on itself ends where it closes.
TSkeleton* TopSkeleton(TSkeleton* skel) {
    std::vector<const TSkeleton*> seen;
    while (skel && skel->ParentSkeleton) {
        seen.push_back(skel);
        if (std::find(seen.begin(), seen.end(), skel->ParentSkeleton) != seen.end()) break;
        skel = skel->ParentSkeleton;
    }
    return skel;
}

TSkinsObject* SkinsOf(TSkeleton* skel) {
    return skel ? skel->Skins.get() : nullptr;
}

TSkinObject* FindSkin(TSkeleton* skel, CtsxSobj obj) {
    TSkinObject* skin = nullptr;
    TSkinsObject* skins = SkinsOf(skel);
    return skins && skins->FindByObject(obj, skin) ? skin : nullptr;
}

// Skeletons inside a deformation pass, innermost first, each on the stack of
// its pass: a skeleton bound (through a damaged scene) below itself is passed
// over instead of recursing without end.
struct TDeformPass {
    const TSkeleton* Skeleton;
    const TDeformPass* Outer;
};
const TDeformPass* InnermostPass = nullptr;

bool InPass(const TSkeleton* skeleton) {
    for (const TDeformPass* p = InnermostPass; p; p = p->Outer)
        if (p->Skeleton == skeleton) return true;
    return false;
}

} // namespace

// ---- TSkinObject ----

void TSkinObject::ResolveMesh() {
    Mesh = nullptr;
    if (!Object) return;
    switch (tsxSobjGetType(Object)) {
    case TSX_TYPE_POLYH:
        Mesh = Object;
        break;
    case TSX_TYPE_SUBDIV: {
        const TSubDivEntryPoints& sd = SubDiv();
        if (HostHasSubDiv() && sd.tsxSubDivGetActiveLevel && sd.tsxSubDivSetActiveLevel) {
            // The cage is read at level 0; the user's level comes back on
            // every exit.
            const int level = sd.tsxSubDivGetActiveLevel(Object);
            sd.tsxSubDivSetActiveLevel(Object, 0);
            fw::TScopeExit restore([&] { sd.tsxSubDivSetActiveLevel(Object, level); });
            Mesh = tsxSubDivGetCagePtr(Object);
        } else {
            Mesh = tsxSubDivGetCagePtr(Object);
        }
        break;
    }
    default:
        Object = nullptr;
        break;
    }
}

void TSkinObject::Bind(CtsxSobj obj) {
    Object = obj;
    ResolveMesh();
    const CtsxVec3f* vxs = Mesh ? tsxPolyhGetVxArray(Mesh) : nullptr;
    const int n = vxs ? tsxPolyhGetNbrVxs(Mesh) : 0;
    if (Object && n > 0) {
        SetRestVertices(std::vector<CtsxVec3f>(vxs, vxs + n));
        VertexCount = n;
    } else {
        VertexCount = 0;
        SetRestVertices({});
        if (!Object) Mesh = nullptr;
    }
}

void TSkinObject::SetRestVertices(std::vector<CtsxVec3f> Value) {
    FRestVertices = std::move(Value);
    FRestStamp.Value = TSerial::Next();
}

bool TSkinObject::MeshMatches() const {
    if (!Mesh || VertexCount <= 0) return false;
    if (static_cast<std::size_t>(VertexCount) != FRestVertices.size()) return false;
    return tsxPolyhGetNbrVxs(Mesh) == VertexCount && tsxPolyhGetVxArray(Mesh) != nullptr;
}

bool TSkinObject::AccumulatorsReady() const {
    const auto n = static_cast<std::size_t>(VertexCount);
    return VertexCount > 0 && FRestVertices.size() == n && Accum.size() == n &&
           WeightSum.size() == n && Influences.size() == n;
}

void TSkinObject::Restore() {
    if (!Object) return;
    ResolveMesh();
    if (!MeshMatches()) return;
    CtsxVec3f* vxs = tsxPolyhGetVxArray(Mesh);
    if (!vxs) return; // the host did not hand the vertices out this time
    std::copy(FRestVertices.begin(), FRestVertices.end(), vxs);
    tsxPolyhComputeFaceAdjacency(Mesh);
    tsxPolyhMarkTopologyChange(Mesh);
    tsxPolyhMarkGeomChange(Mesh);
    // Twice: the host recomputes the normals without turning them over.
    tsxPolyhInvertFaceNormals(Mesh);
    tsxPolyhInvertFaceNormals(Mesh);
}

void TSkinObject::ResolveBySceneIndex() {
    FindBySceneIndex();
    Restore();
}

void TSkinObject::FindBySceneIndex() {
    Object = GetNodeAtIndexInScene(SceneIndex);
}

void TSkinObject::ResolveByName(CtsxSobj root) {
    Object = nullptr;
    if (root) Object = FindObjectByNameIn(MeshName, tsxGNodeGetFirstChild(root));
    if (!Object) Object = FindObjectByName(MeshName);
    MeshName.clear();
}

void TSkinObject::ResolveByRootIndex(CtsxSobj root) {
    Object = root ? GetNodeAtIndexInChain(RootIndex, root) : nullptr;
}

void TSkinObject::Resolve(CtsxSobj root) {
    Find(root);
    Restore();
}

void TSkinObject::Find(CtsxSobj root) {
    if (RootIndex != -1)
        ResolveByRootIndex(root);
    else
        ResolveByName(root);
}

namespace {
// Whether no coordinate is infinite or NaN (an exponent of all ones), checked
// without a branch per vertex so that the pass over a whole mesh vectorises.
bool AllFinite(const std::vector<CtsxVec3f>& vs) {
    const auto special = [](float f) -> std::uint32_t {
        return (std::bit_cast<std::uint32_t>(f) & 0x7F800000u) == 0x7F800000u ? 1 : 0;
    };
    std::uint32_t any = 0;
    for (const CtsxVec3f& v : vs)
        any |= special(v.x) | special(v.y) | special(v.z);
    return any == 0;
}
} // namespace

void TSkinObject::ResetAccumulators() {
    const auto n = static_cast<std::size_t>(std::max(VertexCount, 0));
    Accum.assign(n, CtsxVec3f{0, 0, 0});
    WeightSum.assign(n, 0.0f);
    Influences.assign(n, 0);
}

void TSkinObject::AddWeighted(std::int32_t i, float w) {
    AddWeightedList(&i, &w, 1);
}

void TSkinObject::AddWeightedList(const std::int32_t* indexes, const float* weights,
                                  std::size_t n) {
    if (!AccumulatorsReady()) return;
    for (std::size_t k = 0; k < n; ++k) {
        const std::int32_t i = indexes[k];
        if (i < 0 || i >= VertexCount) continue;
        const auto v = static_cast<std::size_t>(i);
        const float w = weights[k];
        CtsxVec3f p;
        tsxTransformVect3f(&FRestVertices[v], &p, &Matrix);
        // The weighing is single float products and sums, rounded as the
        // host's vector functions round them, so it is done here.
        CtsxVec3f& a = Accum[v];
        a.x += p.x * w;
        a.y += p.y * w;
        a.z += p.z * w;
        WeightSum[v] += w;
        Influences[v] += 1;
    }
}

bool TSkinObject::Normalize(bool keepMesh) {
    ResolveMesh();
    if (!MeshMatches() || !AccumulatorsReady()) return false;
    const CtsxVec3f* current = tsxPolyhGetVxArray(Mesh);
    if (keepMesh && !current) return false; // nothing to keep: no pass at all
    for (std::size_t i = 0; i < Accum.size(); ++i) {
        CtsxVec3f& a = Accum[i];
        if (keepMesh && Influences[i] == 0) {
            a = current[i];
        } else if (keepMesh && Influences[i] == 1) {
            const float s = 1.0f - WeightSum[i];
            a.x += current[i].x * s;
            a.y += current[i].y * s;
            a.z += current[i].z * s;
        } else if (Influences[i] != 0 && WeightSum[i] > 0) {
            const float s = 1.0f / WeightSum[i];
            a.x *= s;
            a.y *= s;
            a.z *= s;
        } else {
            a = FRestVertices[i];
        }
    }
    return true;
}

void TSkinObject::WriteBack() {
    ResolveMesh();
    if (!MeshMatches() || !AccumulatorsReady()) return;
    // A pass that overflowed is not written at all.
    if (!AllFinite(Accum)) return;
    CtsxVec3f* vxs = tsxPolyhGetVxArray(Mesh);
    if (!vxs) return; // the host did not hand the vertices out this time
    std::copy(Accum.begin(), Accum.end(), vxs);
    const TSubDivEntryPoints& sd = SubDiv();
    if (HostHasSubDiv() && IsSubDiv(Object)) {
        if (sd.tsxSubDivMarkGeomChange)
            sd.tsxSubDivMarkGeomChange(Mesh);
        else
            tsxPolyhMarkGeomChange(Mesh); // the cage is a polyhedron of its own
    } else {
        tsxPolyhMarkGeomChange(Object);
    }
}

void TSkinObject::Apply(bool keepMesh) {
    if (!Normalize(keepMesh)) return;
    WriteBack();
    if (!SkipSubDivRebuild) RebuildSubDiv();
}

void TSkinObject::RebuildSubDiv() {
    if (IsSubDiv(Object)) tsxSubDivBuild(Object);
}

// ---- TSkinsObject ----

TSkinObject* TSkinsObject::Items(std::int32_t i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return List[static_cast<std::size_t>(i)].get();
}

void TSkinsObject::PutItem(std::int32_t i, std::unique_ptr<TSkinObject> skin) {
    if (i < 0 || i >= Count()) return;
    List[static_cast<std::size_t>(i)] = std::move(skin);
}

std::int32_t TSkinsObject::Add(std::unique_ptr<TSkinObject> skin) {
    List.push_back(std::move(skin));
    return Count() - 1;
}

bool TSkinsObject::FindByObject(CtsxSobj obj, TSkinObject*& skin) const {
    skin = nullptr;
    if (!obj) return false;
    for (const auto& s : List) {
        if (s && s->Object == obj) {
            skin = s.get();
            return true;
        }
    }
    return false;
}

void TSkinsObject::ResolveAllInScene(bool restore) {
    for (auto& s : List) {
        if (!s) continue;
        s->FindBySceneIndex();
        if (restore) s->Restore();
    }
    PurgeUnresolved();
}

void TSkinsObject::ResolveAllUnder(CtsxSobj root, bool restore) {
    for (auto& s : List) {
        if (!s) continue;
        s->Find(root);
        if (restore) s->Restore();
    }
    PurgeUnresolved();
}

void TSkinsObject::PurgeUnresolved() {
    // A skin found on a node that is no mesh (merged, its root index counted
    // from the skeleton's group while its mesh stood outside it) has nothing
    // to deform. Kept, it would drop the node at its next look and be saved
    // with the places it was read with and its vertices or none, to be bound
    // at a reopen to whatever stands there then.
    std::erase_if(List, [](const std::unique_ptr<TSkinObject>& s) {
        return !s || !IsMesh(s->Object);
    });
}

void TSkinsObject::Merge(TSkinsObject& other) {
    if (&other == this) return;
    // Moved out first: other is empty whatever happens below.
    std::vector<std::unique_ptr<TSkinObject>> incoming = std::move(other.List);
    other.List.clear();
    for (auto& s : incoming) {
        if (!s) continue;
        TSkinObject* mine = nullptr;
        if (s->Object && FindByObject(s->Object, mine)) continue; // freed with incoming
        List.push_back(std::move(s));
    }
}

void TSkinsObject::ResetAll() {
    for (auto& s : List)
        if (s) s->ResetAccumulators();
}

void TSkinsObject::ApplyAll(bool keepMesh) {
    for (auto& s : List)
        if (s) s->Apply(keepMesh);
}

void TSkinsObject::RebindAll() {
    for (auto& s : List)
        if (s) s->Bind(s->Object);
}

void TSkinsObject::RestoreAll() {
    for (auto& s : List)
        if (s) s->Restore();
}

void TSkinsObject::RebuildSubDivAll() {
    for (auto& s : List)
        if (s) s->RebuildSubDiv();
}

void TSkinsObject::RemoveObject(CtsxSobj obj) {
    if (!obj) return;
    std::erase_if(List,
                  [obj](const std::unique_ptr<TSkinObject>& s) { return s && s->Object == obj; });
}

// ---- TSkinArea ----

std::int32_t TSkinArea::UsableCount() const {
    const std::size_t n = std::min(
        {static_cast<std::size_t>(std::max(Count, 0)), Indexes.size(), AreaWeights.size()});
    return static_cast<std::int32_t>(n);
}

void TSkinArea::Setup(const TSkinObject& skin, const CtsxTxmx3f& m, float length) {
    Matrix = m;
    Length = length;
    CollectVertices(skin);
}

void TSkinArea::CollectVertices(const TSkinObject& skin) {
    if (HasFlags(Locked)) return;
    Count = 0;
    Indexes.clear();
    const std::size_t n =
        std::min(static_cast<std::size_t>(std::max(skin.VertexCount, 0)), skin.RestVertices().size());
    const float reach = Length + Tip;
    for (std::size_t i = 0; i < n; ++i) {
        CtsxVec3f p;
        tsxTransformVect3f(&skin.RestVertices()[i], &p, &Matrix);
        const float x = -p.x;
        if (-Root < x && x < reach && std::fabs(p.z) < VolumeZ && std::fabs(p.y) < VolumeY)
            Indexes.push_back(static_cast<std::int32_t>(i));
    }
    Count = static_cast<std::int32_t>(Indexes.size());
    AreaWeights.assign(Indexes.size(), 0.0f);
}

void TSkinArea::RememberParams(float (&params)[8]) const {
    const float p[8] = {Length, Root, Tip, RootRamp, TipRamp, VolumeY, VolumeZ, RadialRamp};
    std::copy(std::begin(p), std::end(p), std::begin(params));
}

namespace {
std::size_t RestLimit(const TSkinObject& skin) {
    return std::min(static_cast<std::size_t>(std::max(skin.VertexCount, 0)),
                    skin.RestVertices().size());
}
} // namespace

// The rest vertices are known by their stamp: setting them again, even to
// the same values, recomputes the weights.
bool TSkinArea::MemoHolds(const TSkinObject& skin, std::size_t listed) const {
    if (!FMemo.Valid || FMemo.Indexes.size() != listed) return false;
    if (FMemo.RestStamp != skin.RestStamp() || FMemo.RestLimit != RestLimit(skin)) return false;
    if (std::memcmp(&FMemo.Matrix, &Matrix, sizeof Matrix) != 0) return false;
    float params[8];
    RememberParams(params);
    if (std::memcmp(params, FMemo.Params, sizeof params) != 0) return false;
    return std::equal(Indexes.begin(), Indexes.begin() + static_cast<std::ptrdiff_t>(listed),
                      FMemo.Indexes.begin());
}

void TSkinArea::ComputeWeights(const TSkinObject& skin) {
    if (HasFlags(Locked)) return;
    // A list read from a record may disagree with its weights: one weight per
    // listed vertex from here on.
    const std::size_t listed =
        std::min(static_cast<std::size_t>(std::max(Count, 0)), Indexes.size());
    if (MemoHolds(skin, listed)) {
        AreaWeights = FMemo.Weights;
        return;
    }
    AreaWeights.resize(listed, 0.0f);
    FMemo.Valid = false;
    FMemo.Indexes.assign(Indexes.begin(), Indexes.begin() + static_cast<std::ptrdiff_t>(listed));
    FMemo.RestStamp = skin.RestStamp();
    FMemo.RestLimit = RestLimit(skin);
    const float total = Length + Root + Tip;
    const float volume = VolumeY * VolumeY + VolumeZ * VolumeZ;
    for (std::size_t k = 0; k < listed; ++k) {
        const std::int32_t i = Indexes[k];
        if (i < 0 || i >= skin.VertexCount ||
            static_cast<std::size_t>(i) >= skin.RestVertices().size()) {
            AreaWeights[k] = 0.0f;
            continue;
        }
        const CtsxVec3f& restVertex = skin.RestVertices()[static_cast<std::size_t>(i)];
        CtsxVec3f p;
        tsxTransformVect3f(&restVertex, &p, &Matrix);
        float x = -p.x + Root;
        if (x < 0) x = 0;
        const float r = volume > 0 ? (p.y * p.y + p.z * p.z) / volume : 0.0f;
        // Ramps of 0 (or below) switch their fall-off off; dividing by them
        // would only make infinities for vertices outside the box.
        float a = RadialRamp > 0 && r < RadialRamp ? r / RadialRamp : 1.0f;
        const float q = 1.0f - r;
        if (RadialRamp > 0 && q < RadialRamp)
            a = std::min(q / RadialRamp, a);
        else
            a = 1.0f;
        float t = total > 0 ? 1.0f - x / total : 0.0f;
        t = std::clamp(t, 0.0f, 1.0f);
        const float b = TipRamp > 0 && t < TipRamp ? t / TipRamp : 1.0f;
        const float c = RootRamp > 0 && 1.0f - t < RootRamp ? (1.0f - t) / RootRamp : 1.0f;
        AreaWeights[k] = std::clamp(SafeMin(a, SafeMin(b, c)), 0.0f, 1.0f);
    }
    FMemo.Matrix = Matrix;
    RememberParams(FMemo.Params);
    FMemo.Weights = AreaWeights;
    FMemo.Valid = true;
}

void TSkinArea::Deform(TSkinObject& skin, const CtsxTxmx3f& boneMatrix,
                       const CtsxVec3f& headPosition) {
    if (HasFlags(NoDeform)) return;
    ComputeWeights(skin);
    CtsxTxmx3f m;
    tsxXProdMx3f(&m, &boneMatrix, &Matrix);
    tsxAddMxTranslation3f(&m, &headPosition);
    CtsxTxmx3f v, vInv;
    tsxPolyhGetVxTxmx(skin.Object, &v);
    tsxInvertMx3f(&vInv, &v);
    tsxXProdMx3f(&m, &vInv, &m);
    skin.Matrix = m;
    skin.AddWeightedList(Indexes.data(), AreaWeights.data(),
                         static_cast<std::size_t>(UsableCount()));
}

// ---- skin operations of bones ----

void TBone::BuildSkinArea(CtsxSobj obj) {
    TSkeleton* skel = SkeletonOfBone(*this);
    if (!skel) return;
    TSkinObject* skin = FindSkin(skel->Root(), obj);
    std::int32_t i = -1;
    if (!skin || !FindChild(obj, i)) return;
    CtsxTxmx3f m;
    bool made = false;
    const float length = GetSkinMatrix(obj, m, &made);
    if (!made) return;
    const auto k = static_cast<std::size_t>(i);
    if (SkinAreaList.size() < ChildList.size()) SkinAreaList.resize(ChildList.size());
    if (!SkinAreaList[k]) SkinAreaList[k] = std::make_unique<TSkinArea>();
    SkinAreaList[k]->Setup(*skin, m, length);
}

void TBone::RecollectSkinArea(CtsxSobj obj) {
    TSkinObject* skin = FindSkin(TopSkeleton(SkeletonOfBone(*this)), obj);
    std::int32_t i = -1;
    if (!skin || !FindChild(obj, i)) return;
    if (TSkinArea* area = SkinAreas(i)) area->CollectVertices(*skin);
}

void TBone::RebuildSkinAreas(TSkeleton* skel, CtsxSobj only) {
    TSkeleton* top = TopSkeleton(skel);
    for (std::int32_t i = 0; i < ChildCount(); ++i) {
        TSkinArea* area = SkinAreas(i);
        TBoneChild* child = Children(i);
        if (!area || !child || (only && child->Object != only)) continue;
        TSkinObject* skin = FindSkin(top, child->Object);
        if (!skin) continue;
        CtsxTxmx3f m;
        bool made = false;
        const float length = GetSkinMatrix(child->Object, m, &made);
        if (made) area->Setup(*skin, m, length);
    }
}

void TBone::DeformChildSkin(TBoneChild& child, TSkinArea& area, TSkeleton* root) {
    TSkinObject* skin = FindSkin(root, child.Object);
    if (!skin) return;
    CtsxTxmx3f b;
    bool made = false;
    GetMatrix(b, &made);
    // A bone that cannot give a frame this moment adds nothing.
    if (!made || !Head) return;
    area.Deform(*skin, b, Head->Position);
}

void TBone::DeformSkins(TSkeleton* root) {
    if (Node) tsxGNodeGetPureTransform(Node, &NodeMatrix);
    for (std::int32_t i = 0; i < ChildCount(); ++i) {
        TSkinArea* area = SkinAreas(i);
        TBoneChild* child = Children(i);
        if (area && child) DeformChildSkin(*child, *area, root);
    }
}

void TBone::DeformChildSkeletons(TSkeleton* root) {
    for (std::int32_t i = 0; i < ChildCount(); ++i) {
        TBoneChild* child = Children(i);
        if (!child || !child->Object) continue;
        TSkeleton* s = nullptr;
        if (FindSkeletonByObject(child->Object, s) || FindSkeletonByBag(child->Object, s))
            s->DeformSkins(root);
    }
}

// ---- skin operations of skeletons ----

void TSkeleton::EnableSkin(CtsxSobj obj, TBone* bone) {
    if (!obj || !bone || !bone->HasChild(obj)) return;
    TSkinsObject* skins = SkinsOf(Root());
    if (!skins) return;
    TSkinObject* skin = nullptr;
    if (!skins->FindByObject(obj, skin)) {
        auto fresh = std::make_unique<TSkinObject>();
        fresh->Bind(obj);
        // An object that is no mesh leaves no empty skin behind.
        if (!fresh->Object) return;
        skins->Add(std::move(fresh));
    }
    bone->BuildSkinArea(obj);
}

void TSkeleton::RebindSkins() {
    if (TSkinsObject* skins = SkinsOf(Root())) skins->RebindAll();
    Bones.RebuildSkinAreasAll(this);
}

void TSkeleton::DeformSkins(TSkeleton* root) {
    TSkinsObject* skins = SkinsOf(root);
    if (!skins) return;
    if (InPass(this)) return;
    const TDeformPass pass{this, InnermostPass};
    InnermostPass = &pass;
    fw::TScopeExit leave([&] { InnermostPass = pass.Outer; });

    skins->ResetAll();
    Bones.DeformAllSkins(root);
    skins->ApplyAll(Attached != 0);
    Bones.DeformAllChildSkeletons(root);
}

void TSkeleton::DeformRootSkins() {
    TSkeleton* r = Root();
    if (r) r->DeformSkins(r);
}

} // namespace vel
