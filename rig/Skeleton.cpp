#include "Skeleton.h"

#include <algorithm>
#include <cmath>

#include "Attributes.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TsxHelper.h"
#include "TsxPlug.h"

namespace vel {

bool OptKeyJoints = true;

namespace {

constexpr int kRelaxPasses = 128;

// A bone that cannot stay without this joint: it is the bone's head or tail,
// or a tee bone's tee joint.
bool BoneNeedsJoint(const TBone& bone, CtsxSobj node) {
    if (bone.UsesJoint(node)) return true;
    auto* tee = dynamic_cast<const TTeeBone*>(&bone);
    return tee && tee->TeeJoint && tee->TeeJoint->Node == node;
}

} // namespace

TSkeleton::TSkeleton() : Skins(std::make_unique<TSkinsObject>()) {}

TSkeleton::~TSkeleton() {
    // Host objects stay; only the rig's own records go, in this order.
    SubDivObjects.clear();
    LoadedMarkers.clear();
    Skins.reset();
    PoseList.clear();
    Bones.List.clear();
    Joints.List.clear();
    UndoStates.clear();
}

// ---- structure ----

void TSkeleton::AddToBag(CtsxSobj obj) {
    if (!obj || !Bag) return;
    CtsxSobj bag = Bag;
    tsxAddSubobj(&bag, obj);
    if (bag == Bag) return;
    // The host wrapped the old bag in a new group: the group becomes the bag.
    CtsxSobj old = Bag;
    tsxGNodeSetName(bag, GetNodeName(old).c_str());
    Bag = bag;
    DeleteObject(old);
    WatchObject(Bag);
}

std::int32_t TSkeleton::AddJointObject(CtsxSobj obj) {
    AddToBag(obj);
    return Joints.Add(obj);
}

TBone* TSkeleton::NewBone(TJoint* head, TJoint* tail) {
    if (!head || !tail) return nullptr;
    const CtsxSobj node = NewBoneObject();
    if (!node) return nullptr; // the host made no object: no bone
    auto bone = std::make_unique<TBone>(node);
    bone->Head = head;
    bone->Tail = tail;
    TBone* b = bone.get();
    AddToBag(b->Node);
    SelectedBone = Bones.Add(std::move(bone));
    b->Length = b->MeasureLength();
    return b;
}

TJoint* TSkeleton::NewJointAt(const CtsxVec3f& p) {
    const CtsxSobj node = NewJointObject();
    if (!node) return nullptr; // the host made no object: no joint
    TJoint* j = Joints.Items(AddJointObject(node));
    j->SetPosition(p);
    return j;
}

void TSkeleton::PlaceNewJoint(TJoint* joint, TJoint* from) {
    if (!joint || !from) return;
    CtsxVec3f d{1.5f, 0, 0};
    std::int32_t i;
    if (Bones.FindByJoint(from->Node, i, 0)) {
        const TBone* b = Bones.Items(i);
        if (b->Head && b->Tail) {
            if (b->Head != from) {
                d = b->Tail->Position;
                tsxSubToVec3f(&d, &b->Head->Position);
            } else {
                d = b->Head->Position;
                tsxSubToVec3f(&d, &b->Tail->Position);
            }
        }
    }
    CtsxVec3f p = from->Position;
    tsxAddToVec3f(&p, &d);
    joint->SetPosition(p);
}

void TSkeleton::NewJoint(bool withBone) {
    const CtsxVec3f origin{0, 0, 0};
    TJoint* from = SelectedJoint ? SelectedJoint : NewJointAt(origin);
    TJoint* j = from ? NewJointAt(origin) : nullptr;
    if (!j) return; // what the host did make stays, in the rig as in the scene
    Joints.Renumber();
    PlaceNewJoint(j, from);
    if (withBone) {
        NewBone(from, j);
        Bones.PlaceAll();
    }
    vel::SelectObject(j->Node, 1);
    SelectedJoint = j;
    RefreshSkeletonViews();
    UpdateJointSizes();
}

void TSkeleton::NewTeeBone() {
    const CtsxVec3f origin{0, 0, 0};
    TJoint* from = SelectedJoint ? SelectedJoint : NewJointAt(origin);
    TJoint* a = from ? NewJointAt(origin) : nullptr;
    TJoint* b = a ? NewJointAt(origin) : nullptr;
    if (!b) return; // what the host did make stays, in the rig as in the scene
    Joints.Renumber();
    PlaceNewJoint(a, from);
    CtsxVec3f p = from->Position;
    tsxAddToVec3f(&p, &a->Position);
    tsxMulScalar3f(&p, 0.5f);
    const CtsxVec3f up{0, 1, 0};
    tsxAddToVec3f(&p, &up);
    b->SetPosition(p);

    const CtsxSobj node = NewBoneObject();
    const CtsxSobj extra = node ? NewTeeBoneObject() : nullptr;
    if (!extra) {
        DeleteObject(node); // half a tee bone is none
        return;
    }
    auto bone = std::make_unique<TTeeBone>(node, extra);
    TTeeBone* t = bone.get();
    t->Head = from;
    t->Tail = a;
    t->TeeJoint = b;
    AddToBag(t->Node);
    AddToBag(t->ExtraObject);
    SelectedBone = Bones.Add(std::move(bone));
    t->Length = t->MeasureLength();
    t->HeadTeeDistance = TBone::DistanceBetween(*from, *b);
    t->TailTeeDistance = TBone::DistanceBetween(*a, *b);

    Bones.PlaceAll();
    vel::SelectObject(a->Node, 1);
    SelectedJoint = a;
    RefreshSkeletonViews();
    UpdateJointSizes();
}

void TSkeleton::EnsurePoseLibObject() {
    if (PoseLibObject) return;
    PoseLibObject = NewPoseLibObject();
    AddToBag(PoseLibObject);
}

void TSkeleton::BuildHierarchy() {
    if (!Bag) return;
    if (tsxGNodeGetParent(Bag) != SkeletonObject) {
        if (!SkeletonObject) SkeletonObject = NewSkeletonObject();
        // Without the host's group the bag stays where it is.
        if (SkeletonObject) {
            CtsxSobj passed = SkeletonObject;
            tsxAddSubobj(&SkeletonObject, Bag);
            tsxGNodeSetName(passed, "PartsGoHere");
            tsxGNodeSetName(SkeletonObject, "Skeleton");
            tsxGNodeSetName(Bag, "blank");
            tsxGNodeSetName(Bag, ".BoneBag");
        }
    }
    WatchObject(Bag);
    WatchObject(SkeletonObject);
    // Only a loaded tee bone's new object comes in: one in the bag stays where
    // it stands (adding it again would move it to the end).
    for (auto& b : Bones.List)
        if (auto* t = dynamic_cast<TTeeBone*>(b.get());
            t && t->ExtraObject && tsxGNodeGetParent(t->ExtraObject) != Bag)
            AddToBag(t->ExtraObject);
}

TSkeleton* TSkeleton::Root() {
    // Attachments never loop when made through AttachChild; a damaged chain
    // still ends, at the last skeleton before it comes round.
    std::vector<TSkeleton*> seen;
    TSkeleton* s = this;
    while (s->Attached && s->ParentSkeleton) {
        seen.push_back(s);
        TSkeleton* up = s->ParentSkeleton;
        if (std::find(seen.begin(), seen.end(), up) != seen.end()) break;
        s = up;
    }
    return s;
}

void TSkeleton::AttachTo(TSkeleton* parent) {
    if (!parent || parent == this) return;
    Attached = 1;
    ParentSkeleton = parent;
    TSkeleton* root = Root();
    if (root != this) root->Skins->Merge(*Skins);
}

void TSkeleton::ResolveLoadedJoints() {
    Joints.ReadAll();
    Bones.ResolveJointsAll(Joints);
    // Bones name their joints by index: the list's numbers again once
    // resolved, so that a save and a reload bind the same joints.
    for (std::int32_t i = 0; i < Joints.Count(); ++i)
        if (Joints.Items(i)->Index() != i) {
            Joints.Renumber();
            break;
        }
    Joints.AssignMarkers(LoadedMarkers);
}

void TSkeleton::RelinkInScene() {
    if (!Loaded) return;
    Loaded = 0;
    Joints.SortByIndex();
    for (auto& b : Bones.List)
        b->ResolveChildrenInScene();
    ResolveLoadedJoints();
}

void TSkeleton::RelinkUnderRoot() {
    if (!Loaded) return;
    Loaded = 0;
    Joints.SortByIndex();
    TSkeleton* root = Root();
    CtsxSobj under = root ? root->SkeletonObject : nullptr;
    for (auto& b : Bones.List)
        b->ResolveChildrenUnder(under);
    ResolveLoadedJoints();
}

// ---- selection ----

void TSkeleton::SelectObject(CtsxSobj obj) {
    if (!obj) return;
    bool selected = false;
    std::int32_t i;
    TJoint* j = nullptr;
    if (Joints.FindByNode(obj, j)) {
        SelectedJoint = j;
        selected = true;
        if (Bones.FindByJoint(obj, i, 0)) SelectedBone = i;
    } else if (Bones.IndexOfNode(obj, i)) {
        SelectedBone = i;
        selected = true;
    }
    if (selected) RefreshSkeletonViews();
}

void TSkeleton::UpdateSelectionCache() {
    if (SelectedJoint) {
        SelCacheJoint = SelectedJoint;
        SelCacheHead = SelectedJoint->Position;
        SelCacheBone = nullptr;
    } else if (TBone* b = Bones.ByIndex(SelectedBone)) {
        SelCacheBone = b;
        if (b->Head) SelCacheHead = b->Head->Position;
        if (b->Tail) SelCacheTail = b->Tail->Position;
        SelCacheJoint = nullptr;
    }
}

// ---- update ----

void TSkeleton::Relax() {
    for (int pass = 0; pass < kRelaxPasses; ++pass) {
        Bones.SolveAll();
        Joints.ApplyFloorAll();
    }
    Bones.ReadTargetJointsAll();
}

void TSkeleton::Update() {
    Joints.ReadAll();
    if (!SetupMode) {
        Relax();
        // A pose that overflowed is refused whole: the scene keeps the last
        // one, and so do the joints.
        if (!Joints.AllFinite()) {
            Joints.ReadAll();
            return;
        }
        Joints.WriteAll();
        Bones.PlaceAll();
        Bones.MoveAllChildren();
    } else {
        Joints.WriteAll();
        Bones.UpdateLengths();
        Bones.PlaceAll();
        Bones.RebindAllChildren();
    }
}

void TSkeleton::FollowJoints(const std::set<const TBone*>& moved) {
    Joints.ReadAll();
    if (!Joints.AllFinite()) return;
    // Placing again from the roll the last placement left turns a bone a
    // last place further: the others keep their objects as they stand.
    for (auto& b : Bones.List)
        if (moved.count(b.get())) b->PlaceNode();
    Bones.MoveAllChildren();
    UpdateJointSizes();
}

void TSkeleton::Refresh() {
    Update();
    if (!SetupMode) DeformRootSkins();
    UpdateJointSizes();
}

void TSkeleton::RefreshAttached() {
    Bones.ReadTwistAll();
    Update();
}

void TSkeleton::UpdateJointSizes() {
    Joints.ResetSizes();
    Bones.ShareJointSizes();
    Joints.ApplySizes(SizeFactor);
}

// ---- moves and host edits ----

void TSkeleton::TransformAll(const CtsxTxmx3f& m) {
    Joints.TransformAll(m);
    Bones.RotateTwistAll(m);
}

void TSkeleton::MoveJoint(TJoint* joint, const CtsxTxmx3f& m) {
    if (!joint) return;
    std::vector<TJoint*> list;
    std::int32_t i;
    if (joint->HasFlags(jfParentMode) && Bones.FindByTailJoint(joint->Node, i, 0))
        Bones.Items(i)->CollectDownstreamJoints(Bones, list);
    Joints.CollectFlagged(list);
    // The joint itself moves once, below, even when it is Linked or its
    // chain leads back to it.
    list.erase(std::remove(list.begin(), list.end(), joint), list.end());
    for (TJoint* j : list)
        j->Transform(m);
    joint->Transform(m);
}

void TSkeleton::ObjectMoved(CtsxSobj obj, CtsxTxmx3f& m) {
    if (!obj) return;
    if (obj != Bag && obj != SkeletonObject) {
        TJoint* j = nullptr;
        if (!Joints.FindByNode(obj, j)) return;
        MoveJoint(j, m);
    } else {
        if (Attached || !OptKeyJoints) return;
        TransformAll(m);
    }
    m = IdentityTxmx3f;
    Refresh();
    RefreshViews();
}

void TSkeleton::ObjectDeleted(CtsxSobj obj) {
    if (!obj) return;
    if (obj == PoseLibObject) {
        PoseLibObject = nullptr;
        return;
    }
    TJoint* j = nullptr;
    if (Joints.FindByMarker(obj, j)) {
        // The next update makes a new marker instead of writing to this one.
        j->Marker = nullptr;
        return;
    }
    // Keeps SelectedBone on the same bone while bone i goes.
    auto boneGoes = [this](std::int32_t i) {
        if (SelCacheBone == Bones.ByIndex(i)) SelCacheBone = nullptr;
        if (SelectedBone == i)
            SelectedBone = -1;
        else if (SelectedBone > i)
            --SelectedBone;
    };
    if (Joints.FindByNode(obj, j)) {
        for (std::int32_t i = 0; i < Bones.Count();) {
            TBone* b = Bones.Items(i);
            if (!BoneNeedsJoint(*b, obj)) {
                ++i;
                continue;
            }
            ForgetObject(b->Node);
            if (auto* t = dynamic_cast<TTeeBone*>(b); t && t->ExtraObject)
                ForgetObject(t->ExtraObject);
            boneGoes(i);
            Bones.DeleteBone(i);
        }
        if (SelectedJoint == j) SelectedJoint = nullptr;
        if (SelCacheJoint == j) SelCacheJoint = nullptr;
        Joints.Remove(j);
        return;
    }
    std::int32_t i;
    if (Bones.IndexOfNode(obj, i)) boneGoes(i);
    Bones.RemoveObject(obj);
    Skins->RemoveObject(obj);
}

void TSkeleton::TwistBone(TBone* bone, float angle) {
    if (!bone) return;
    if (bone->Tail && bone->Tail->HasFlags(jfParentMode)) {
        std::vector<TBone*> list;
        bone->CollectDownstreamBones(Bones, list);
        for (TBone* b : list)
            b->RotateTwist(angle);
    }
    bone->RotateTwist(angle);
}

void TSkeleton::TwistChanged(CtsxSobj obj, float time) {
    if (!obj) return;
    const float frame = static_cast<float>(SafeTrunc(time));
    for (auto& b : Bones.List) {
        if (b->Node != obj) continue;
        CtsxVec3f v{};
        tsxSobjGetInterpolatedData(obj, TwistAttribute, frame, &v);
        // A zero (or broken) key names no roll: the bone keeps its own.
        tsxNormalize3f(&v); // leaves zero and non-finite vectors as they are
        if (std::isfinite(v.x + v.y + v.z) && tsxMagnitude3f(&v) > 0) b->Twist = v;
        b->TwistKeyed = 1;
        return;
    }
}

void TSkeleton::StiffChanged(CtsxSobj obj, float time) {
    if (!obj) return;
    TJoint* j = nullptr;
    if (!Joints.FindByNode(obj, j)) return;
    float s = j->Stiff();
    tsxSobjGetInterpolatedData(obj, StiffAttribute, static_cast<float>(SafeTrunc(time)), &s);
    j->SetStiff(s);
}

} // namespace vel
