#include "BlenderForm.h"

namespace vel {

TBlenderForm* BlenderForm = nullptr;

TBlenderForm::TBlenderForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("BlenderForm");
    SetCaption("Pose Blender");
}

TBlenderForm::~TBlenderForm() {
    if (BlenderForm == this) BlenderForm = nullptr;
}

void TBlenderForm::AddSlider(const std::string& poseName, float weight) {
    FSliders.push_back(TSlider{poseName, weight});
    RebuildSliderBox();
}

void TBlenderForm::ClearSliders() {
    FSliders.clear();
    RebuildSliderBox();
}

void TBlenderForm::RebuildSliderBox() {
    ++FSliderBoxBuilds;
    Invalidate();
}

} // namespace vel
