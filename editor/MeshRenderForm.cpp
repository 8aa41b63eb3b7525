#include "MeshRenderForm.h"

#include "Forms.h"
#include "SkelMgr.h"
#include "Skeleton.h"
#include "Switchboard.h"

namespace vel {

TMeshRenderForm* MeshRenderForm = nullptr;

TMeshRenderForm::TMeshRenderForm(fw::TComponent* AOwner) : TTsOwnedForm(AOwner) {
    SetName("MeshRenderForm");
    SetCaption("Paint Weights");
}

TMeshRenderForm::~TMeshRenderForm() {
    if (MeshRenderForm == this) MeshRenderForm = nullptr;
}

void TMeshRenderForm::LoadSkin(TSkeleton* skeleton, std::int32_t boneIndex,
                               std::int32_t childIndex) {
    Clear();
    if (!skeleton) return;
    TBone* bone = skeleton->Bones.ByIndex(boneIndex);
    TBoneChild* child = bone ? bone->Children(childIndex) : nullptr;
    if (!child) return;
    FSkeleton = skeleton;
    FBoneIndex = boneIndex;
    FChildIndex = childIndex;
    FObject = child->Object;
}

void TMeshRenderForm::Clear() {
    FSkeleton = nullptr;
    FBoneIndex = -1;
    FChildIndex = -1;
    FObject = nullptr;
}

void EditBoneSkin() {
    TSkeleton* skeleton = CurrentSkeleton;
    if (!skeleton) return;
    TBone* bone = skeleton->Bones.ByIndex(skeleton->SelectedBone);
    if (!bone) return;
    std::int32_t child = -1;
    for (std::int32_t i = 0; i < bone->ChildCount() && child < 0; ++i)
        if (bone->SkinAreas(i)) child = i;
    if (child < 0) return;
    if (!MeshRenderForm) MeshRenderForm = fw::Application()->CreateForm<TMeshRenderForm>();
    MeshRenderForm->Show();
    MeshRenderForm->LoadSkin(skeleton, skeleton->SelectedBone, child);
}

} // namespace vel
