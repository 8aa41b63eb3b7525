#pragma once
// The pose blender: one weight slider per pose of the current skeleton.
#include <string>
#include <vector>

#include "Forms.h"

namespace vel {

class TBlenderForm : public fw::TForm {
public:
    explicit TBlenderForm(fw::TComponent* AOwner);
    ~TBlenderForm() override;

    struct TSlider {
        std::string PoseName;
        float Weight = 0;
    };
    const std::vector<TSlider>& Sliders() const { return FSliders; }
    void AddSlider(const std::string& poseName, float weight);
    // Empties the slider list and rebuilds the slider box.
    void ClearSliders();
    // How many times the slider box was rebuilt.
    int SliderBoxBuilds() const { return FSliderBoxBuilds; }

private:
    void RebuildSliderBox();
    std::vector<TSlider> FSliders;
    int FSliderBoxBuilds = 0;
};

extern TBlenderForm* BlenderForm;

} // namespace vel
