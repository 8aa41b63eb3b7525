#include "Screen.h"

#include "Controls.h"
#include "Input.h"
#include "NoDestroy.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace fw {
namespace {

// The desktop behind every window.
constexpr std::uint32_t DesktopPixel = 0xFF3A6EA5;

std::unique_ptr<TSurface>& Surface() {
    static TNoDestroy<std::unique_ptr<TSurface>> S;
    return *S;
}

struct TOverlay {
    int Id;
    TSurface Picture;
    TPoint At;
};

std::vector<TOverlay>& Overlays() {
    static TNoDestroy<std::vector<TOverlay>> O;
    return *O;
}

TRect OverlayRect(const TOverlay& O) {
    return Bounds(O.At.X, O.At.Y, O.Picture.Width, O.Picture.Height);
}

// Each overlay pixel over the screen's by its alpha: D + (S - D) x A / 255.
void BlendOver(TSurface& To, const TOverlay& O, const TRect& Clip) {
    const TRect R = IntersectRect(IntersectRect(OverlayRect(O), Clip),
                                  TRect{0, 0, To.Width, To.Height});
    for (int Y = R.Top; Y < R.Bottom; ++Y) {
        const std::uint32_t* Src = O.Picture.Row(Y - O.At.Y) + (R.Left - O.At.X);
        std::uint32_t* Dst = To.Row(Y) + R.Left;
        for (int X = 0; X < R.Width(); ++X) {
            const std::uint32_t A = Src[X] >> 24;
            std::uint32_t Out = 0xFF000000u;
            for (int Shift = 0; Shift < 24; Shift += 8) {
                const int S = static_cast<int>((Src[X] >> Shift) & 0xFF);
                const int D = static_cast<int>((Dst[X] >> Shift) & 0xFF);
                Out |= static_cast<std::uint32_t>(D + (S - D) * static_cast<int>(A) / 255)
                       << Shift;
            }
            Dst[X] = Out;
        }
    }
}

TRect ScreenRect() {
    return TRect{0, 0, ScreenWidth(), ScreenHeight()};
}

void Blit(TSurface& To, const TSurface& From, TPoint At, const TRect& Clip) {
    const TRect R = IntersectRect(IntersectRect(Bounds(At.X, At.Y, From.Width, From.Height), Clip),
                                  TRect{0, 0, To.Width, To.Height});
    for (int Y = R.Top; Y < R.Bottom; ++Y) {
        const std::uint32_t* Src = From.Row(Y - At.Y) + (R.Left - At.X);
        std::copy(Src, Src + R.Width(), To.Row(Y) + R.Left);
    }
}

} // namespace

bool ScreenSurfaceExists() {
    return Surface() != nullptr;
}

TSurface& ScreenSurface() {
    std::unique_ptr<TSurface>& S = Surface();
    if (!S || S->Width != ScreenWidth() || S->Height != ScreenHeight()) {
        S = std::make_unique<TSurface>();
        S->SetSize(ScreenWidth(), ScreenHeight(), DesktopPixel);
        ComposeScreen(ScreenRect());
    }
    return *S;
}

void ComposeScreen(const TRect& R) {
    TSurface& S = ScreenSurface();
    const TRect Clip = IntersectRect(R, ScreenRect());
    if (Clip.IsEmpty()) return;
    for (int Y = Clip.Top; Y < Clip.Bottom; ++Y)
        std::fill(S.Row(Y) + Clip.Left, S.Row(Y) + Clip.Right, DesktopPixel);
    for (TWinControl* W : TopLevelWindows())
        if (W->Visible() && W->WindowSurface())
            Blit(S, *W->WindowSurface(), TPoint{W->Left(), W->Top()}, Clip);
    for (const TOverlay& O : Overlays())
        BlendOver(S, O, Clip);
}

int AddScreenOverlay(const TSurface& Picture, TPoint At) {
    static int Next = 0;
    Overlays().push_back(TOverlay{++Next, Picture, At});
    ComposeScreen(OverlayRect(Overlays().back()));
    return Next;
}

void MoveScreenOverlay(int Id, TPoint At) {
    for (TOverlay& O : Overlays())
        if (O.Id == Id) {
            const TRect Old = OverlayRect(O);
            O.At = At;
            ComposeScreen(Old);
            ComposeScreen(OverlayRect(O));
        }
}

void RemoveScreenOverlay(int Id) {
    auto& All = Overlays();
    for (auto It = All.begin(); It != All.end(); ++It)
        if (It->Id == Id) {
            const TRect Old = OverlayRect(*It);
            All.erase(It);
            if (ScreenSurfaceExists()) ComposeScreen(Old);
            return;
        }
}

void CaptureScreen(const TRect& R, TSurface& Out) {
    Out.SetSize(std::max(R.Width(), 0), std::max(R.Height(), 0), 0xFF000000u);
    Blit(Out, ScreenSurface(), TPoint{-R.Left, -R.Top}, TRect{0, 0, Out.Width, Out.Height});
}

void DrawOnScreen(const TSurface& Source, TPoint At) {
    TSurface& S = ScreenSurface();
    Blit(S, Source, At, ScreenRect());
}

void ScreenAreaChanged(const TRect& R) {
    if (ScreenSurfaceExists()) ComposeScreen(R);
}

void ResetScreen() {
    Surface().reset();
    Overlays().clear();
}

} // namespace fw
