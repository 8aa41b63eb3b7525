#pragma once
// The onion-skin window: the active host view's picture with the current
// skeleton's bones drawn over it as they stand at the neighbouring recorded
// frames, up to the frame span on each side: earlier frames orange, later
// ones blue, each fainter the further it lies from the current time. The
// bones are read from the joints' location keys, so the scene and its time
// stay as they are.
#include <vector>

#include "Bitmap32.h"
#include "ComCtrls.h"
#include "Forms.h"

namespace vel {

class TPaintBox32;
class TSkeleton;
class TValueTrack;

class TOnionForm : public fw::TForm {
public:
    explicit TOnionForm(fw::TComponent* AOwner);
    ~TOnionForm() override;

    static constexpr TColor32 kEarlier = 0xFFFF9030;
    static constexpr TColor32 kLater = 0xFF30B0FF;
    // Master alpha of the bones k frames away (1 = the nearest), of span.
    static std::uint32_t GhostAlpha(int k, int span);

    fw::TToolButton* OverlayButton = nullptr;
    TValueTrack* SpanTrack = nullptr;
    TPaintBox32* PaintBox = nullptr;

    bool OverlayOn() const { return FOverlayOn; }
    // The overlay switch; switched on with the window shown, it paints.
    void SetOverlayOn(bool Value);
    // Recorded frames on each side of the current time that are drawn (1..5).
    int FrameSpan() const { return FFrameSpan; }
    void SetFrameSpan(int Value);
    // Takes the active view's picture and draws the neighbouring frames'
    // bones over it.
    void PaintOverlay(fw::TObject* Sender, int Reserved);
    int OverlayPaints() const { return FOverlayPaints; }
    // The picture the window shows.
    const TBitmap32& Picture() const { return FPicture; }

    // The skeleton's recorded frames before now (nearest first) and after it
    // (nearest first), at most span of each.
    static void NeighbourFrames(const TSkeleton& Skeleton, float Now, int Span,
                                std::vector<float>& Earlier, std::vector<float>& Later);

private:
    void DrawGhost(const TSkeleton& Skeleton, float Frame, TColor32 Colour, std::uint32_t Alpha);
    void DrawBone(float HeadX, float HeadY, float TailX, float TailY, TColor32 Colour);
    bool FOverlayOn = false;
    int FFrameSpan = 2;
    int FOverlayPaints = 0;
    bool FPainting = false;
    TBitmap32 FPicture;
    TBitmap32 FLayer;
};

extern TOnionForm* OnionForm;

// Repaints the overlay when the onion window exists, is visible and its
// overlay is on.
void PaintOnionOverlay();

} // namespace vel
