#include "SkelMgr.h"

#include <algorithm>
#include <bit>
#include <set>

#include "EditorServices.h"
#include "HostRefs.h"
#include "MainForm.h"
#include "Messages.h"
#include "NoDestroy.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TsxHelper.h"
#include "Utils.h"

namespace vel {

bool OptAutoSelect = false;

namespace {

using TStateList = std::vector<std::unique_ptr<TSkeletonState>>;

// One state per skeleton, between SaveAllSkeletonStates and the next restore.
TStateList& SavedStates() {
    static fw::TNoDestroy<TStateList> states;
    return *states;
}

// Skeletons of scenes the host closed, out of the list until the next load's
// rebuild frees them.
std::vector<std::unique_ptr<TSkeleton>>& Fenced() {
    static fw::TNoDestroy<std::vector<std::unique_ptr<TSkeleton>>> fenced;
    return *fenced;
}

// The skeletons bound below skeleton, at any depth.
std::vector<TSkeleton*> AttachedBelow(const TSkeleton& skeleton) {
    std::vector<TSkeleton*> list;
    skeleton.Bones.CollectChildSkeletons(list, true);
    return list;
}

struct TSubDivWalk {
    TSkeleton* Skeleton;
};

void ExtractControlMeshVisit(CtsxSobj node, void* data, bool& /*stop*/) {
    if (tsxSobjGetType(node) != TSX_TYPE_SUBDIV) return;
    static_cast<TSubDivWalk*>(data)->Skeleton->SubDivObjects.push_back(node);
    tsxSubDivExtractControlMesh(node, 0, 0, 1);
}

void MakeSubDivVisit(CtsxSobj node, void* data, bool& /*stop*/) {
    const auto& list = static_cast<TSubDivWalk*>(data)->Skeleton->SubDivObjects;
    if (std::find(list.begin(), list.end(), node) != list.end()) tsxSubDivMake(node);
}

// Walks the tree of every object bound to the skeleton's bones.
void WalkBoundObjects(TSkeleton& skeleton, TNodeProc visit) {
    TSubDivWalk walk{&skeleton};
    for (std::int32_t b = 0; b < skeleton.Bones.Count(); ++b) {
        TBone* bone = skeleton.Bones.Items(b);
        for (std::int32_t c = 0; c < bone->ChildCount(); ++c)
            ForEachNodeInTree(bone->Children(c)->Object, visit, &walk);
    }
}

// Runs proc on every skeleton in list order; the count is read each time, so
// a list that shrinks meanwhile ends the walk rather than overrunning it.
template <class F> void ForEachSkeleton(F proc) {
    TSkeletonList& list = SkeletonList();
    for (std::int32_t i = 0; i < list.Count(); ++i)
        proc(*list.Items(i));
}

} // namespace

// ---- the list ----

TSkeletonList::TSkeletonList() = default;
TSkeletonList::~TSkeletonList() = default;

TSkeleton* TSkeletonList::Items(std::int32_t i) const {
    return i >= 0 && i < Count() ? List[static_cast<std::size_t>(i)].get() : nullptr;
}

std::int32_t TSkeletonList::IndexOf(const TSkeleton* skeleton) const {
    for (std::size_t i = 0; i < List.size(); ++i)
        if (List[i].get() == skeleton) return static_cast<std::int32_t>(i);
    return -1;
}

void TSkeletonList::Add(std::unique_ptr<TSkeleton> skeleton) {
    List.push_back(std::move(skeleton));
}

std::unique_ptr<TSkeleton> TSkeletonList::Extract(TSkeleton* skeleton) {
    const std::int32_t i = IndexOf(skeleton);
    if (i < 0) return nullptr;
    std::unique_ptr<TSkeleton> out = std::move(List[static_cast<std::size_t>(i)]);
    List.erase(List.begin() + i);
    return out;
}

TSkeletonList& SkeletonList() {
    // Outlives every form and every exit handler; the unit's finalization
    // frees what it holds.
    static fw::TNoDestroy<TSkeletonList> list;
    return *list;
}

void InitializeSkelMgrUnit() {
    SkeletonList();
}

void FinalizeSkelMgrUnit() {
    // After the forms: only the rig's own records go, the host's objects stay.
    CurrentSkeleton = nullptr;
    TStateList().swap(SavedStates());
    std::vector<std::unique_ptr<TSkeleton>>().swap(SkeletonList().List);
    std::vector<std::unique_ptr<TSkeleton>>().swap(Fenced());
}

// ---- creation and look-up ----

TSkeleton* CreateSkeletonForBag(CtsxSobj node) {
    auto skeleton = std::make_unique<TSkeleton>();
    skeleton->Bag = node;
    CtsxSobj parent = tsxGNodeGetParent(node);
    skeleton->SkeletonObject = parent == tsxGetScene() ? nullptr : parent;
    tsxGNodeSetName(node, "blank");
    tsxGNodeSetName(node, ".BoneBag");
    WatchObject(node);
    TSkeleton* raw = skeleton.get();
    SkeletonList().Add(std::move(skeleton));
    return raw;
}

void NewSkeleton() {
    try {
        // No object from the host: no bag, so no skeleton either.
        const CtsxSobj bag = NewSkeletonObject();
        CurrentSkeleton = bag ? CreateSkeletonForBag(bag) : nullptr;
    } catch (...) {
        CurrentSkeleton = nullptr;
    }
    if (CurrentSkeleton) {
        CurrentSkeleton->EnsurePoseLibObject();
        CurrentSkeleton->BuildHierarchy();
    }
    CurrentSkeletonChanged();
}

void ClearSkeletons() {
    CurrentSkeleton = nullptr; // never left pointing at a freed skeleton
    FreeListAndObjects(&SkeletonList().List);
    SetCurrentSkeleton(nullptr);
}

void SetCurrentSkeleton(TSkeleton* skeleton) {
    CurrentSkeleton = skeleton;
    CurrentSkeletonChanged();
}

std::int32_t SkeletonCount() {
    return SkeletonList().Count();
}

TSkeleton* SkeletonByIndex(std::int32_t i) {
    return SkeletonList().Items(i);
}

bool FindSkeletonByObject(CtsxSobj object, TSkeleton*& skeleton) {
    skeleton = nullptr;
    if (!object) return false;
    for (const auto& s : SkeletonList().List)
        if (s->SkeletonObject == object) {
            skeleton = s.get();
            return true;
        }
    return false;
}

bool FindSkeletonByBag(CtsxSobj node, TSkeleton*& skeleton) {
    skeleton = nullptr;
    if (!node) return false;
    for (const auto& s : SkeletonList().List)
        if (s->Bag == node) {
            skeleton = s.get();
            return true;
        }
    return false;
}

bool FindSkeletonByJointNode(CtsxSobj node, TSkeleton*& skeleton, std::int32_t& jointIndex) {
    skeleton = nullptr;
    jointIndex = -1;
    if (!node) return false;
    for (const auto& s : SkeletonList().List) {
        const std::int32_t i = s->Joints.IndexOfNode(node);
        if (i >= 0) {
            skeleton = s.get();
            jointIndex = i;
            return true;
        }
    }
    return false;
}

bool FindSkeletonByBoneNode(CtsxSobj node, TSkeleton*& skeleton, std::int32_t& boneIndex) {
    skeleton = nullptr;
    boneIndex = -1;
    if (!node) return false;
    for (const auto& s : SkeletonList().List) {
        std::int32_t i = -1;
        if (s->Bones.IndexOfNode(node, i)) {
            skeleton = s.get();
            boneIndex = i;
            return true;
        }
    }
    return false;
}

bool FindSkeletonOfBagChild(CtsxSobj node, TSkeleton*& skeleton) {
    skeleton = nullptr;
    if (!node) return false;
    return FindSkeletonByBag(tsxGNodeGetParent(node), skeleton);
}

void DeleteSkeleton(TSkeleton* skeleton) {
    if (!skeleton) return;
    // No skeleton may keep pointing at the one that goes.
    for (const auto& s : SkeletonList().List)
        if (s->ParentSkeleton == skeleton) {
            s->Attached = 0;
            s->ParentSkeleton = nullptr;
        }
    const bool wasCurrent = CurrentSkeleton == skeleton;
    if (wasCurrent) CurrentSkeleton = nullptr;
    std::unique_ptr<TSkeleton> owned = SkeletonList().Extract(skeleton);
    owned.reset();
    if (wasCurrent) SetCurrentSkeleton(nullptr);
}

void HandleObjectDestroyed(CtsxSobj object) {
    TSkeleton* skeleton = nullptr;
    if (FindSkeletonByBag(object, skeleton) || FindSkeletonByObject(object, skeleton)) {
        DeleteSkeleton(skeleton);
        return;
    }
    ForEachSkeleton([&](TSkeleton& s) { s.ObjectDeleted(object); });
}

// ---- the host closes its scene ----

void FenceSkeletonsAtSceneClose() {
    auto& list = SkeletonList().List;
    for (auto& s : list)
        Fenced().push_back(std::move(s));
    list.clear();
    // States saved around a frame change belong to the skeletons that went.
    SavedStates().clear();
    if (CurrentSkeleton) SetCurrentSkeleton(nullptr);
}

std::int32_t DropFencedSkeletons() {
    std::vector<std::unique_ptr<TSkeleton>> fenced = std::move(Fenced());
    Fenced().clear();
    return static_cast<std::int32_t>(fenced.size());
}

std::int32_t FencedSkeletonCount() {
    return static_cast<std::int32_t>(Fenced().size());
}

// ---- selection ----

void SyncCurrentSkeletonToObject(CtsxSobj object, bool allowRedirect) {
    TSkeleton* skeleton = nullptr;
    if (FindSkeletonByObject(object, skeleton) && OptAutoSelect && allowRedirect &&
        skeleton->Joints.Count() >= 1) {
        const std::int32_t j = skeleton->Joints.Count() >= 2 ? 1 : 0;
        CtsxSobj target = skeleton->Joints.Items(j)->Node;
        if (MainForm)
            fw::PostMessage(MainForm->Handle(), CM_SAFESELECT, reinterpret_cast<fw::WPARAM>(target),
                            0);
        object = target;
    }
    std::int32_t index = -1;
    if (!FindSkeletonByBag(object, skeleton) && !FindSkeletonByObject(object, skeleton) &&
        !FindSkeletonByJointNode(object, skeleton, index))
        return;
    if (skeleton != CurrentSkeleton) SetCurrentSkeleton(skeleton);
}

// ---- broadcasts ----

void RelinkAllInScene() {
    ForEachSkeleton([](TSkeleton& s) { s.RelinkInScene(); });
}

void RelinkAllUnderRoot() {
    ForEachSkeleton([](TSkeleton& s) { s.RelinkUnderRoot(); });
}

void BuildAllHierarchies() {
    ForEachSkeleton([](TSkeleton& s) { s.BuildHierarchy(); });
}

void UpdateAllSkeletons() {
    ForEachSkeleton([](TSkeleton& s) {
        s.Update();
        s.UpdateJointSizes();
    });
    ForEachSkeleton([](TSkeleton& s) {
        if (s.Attached != 0) return;
        if (!SetupMode) {
            s.DeformRootSkins();
        } else if (s.Skins) {
            // A bound mesh keeps its rest shape in setup mode, as a joint's
            // drag leaves it: the bones move inside it, and leaving setup
            // mode binds it again as it stands. A pass with no area puts
            // every vertex at rest.
            s.Skins->ResetAll();
            s.Skins->ApplyAll(false);
        }
    });
}

void RebindAllSkins() {
    ForEachSkeleton([](TSkeleton& s) { s.RebindSkins(); });
}

void RebindChangedSkins() {
    std::vector<std::pair<TSkeleton*, CtsxSobj>> rebound; // root, object
    ForEachSkeleton([&rebound](TSkeleton& s) {
        if (s.Root() != &s || !s.Skins) return;
        for (auto& skin : s.Skins->List) {
            if (!skin) continue;
            skin->ResolveMesh();
            if (!skin->Mesh || tsxPolyhGetNbrVxs(skin->Mesh) == skin->VertexCount) continue;
            skin->Bind(skin->Object);
            rebound.emplace_back(&s, skin->Object);
        }
    });
    if (rebound.empty()) return;
    ForEachSkeleton([&rebound](TSkeleton& s) {
        for (const auto& [root, object] : rebound)
            if (s.Root() == root) s.Bones.RebuildSkinAreasAll(&s, object);
    });
}

void ShowAllJoints(bool show) {
    ForEachSkeleton([show](TSkeleton& s) { s.Joints.SetVisibleAll(show); });
}

void BroadcastTwistChanged(CtsxSobj object, float time) {
    ForEachSkeleton([&](TSkeleton& s) { s.TwistChanged(object, time); });
}

void BroadcastStiffChanged(CtsxSobj object, float time) {
    ForEachSkeleton([&](TSkeleton& s) { s.StiffChanged(object, time); });
}

void RecordAllSkeletons() {
    ForEachSkeleton([](TSkeleton& s) { s.Record(); });
}

void StoreRestPoseAll() {
    ForEachSkeleton([](TSkeleton& s) {
        s.ClearUndo();
        s.PushUndoState("Rest Pose", false);
    });
}

void RebuildAllSubDivSkins() {
    ForEachSkeleton([](TSkeleton& s) {
        if (s.Skins) s.Skins->RebuildSubDivAll();
    });
}

void ShowAllSkeletons(bool show) {
    ForEachSkeleton([show](TSkeleton& s) {
        if (show)
            tsxMNodeSetVisible(s.Bag);
        else
            tsxMNodeSetInvisible(s.Bag);
    });
}

void ShowCurrentSkeletonOnly() {
    ForEachSkeleton([](TSkeleton& s) {
        if (&s == CurrentSkeleton)
            tsxMNodeSetVisible(s.Bag);
        else
            tsxMNodeSetInvisible(s.Bag);
    });
}

// ---- the current skeleton's family ----

std::vector<TSkeleton*> CurrentSkeletonFamily(bool currentOnly) {
    if (!CurrentSkeleton) return {};
    TSkeleton* base = currentOnly ? CurrentSkeleton : CurrentSkeleton->Root();
    std::vector<TSkeleton*> family = AttachedBelow(*base);
    family.push_back(base);
    return family;
}

std::vector<TSkeleton*> RecordTargets(bool force, bool currentOnly) {
    std::vector<TSkeleton*> targets;
    for (TSkeleton* s : CurrentSkeletonFamily(currentOnly))
        if (force || currentOnly || s->Recording != 0) targets.push_back(s);
    return targets;
}

void RecordCurrentSkeleton(bool force, bool currentOnly) {
    for (TSkeleton* s : RecordTargets(force, currentOnly))
        s->Record();
}

void EraseCurrentSkeletonFrame(bool force, bool currentOnly, float time) {
    for (TSkeleton* s : RecordTargets(force, currentOnly))
        s->EraseKeys(time);
}

void ResetAttachedUndo() {
    if (!CurrentSkeleton) return;
    for (TSkeleton* s : AttachedBelow(*CurrentSkeleton)) {
        s->ClearUndo();
        s->PushUndoState("Rest Pose", false);
    }
}

// ---- frame changes ----

void SaveAllSkeletonStates() {
    std::vector<std::unique_ptr<TSkeletonState>> states;
    ForEachSkeleton([&](TSkeleton& s) { states.push_back(s.CaptureState("", false, false)); });
    SavedStates() = std::move(states);
}

void RestoreAllSkeletonStates() {
    // Taken out first, so they are freed however this ends.
    TStateList states = std::move(SavedStates());
    SavedStates().clear();
    if (static_cast<std::int32_t>(states.size()) != SkeletonCount()) return;
    for (std::size_t i = 0; i < states.size(); ++i)
        SkeletonByIndex(static_cast<std::int32_t>(i))->ApplyState(*states[i], false, true, false);
}

std::int32_t SavedStateCount() {
    return static_cast<std::int32_t>(SavedStates().size());
}

namespace {

// What a frame change moves of a skeleton, bit for bit: its joints' places
// (read from the scene) and its bones' rolls.
std::vector<std::uint32_t> PoseBits(TSkeleton& s) {
    s.Joints.ReadAll();
    std::vector<std::uint32_t> bits;
    auto add = [&bits](const CtsxVec3f& v) {
        for (float f : {v.x, v.y, v.z})
            bits.push_back(std::bit_cast<std::uint32_t>(f));
    };
    for (const auto& j : s.Joints.List)
        if (j) add(j->Position);
    for (const auto& b : s.Bones.List)
        if (b) add(b->Twist);
    return bits;
}

// What places a bone, and the objects placing writes, bit for bit: its
// joints' places, its roll, its parent's transform and its own (a tee bone's
// tee joint and extra object too). Joints are read already.
std::vector<std::uint32_t> PlacingBits(const TBone& b) {
    std::vector<std::uint32_t> bits;
    auto add = [&bits](const float* f, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            bits.push_back(std::bit_cast<std::uint32_t>(f[i]));
    };
    auto addVec = [&add](const CtsxVec3f& v) {
        const float f[] = {v.x, v.y, v.z};
        add(f, 3);
    };
    auto addJoint = [&addVec](const TJoint* j) {
        addVec(j ? j->Position : CtsxVec3f{0, -0.0f, 0}); // -0 stands for none
    };
    CtsxTxmx3f m;
    auto addNode = [&add, &m](CtsxSobj node) {
        if (!node) return;
        tsxGNodeGetTransform(node, &m);
        add(m.m, std::size(m.m));
    };
    addJoint(b.Head);
    addJoint(b.Tail);
    addVec(b.Twist);
    if (b.Node) {
        b.GetParentTransform(m);
        add(m.m, std::size(m.m));
    }
    addNode(b.Node);
    if (const auto* tee = dynamic_cast<const TTeeBone*>(&b)) {
        addJoint(tee->TeeJoint);
        addNode(tee->ExtraObject);
    }
    return bits;
}

// A skeleton's pose and its bones' placing before a frame change.
struct TBeforeFrame {
    TSkeleton* Skeleton = nullptr;
    std::vector<std::uint32_t> Pose;
    std::vector<const TBone*> Bones;
    std::vector<std::vector<std::uint32_t>> Placing;
};

TBeforeFrame CaptureBeforeFrame(TSkeleton& s) {
    TBeforeFrame before{&s, PoseBits(s), {}, {}};
    for (const auto& b : s.Bones.List) {
        before.Bones.push_back(b.get());
        before.Placing.push_back(PlacingBits(*b));
    }
    return before;
}

// The bones whose placing the frame change moved; all of them when the
// skeleton's bones changed meanwhile.
std::set<const TBone*> MovedBones(const TBeforeFrame& before) {
    std::set<const TBone*> moved;
    const TBones& bones = before.Skeleton->Bones;
    const bool same = static_cast<std::size_t>(bones.Count()) == before.Bones.size();
    for (std::int32_t i = 0; i < bones.Count(); ++i) {
        const TBone* b = bones.Items(i);
        const auto k = static_cast<std::size_t>(i);
        if (!same || before.Bones[k] != b || PlacingBits(*b) != before.Placing[k]) moved.insert(b);
    }
    return moved;
}

} // namespace

void SettleAtFrameZero() {
    std::vector<TBeforeFrame> before;
    // A skeleton made before the host's last scene close stands for objects
    // that went with it (a save before the load timer): it is left alone.
    ForEachSkeleton([&before](TSkeleton& s) {
        if (s.Serial.Value > LastSceneClose()) before.push_back(CaptureBeforeFrame(s));
    });
    {
        TEditScope edit;
        EditorServices().SetActiveFrame(0);
    }
    EditorServices().ClearFrameDirty();
    std::set<const TSkeleton*> listed, deformed;
    ForEachSkeleton([&listed](const TSkeleton& s) { listed.insert(&s); });
    std::vector<TSkeleton*> roots;
    for (const TBeforeFrame& b : before) {
        TSkeleton* s = b.Skeleton;
        if (!listed.count(s) || PoseBits(*s) == b.Pose) continue;
        s->FollowJoints(MovedBones(b));
        if (TSkeleton* root = s->Root(); deformed.insert(root).second) roots.push_back(root);
    }
    for (TSkeleton* root : roots)
        root->DeformSkins(root);
}

void RecordRestFrames() {
    if (SkeletonCount() < 1) return;
    RebindAllSkins();
    TEditorServices& editor = EditorServices();
    editor.SetActiveFrameUpdating(0.0f);
    RecordAllSkeletons();
    editor.SetActiveFrameUpdating(1.0f);
    RecordAllSkeletons();
}

// ---- sub-division passes ----

void ExtractAllControlMeshes() {
    ForEachSkeleton([](TSkeleton& s) {
        s.SubDivObjects.clear();
        WalkBoundObjects(s, &ExtractControlMeshVisit);
    });
}

void MakeAllSubDivs() {
    ForEachSkeleton([](TSkeleton& s) { WalkBoundObjects(s, &MakeSubDivVisit); });
}

namespace testing {

void ResetSkelMgrUnit() {
    SavedStates().clear();
    SkeletonList().List.clear();
    Fenced().clear();
    OptAutoSelect = false;
}

} // namespace testing

} // namespace vel
