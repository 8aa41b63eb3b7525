#include "PosesForm.h"

#include <algorithm>
#include <cstdint>

#include "SkelMgr.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Switchboard.h"

namespace vel {

TPosesForm* PosesForm = nullptr;

namespace {

TSkeletonState* FindPose(const TRowRef* Ref) {
    TSkeleton* skeleton = nullptr;
    if (!Ref || Ref->Kind != rkPose || !LiveObject(Ref->Host()) ||
        !FindSkeletonByBag(Ref->Object, skeleton) ||
        Ref->Index < 0 || static_cast<std::size_t>(Ref->Index) >= skeleton->PoseList.size())
        return nullptr;
    return skeleton->PoseList[static_cast<std::size_t>(Ref->Index)].get();
}

} // namespace

TPosesForm::TPosesForm(fw::TComponent* AOwner)
    : TTreeForm(AOwner, "PosesForm", "Poses", "PoseTree") {
    // A plain list: no lines or buttons for rows that never have children.
    TCustomLazyTreeOptions* options = Tree()->TreeOptions();
    options->SetPaintOptions(options->PaintOptions() &
                             ~(toShowRoot | toShowTreeLines | toShowButtons));
    // Rows come from the count; each takes its key when the tree first
    // needs it.
    Tree()->OnInitNode = [this](TBaseLazyTree*, PLazyNode, PLazyNode Node, TLTInternalStates&) {
        KeyRow(Node, {rkPose, FPoseBag, static_cast<std::int32_t>(Node->Index)});
    };
    RefreshPoseTree();
}

TPosesForm::~TPosesForm() {
    Tree()->OnInitNode = nullptr;
    if (PosesForm == this) PosesForm = nullptr;
}

void TPosesForm::RefreshPoseTree() {
    TSkeleton* skeleton = CurrentSkeleton;
    // Rows made for another skeleton start again (known by its serial: a new
    // skeleton may have the bag handle of one that went).
    const std::uint64_t serial = skeleton ? skeleton->Serial.Value : 0;
    const CtsxSobj bag = skeleton ? skeleton->Bag : nullptr;
    if (serial != FPoseSkeleton || bag != FPoseBag) {
        ClearRows();
        FPoseSkeleton = serial;
        FPoseBag = bag;
    }
    const std::size_t count = skeleton ? skeleton->PoseList.size() : 0;
    Tree()->SetRootNodeCount(static_cast<std::uint32_t>(std::min<std::size_t>(count, UINT32_MAX)));
    Tree()->Invalidate();
}

TSkeletonState* TPosesForm::PoseOfKey(TNodeKey Key) const {
    return FindPose(Keys().Find(Key));
}

void TPosesForm::GetRowText(const TRowRef& Ref, TLSTTextType TextType, std::string& Text) {
    if (TextType != ttNormal) return;
    if (const TSkeletonState* pose = FindPose(&Ref)) Text = pose->Name;
}

} // namespace vel
