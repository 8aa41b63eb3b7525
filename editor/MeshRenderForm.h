#pragma once
// The weight-painting window: shows one skinned child of a bone and lets the
// user paint the bone's skin-area weights on it.
#include <cstdint>

#include "TsOwnedForm.h"
#include "tsxapi.h"

namespace vel {

class TSkeleton;

class TMeshRenderForm : public TTsOwnedForm {
public:
    explicit TMeshRenderForm(fw::TComponent* AOwner);
    ~TMeshRenderForm() override;

    // What is loaded: the skeleton, bone index, child index and its object.
    TSkeleton* Skeleton() const { return FSkeleton; }
    std::int32_t BoneIndex() const { return FBoneIndex; }
    std::int32_t ChildIndex() const { return FChildIndex; }
    CtsxSobj Object() const { return FObject; }

    void LoadSkin(TSkeleton* skeleton, std::int32_t boneIndex, std::int32_t childIndex);
    void Clear();

private:
    TSkeleton* FSkeleton = nullptr;
    std::int32_t FBoneIndex = -1;
    std::int32_t FChildIndex = -1;
    CtsxSobj FObject = nullptr;
};

// Empty until EditBoneSkin first has a skin to show.
extern TMeshRenderForm* MeshRenderForm;

// For the current skeleton's selected bone and its first skinned child:
// creates the window on first use, shows it and loads that child.
void EditBoneSkin();

} // namespace vel
