#pragma once
// The pose blender: one weight slider (a value track, 0 to 1) for each pose
// of the current skeleton. Moving a slider blends the poses by the sliders'
// weights over the pose the skeleton had when the first slider left 0 (the
// base), and applies the blend to the skeleton; with every slider back at 0
// the skeleton is back at the base, and the next blend starts from the pose
// it has then.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ExtCtrls.h"
#include "Forms.h"

namespace vel {

class TSkeleton;
class TSkeletonState;
class TValueTrack;

class TBlenderForm : public fw::TForm {
public:
    explicit TBlenderForm(fw::TComponent* AOwner);
    ~TBlenderForm() override;

    struct TSlider {
        std::string PoseName;
        float Weight = 0;
        TValueTrack* Track = nullptr;
    };
    fw::TPanel* SliderBox = nullptr;
    const std::vector<TSlider>& Sliders() const { return FSliders; }
    // A slider for a pose by its name; its weight shown and kept, not blended.
    void AddSlider(const std::string& poseName, float weight);
    // Empties the slider list and rebuilds the slider box: one slider at 0
    // for each pose of the current skeleton. Inside a slider's own handler
    // the rebuild waits until the handler is done.
    void ClearSliders();
    // Rebuilds the sliders when the current skeleton or its poses are no
    // longer those they were built for.
    void SyncSliders();
    // How many times the slider box was rebuilt.
    int SliderBoxBuilds() const { return FSliderBoxBuilds; }
    // Slider i takes weight w (0..1) as if the user had dragged it there.
    void SetWeight(std::size_t i, float w);
    // The pose the blends start from; none while every slider is at 0.
    const TSkeletonState* Base() const { return FBase.get(); }

private:
    void RebuildSliderBox();
    void SliderMoved(std::size_t i);
    void Blend();
    bool PosesChanged() const;

    std::vector<TSlider> FSliders;
    int FSliderBoxBuilds = 0;
    // What the sliders were built for, by serial (0: no skeleton): a pose
    // or skeleton freed and another made at its address is another one.
    std::uint64_t FBuiltFor = 0;
    std::vector<std::uint64_t> FBuiltPoses;
    std::unique_ptr<TSkeletonState> FBase;
    bool FInSlider = false;
    bool FRebuildPending = false;
};

extern TBlenderForm* BlenderForm;

} // namespace vel
