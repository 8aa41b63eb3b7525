#include "OnionForm.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "Bone.h"
#include "Joint.h"
#include "KeyTimes.h"
#include "PaintBox32.h"
#include "PictureClip.h"
#include "ScopeExit.h"
#include "Skeleton.h"
#include "Switchboard.h"
#include "ValueTrack.h"
#include "tsxapi.h"

namespace vel {

TOnionForm* OnionForm = nullptr;

namespace {

constexpr int kBarHeight = 28;
// Frames within this of the current time are the current frame.
constexpr float kSameFrame = 1e-3f;

// Where a joint stood at a recorded frame, from its location key (kept in
// its parent's space); false without a key there.
bool KeyedPosition(CtsxSobj node, float frame, CtsxVec3f& world) {
    CtsxFrame key = tsxSobjGetFrame(node, TSX_KIND_LOCATION, 0, frame);
    if (!key) return false;
    alignas(CtsxVec3f) unsigned char data[64] = {};
    if (tsxFrameGetData(key, data) != static_cast<int>(sizeof(CtsxVec3f))) return false;
    CtsxVec3f local;
    std::memcpy(&local, data, sizeof local);
    CtsxTxmx3f parent;
    tsxGNodeGetTransform(tsxGNodeGetParent(node), &parent);
    tsxTransformVect3f(&local, &world, &parent);
    return true;
}

} // namespace

TOnionForm::TOnionForm(fw::TComponent* AOwner) : fw::TForm(AOwner) {
    SetName("OnionForm");
    SetCaption("Onion Skin");
    SetBounds(0, 0, 320, 240 + kBarHeight);
    LoadComponents([this] {
        OverlayButton = fw::Create<fw::TToolButton>(this);
        OverlayButton->SetName("OverlayButton");
        OverlayButton->SetParent(this);
        OverlayButton->SetCaption("Onion");
        OverlayButton->SetBounds(4, 3, 60, 22);
        OverlayButton->SetAllowAllUp(true);
        SpanTrack = MakeValueTrack(this, "SpanTrack", 72, 4, 110);
        SpanTrack->Setup("Frames", 1, 5, 1, 0);
        SpanTrack->SetValue(FFrameSpan);
        PaintBox = fw::Create<TPaintBox32>(this);
        PaintBox->SetName("PaintBox");
        PaintBox->SetParent(this);
        PaintBox->SetBounds(0, kBarHeight, 320, 240);
    });
    OverlayButton->OnClick = [this](fw::TObject*) { SetOverlayOn(OverlayButton->Down()); };
    SpanTrack->OnChange = [this](TValueTrack* t) { SetFrameSpan(static_cast<int>(t->Value())); };
    PaintBox->OnPaintBuffer = [this](fw::TObject*) {
        PaintBox->Buffer().Clear(0xFF303030);
        if (!FPicture.Empty()) FPicture.DrawTo(PaintBox->Buffer(), 0, 0);
    };
}

TOnionForm::~TOnionForm() {
    if (OnionForm == this) OnionForm = nullptr;
}

std::uint32_t TOnionForm::GhostAlpha(int k, int span) {
    span = std::max(span, 1);
    k = std::clamp(k, 1, span);
    return static_cast<std::uint32_t>(230 * (span + 1 - k) / span);
}

void TOnionForm::SetOverlayOn(bool Value) {
    FOverlayOn = Value;
    if (OverlayButton->Down() != Value) OverlayButton->SetDown(Value);
    PaintOnionOverlay();
}

void TOnionForm::SetFrameSpan(int Value) {
    FFrameSpan = std::clamp(Value, 1, 5);
    if (static_cast<int>(SpanTrack->Value()) != FFrameSpan) SpanTrack->SetValue(FFrameSpan);
    PaintOnionOverlay();
}

void TOnionForm::NeighbourFrames(const TSkeleton& Skeleton, float Now, int Span,
                                 std::vector<float>& Earlier, std::vector<float>& Later) {
    std::set<float> times;
    for (const auto& joint : Skeleton.Joints.List) {
        if (!joint || !joint->Node) continue;
        // Keys before frame 0 count too; the host's -1 for none does not.
        WalkKeys(THostKeys{joint->Node, TSX_KIND_LOCATION}, [&times](float t) {
            times.insert(t);
            return true;
        });
    }
    Earlier.clear();
    Later.clear();
    for (auto it = times.lower_bound(Now - kSameFrame);
         it != times.begin() && static_cast<int>(Earlier.size()) < Span;)
        Earlier.push_back(*--it);
    for (auto it = times.upper_bound(Now + kSameFrame);
         it != times.end() && static_cast<int>(Later.size()) < Span; ++it)
        Later.push_back(*it);
}

void TOnionForm::PaintOverlay(fw::TObject* /*Sender*/, int /*Reserved*/) {
    // The host draws its view for the picture, and the rig may refresh the
    // views from inside that drawing: that refresh is this one.
    if (FPainting) return;
    FPainting = true;
    fw::TScopeExit done{[this] { FPainting = false; }};
    ++FOverlayPaints;
    int width = 0, height = 0;
    if (!tsxAViewGetPicture(&width, &height, nullptr) || width <= 0 || height <= 0) return;
    FPicture.SetSize(width, height);
    tsxAViewGetPicture(&width, &height, FPicture.Bits());
    if (const TSkeleton* skeleton = CurrentSkeleton) {
        std::vector<float> earlier, later;
        NeighbourFrames(*skeleton, tsxAnimGetActiveTime(), FFrameSpan, earlier, later);
        // The farthest first, so that the nearest frames show on top.
        for (int k = FFrameSpan; k >= 1; --k) {
            const auto i = static_cast<std::size_t>(k - 1);
            if (i < earlier.size())
                DrawGhost(*skeleton, earlier[i], kEarlier, GhostAlpha(k, FFrameSpan));
            if (i < later.size()) DrawGhost(*skeleton, later[i], kLater, GhostAlpha(k, FFrameSpan));
        }
    }
    if (PaintBox->Width() != width || PaintBox->Height() != height) {
        SetBounds(Left(), Top(), Width() - ClientWidth() + width,
                  Height() - ClientHeight() + kBarHeight + height);
        PaintBox->SetBounds(0, kBarHeight, width, height);
    }
    PaintBox->Invalidate();
}

// One bone from its head's projection to its tail's, three pixels wide, with
// a square at the head. Cut to the picture (and a little beyond, for the
// width) before anything becomes a pixel: a joint keyed far away, or one
// the view puts at infinity, draws what of it crosses the picture.
void TOnionForm::DrawBone(float HeadX, float HeadY, float TailX, float TailY, TColor32 Colour) {
    constexpr double kReach = 3;
    const TPictureArea area{-kReach, -kReach, FLayer.Width() - 1 + kReach,
                            FLayer.Height() - 1 + kReach};
    double x1 = HeadX, y1 = HeadY, x2 = TailX, y2 = TailY;
    if (ClipToPicture(x1, y1, x2, y2, area)) {
        const int px1 = PixelOf(x1, area.MinX, area.MaxX), py1 = PixelOf(y1, area.MinY, area.MaxY);
        const int px2 = PixelOf(x2, area.MinX, area.MaxX), py2 = PixelOf(y2, area.MinY, area.MaxY);
        for (int d = -1; d <= 1; ++d) {
            FLayer.LineS(px1 + d, py1, px2 + d, py2, Colour);
            FLayer.LineS(px1, py1 + d, px2, py2 + d, Colour);
        }
    }
    if (area.Holds(HeadX, HeadY)) {
        const int x = PixelOf(HeadX, area.MinX, area.MaxX), y = PixelOf(HeadY, area.MinY, area.MaxY);
        FLayer.FillRectS(x - 2, y - 2, x + 3, y + 3, Colour);
    }
}

// The skeleton's bones at one frame, three pixels wide, blended onto the
// picture with the frame's alpha.
void TOnionForm::DrawGhost(const TSkeleton& Skeleton, float Frame, TColor32 Colour,
                           std::uint32_t Alpha) {
    FLayer.SetSize(FPicture.Width(), FPicture.Height());
    FLayer.Clear(0);
    for (const auto& bone : Skeleton.Bones.List) {
        CtsxVec3f head, tail;
        if (!bone || !bone->Head || !bone->Tail || !KeyedPosition(bone->Head->Node, Frame, head) ||
            !KeyedPosition(bone->Tail->Node, Frame, tail))
            continue;
        float hx, hy, tx, ty;
        if (!tsxAViewProject(&head, &hx, &hy) || !tsxAViewProject(&tail, &tx, &ty)) continue;
        DrawBone(hx, hy, tx, ty, Colour);
    }
    FLayer.SetDrawMode(TDrawMode::dmBlend);
    FLayer.SetMasterAlpha(Alpha);
    FLayer.DrawTo(FPicture, 0, 0);
}

void PaintOnionOverlay() {
    if (OnionForm && OnionForm->Visible() && OnionForm->OverlayOn())
        OnionForm->PaintOverlay(OnionForm, 0);
}

} // namespace vel
