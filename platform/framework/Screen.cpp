#include "Screen.h"

#include "Controls.h"
#include "Input.h"

#include <algorithm>
#include <memory>

namespace fw {
namespace {

// The desktop behind every window.
constexpr std::uint32_t DesktopPixel = 0xFF3A6EA5;

std::unique_ptr<TSurface>& Surface() {
    static std::unique_ptr<TSurface>* S = new std::unique_ptr<TSurface>;
    return *S;
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
}

} // namespace fw
