#include "BlenderForm.h"

#include <algorithm>

#include "ScopeExit.h"
#include "Skeleton.h"
#include "SkeletonState.h"
#include "Switchboard.h"
#include "ValueTrack.h"

namespace vel {

TBlenderForm* BlenderForm = nullptr;

namespace {

constexpr int kRowHeight = 22;

// Tall enough for rows sliders.
void FitRows(fw::TForm* form, std::size_t rows) {
    const int client = 8 + kRowHeight * static_cast<int>(rows);
    form->SetBounds(form->Left(), form->Top(), form->Width(),
                    form->Height() - form->ClientHeight() + client);
}

} // namespace

TBlenderForm::TBlenderForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("BlenderForm");
    SetCaption("Pose Blender");
    SetBounds(0, 0, 220, 60);
    LoadComponents([this] {
        SliderBox = fw::Create<fw::TPanel>(this);
        SliderBox->SetName("SliderBox");
        SliderBox->SetParent(this);
        SliderBox->SetBevelOuter(fw::bvNone);
        SliderBox->SetAlign(fw::alClient);
    });
}

TBlenderForm::~TBlenderForm() {
    if (BlenderForm == this) BlenderForm = nullptr;
}

void TBlenderForm::AddSlider(const std::string& poseName, float weight) {
    const std::size_t i = FSliders.size();
    TValueTrack* track =
        MakeValueTrack(SliderBox, "PoseSlider" + std::to_string(i), 4,
                       4 + kRowHeight * static_cast<int>(i), std::max(ClientWidth() - 8, 60));
    track->Setup(poseName, 0, 1, 0.01);
    track->SetValue(weight);
    track->OnChange = [this, i](TValueTrack*) { SliderMoved(i); };
    FSliders.push_back(TSlider{poseName, weight, track});
    FitRows(this, FSliders.size());
}

void TBlenderForm::ClearSliders() {
    if (FInSlider) {
        FRebuildPending = true;
        return;
    }
    for (TSlider& s : FSliders)
        fw::Free(s.Track);
    FSliders.clear();
    FBase.reset();
    RebuildSliderBox();
}

void TBlenderForm::RebuildSliderBox() {
    ++FSliderBoxBuilds;
    FRebuildPending = false;
    const TSkeleton* skeleton = CurrentSkeleton;
    FBuiltFor = skeleton ? skeleton->Serial.Value : 0;
    FBuiltPoses.clear();
    if (skeleton)
        for (const auto& pose : skeleton->PoseList) {
            FBuiltPoses.push_back(pose ? pose->Serial.Value : 0);
            AddSlider(pose ? pose->Name : std::string(), 0);
        }
    FitRows(this, FSliders.size());
    Invalidate();
}

bool TBlenderForm::PosesChanged() const {
    const TSkeleton* skeleton = CurrentSkeleton;
    if ((skeleton ? skeleton->Serial.Value : 0) != FBuiltFor) return true;
    // A slider added by hand stands for no pose.
    if (FSliders.size() != FBuiltPoses.size()) return true;
    if (!skeleton) return false;
    if (skeleton->PoseList.size() != FBuiltPoses.size()) return true;
    for (std::size_t i = 0; i < FBuiltPoses.size(); ++i) {
        const TSkeletonState* pose = skeleton->PoseList[i].get();
        if ((pose ? pose->Serial.Value : 0) != FBuiltPoses[i]) return true;
    }
    return false;
}

void TBlenderForm::SyncSliders() {
    if (PosesChanged()) ClearSliders();
}

void TBlenderForm::SetWeight(std::size_t i, float w) {
    if (i >= FSliders.size()) return;
    FSliders[i].Track->SetValue(w);
    SliderMoved(i);
}

void TBlenderForm::SliderMoved(std::size_t i) {
    if (i >= FSliders.size()) return;
    FInSlider = true;
    fw::TScopeExit done{[this] {
        FInSlider = false;
        if (FRebuildPending) ClearSliders();
    }};
    FSliders[i].Weight = static_cast<float>(FSliders[i].Track->Value());
    // Poses that went or came since the sliders were built: the weights no
    // longer say which pose they are for.
    if (PosesChanged()) {
        FRebuildPending = true;
        return;
    }
    Blend();
}

// The base and every pose, by the sliders' weights (the base's own weight is
// not used by the blend).
void TBlenderForm::Blend() {
    TSkeleton* skeleton = CurrentSkeleton;
    if (!skeleton) return;
    const bool any = std::any_of(FSliders.begin(), FSliders.end(),
                                 [](const TSlider& s) { return s.Weight > 0; });
    if (!FBase) {
        if (!any) return;
        FBase = skeleton->CaptureState("Blend Base", false, false);
    }
    std::vector<TSkeletonState*> states{FBase.get()};
    std::vector<float> weights{1.0f};
    for (std::size_t i = 0; i < FSliders.size(); ++i) {
        states.push_back(skeleton->PoseList[i].get());
        weights.push_back(FSliders[i].Weight);
    }
    BlendPoses(skeleton, states, weights);
    if (!any) FBase.reset();
}

} // namespace vel
