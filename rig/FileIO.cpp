#include "FileIO.h"

#include <utility>

#include "Attributes.h"
#include "Bone.h"
#include "EditorServices.h"
#include "HostRefs.h"
#include "NoDestroy.h"
#include "Records.h"
#include "ScopeExit.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Skin.h"
#include "Switchboard.h"
#include "TeeBone.h"
#include "TeeTakeOver.h"
#include "TsxHelper.h"

namespace vel {

std::int32_t LoadRelinkMode = 1;

namespace {

std::vector<std::string>& Problems() {
    static fw::TNoDestroy<std::vector<std::string>> problems;
    return *problems;
}

// Enough to tell what went wrong with a file, bounded however damaged it is.
constexpr std::size_t kMaxProblems = 100;

void Report(const std::string& what, CtsxSobj object, const std::string& why) {
    if (Problems().size() >= kMaxProblems) return;
    std::string name = GetNodeName(object);
    Problems().push_back(what + (name.empty() ? "" : " of \"" + name + "\"") + ": " + why);
}

// Queued handles may come from a scene that has been replaced since.
bool StillInScene(CtsxSobj object) {
    return object && IsSceneObjectOfType(object, 0);
}

// The extra object a record's tee bone was made with went since (its handle
// may name the user's object now).
bool TeeObjectWent(const TBone& bone) {
    const TTeeBone* tee = bone.LoadedTeeBone.get();
    return tee && GoneSince(tee->ExtraObject, tee->Serial.Value);
}

// The tee bone a dropped record made has an object of its own in the scene.
void DiscardBone(TBone& bone) {
    if (bone.LoadedTeeBone && !TeeObjectWent(bone)) DeleteObject(bone.LoadedTeeBone->ExtraObject);
}

void AttachLoadedBone(std::unique_ptr<TBone> bone) {
    // The bone was made as its record was read: a handle reported gone since
    // names another object now, if any.
    if (GoneSince(bone->Node, bone->Serial.Value) || !StillInScene(bone->Node)) {
        Report("bone", nullptr, "its object is no longer in the scene");
        DiscardBone(*bone);
        return;
    }
    CtsxSobj bag = tsxGNodeGetParent(bone->Node);
    if (!bag || bag == tsxGetScene()) {
        Report("bone", bone->Node, "not inside a bone bag");
        DiscardBone(*bone);
        return;
    }
    if (TeeObjectWent(*bone)) {
        // As when it goes after the rebuild: the tee bone with its bone object.
        Report("tee bone", bone->Node, "its extra object is no longer in the scene");
        DeleteObject(bone->Node);
        return;
    }
    TSkeleton* skeleton = nullptr;
    if (!FindSkeletonByBag(bag, skeleton)) {
        skeleton = CreateSkeletonForBag(bag);
        skeleton->Loaded = 1;
    }
    if (bone->LoadedTeeBone) {
        NoteLoadedTeeBone(*bone->LoadedTeeBone);
        skeleton->Bones.Add(std::move(bone->LoadedTeeBone)); // the carrier goes
    } else
        skeleton->Bones.Add(std::move(bone));
}

void RelinkObjectVisit(CtsxSobj node, void* /*data*/, bool& /*stop*/) {
    TSkeleton* skeleton = nullptr;
    if (!FindSkeletonOfBagChild(node, skeleton)) return;
    const int markerType = JointMarkerType();
    if (markerType != 0 && tsxSobjGetType(node) == markerType) {
        skeleton->LoadedMarkers.push_back(node);
        return;
    }
    if (!skeleton->Loaded || !(HasJointData(node) || HasJointData2(node))) return;
    TJoint* joint = skeleton->Joints.Items(skeleton->Joints.Add(node));
    LoadJointData(node, *joint);
    LoadJointData2(node, *joint);
    WatchObject(node);
}

} // namespace

// ---- pose holders ----

TPoseHolder::TPoseHolder() : Skins(std::make_unique<TSkinsObject>()) {}

TPoseHolder::~TPoseHolder() = default;

void TPoseHolder::MovePosesTo(TSkeleton& skeleton) {
    skeleton.PoseLibObject = PoseLibObject;
    for (auto& s : States)
        skeleton.PoseList.push_back(std::move(s));
    States.clear();
}

void TPoseHolder::MoveSkinsTo(TSkeleton& skeleton) {
    // The meshes keep what the scene holds: the skins' rest vertices go back
    // into them only when the load's refresh deforms them.
    if (LoadRelinkMode == 1) {
        Skins->ResolveAllInScene(false);
    } else {
        TSkeleton* root = skeleton.Root();
        Skins->ResolveAllUnder(root ? root->SkeletonObject : nullptr, false);
    }
    skeleton.Skins->List = std::move(Skins->List);
    Skins->List.clear();
}

// ---- queues ----

std::vector<std::unique_ptr<TBone>>& PendingBones() {
    static fw::TNoDestroy<std::vector<std::unique_ptr<TBone>>> bones;
    return *bones;
}

std::vector<std::unique_ptr<TPoseHolder>>& PoseHolders() {
    static fw::TNoDestroy<std::vector<std::unique_ptr<TPoseHolder>>> holders;
    return *holders;
}

bool HasPendingBones() {
    return !PendingBones().empty();
}

const std::vector<std::string>& LoadProblems() {
    return Problems();
}

void ClearLoadProblems() {
    Problems().clear();
}

void FinalizeFileIOUnit() {
    std::vector<std::unique_ptr<TBone>>().swap(PendingBones());
    std::vector<std::unique_ptr<TPoseHolder>>().swap(PoseHolders());
    std::vector<std::string>().swap(Problems());
    ForgetTeeTakeOvers();
}

// ---- read and write handlers ----

std::int32_t WriteBoneObject(CtsxSobj object, CtsxFILE fd) {
    TSkeleton* skeleton = nullptr;
    std::int32_t i = -1;
    if (!FindSkeletonByBoneNode(object, skeleton, i)) return kNoSuchBone;
    TRecordWriter out(fd);
    skeleton->Bones.Items(i)->Save(out);
    return out.Ok() ? 0 : kRecordNotWritten;
}

std::int32_t ReadBoneObject(CtsxSobj object, CtsxFILE fd) {
    auto bone = std::make_unique<TBone>(object);
    TRecordReader in(fd);
    bone->Load(in);
    if (in.Failed()) {
        // An empty record is what a bone outside every skeleton left.
        if (in.Consumed() > 0) Report("bone record", object, in.Error());
        DiscardBone(*bone);
        return kRecordDropped;
    }
    if (in.Stopped()) Report("bone record", object, in.Error() + " (the rest was not read)");
    PendingBones().push_back(std::move(bone));
    return 0;
}

std::int32_t WritePoseLibObject(CtsxSobj object, CtsxFILE fd) {
    TSkeleton* skeleton = nullptr;
    if (!FindSkeletonOfBagChild(object, skeleton)) return 0;
    TRecordWriter out(fd);
    out.U32(kPoseLibVersion);
    std::uint32_t n = 0;
    for (const auto& s : skeleton->PoseList)
        n += s ? 1 : 0;
    out.U32(n);
    for (const auto& s : skeleton->PoseList)
        if (s) s->Write(out);
    skeleton->Skins->Write(out);
    out.F32(skeleton->SizeFactor);
    return out.Ok() ? 0 : kRecordNotWritten;
}

std::int32_t ReadPoseLibObject(CtsxSobj object, CtsxFILE fd) {
    auto holder = std::make_unique<TPoseHolder>();
    holder->PoseLibObject = object;
    TRecordReader in(fd);
    std::uint32_t version = 0;
    std::int32_t n = 0;
    if (in.U32(version, "pose library version") && in.Count(n, "pose count")) {
        for (std::int32_t i = 0; i < n; ++i) {
            auto state = std::make_unique<TSkeletonState>();
            if (!state->Read(in)) break;
            holder->States.push_back(std::move(state));
        }
        if (holder->Skins->Read(in) && version != kPoseLibVersionNoSize)
            in.F32(holder->SizeFactor, "size factor");
    }
    if (in.Failed()) {
        // An empty record is what a pose library outside every skeleton left.
        if (in.Consumed() > 0) Report("pose library record", object, in.Error());
        return kRecordDropped;
    }
    if (in.Stopped())
        Report("pose library record", object, in.Error() + " (the rest was not read)");
    PoseHolders().push_back(std::move(holder));
    return 0;
}

// ---- rebuild ----

void AttachLoadedBones() {
    // Taken out first: the list is empty afterwards whatever happens.
    std::vector<std::unique_ptr<TBone>> bones = std::move(PendingBones());
    PendingBones().clear();
    for (auto& bone : bones)
        AttachLoadedBone(std::move(bone));
}

void RelinkSceneObjects() {
    AttachLoadedBones();
    RelinkingScene = true;
    fw::TScopeExit done([] { RelinkingScene = false; });
    ForEachNode(tsxSceneGetFirstNode(), &RelinkObjectVisit, nullptr);
}

void MovePoseHoldersToSkeletons() {
    std::vector<std::unique_ptr<TPoseHolder>> holders = std::move(PoseHolders());
    PoseHolders().clear();
    for (auto& holder : holders) {
        if (!StillInScene(holder->PoseLibObject)) continue;
        TSkeleton* skeleton = nullptr;
        if (!FindSkeletonOfBagChild(holder->PoseLibObject, skeleton)) continue;
        holder->MovePosesTo(*skeleton);
        holder->MoveSkinsTo(*skeleton);
        skeleton->SizeFactor = holder->SizeFactor;
    }
}

void RebuildAfterSceneLoad() {
    LoadRelinkMode = 1;
    RelinkSceneObjects();
    MovePoseHoldersToSkeletons();
    RelinkAllInScene();
}

void RebuildAfterObjectLoad() {
    LoadRelinkMode = 0;
    RelinkSceneObjects();
    MovePoseHoldersToSkeletons();
    RelinkAllUnderRoot();
}

void RefreshAfterLoad() {
    const bool setup = SetupMode;
    SetupMode = false;
    fw::TScopeExit restore([setup] { SetupMode = setup; });
    SetCurrentSkeleton(SkeletonByIndex(0));
    // The scene comes back as it was saved: only what frame 0's keys move
    // follows them, nothing relaxes and no intact skin is bound again.
    SettleAtFrameZero();
    RebindChangedSkins();
    BuildAllHierarchies();
    EditorServices().SceneTreeRefreshTree();
    RebuildAllSubDivSkins();
    RefreshViews();
}

void ReRecordSetupFrames() {
    // The scene is saved at frame 0 as it is drawn there: what the keys
    // move follows them before the host writes it.
    if (!SetupMode) {
        SettleAtFrameZero();
        return;
    }
    RecordRestFrames();
    SetupMode = false;
    fw::TScopeExit restore([] { SetupMode = true; });
    SettleAtFrameZero();
}

void DropLoadQueues() {
    PendingBones().clear();
    PoseHolders().clear();
}

namespace testing {

void ResetFileIOUnit() {
    DropLoadQueues();
    ClearLoadProblems();
    ForgetTeeTakeOvers();
    LoadRelinkMode = 1;
    RelinkingScene = false;
}

} // namespace testing

} // namespace vel
