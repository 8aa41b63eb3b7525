#pragma once
// The screen as the user sees it: the visible top-level windows composed
// bottom to top, plus whatever was drawn straight onto it (a drag picture).
// A window that paints covers such drawings again, as on the platform.
// The surface is made on first use; until then painting costs nothing extra.
#include "Types.h"

namespace fw {

class TWinControl;

// The whole screen (ScreenWidth x ScreenHeight), composed when first asked.
TSurface& ScreenSurface();
bool ScreenSurfaceExists();
// Composes R (screen coordinates) from the windows again.
void ComposeScreen(const TRect& R);
// Copies the screen's pixels at R into Out (sized to R; outside the screen: black).
void CaptureScreen(const TRect& R, TSurface& Out);
// Draws Source onto the screen with its top-left at At (plain copy).
void DrawOnScreen(const TSurface& Source, TPoint At);
// A top-level window painted (or left) the screen area R: composed again.
void ScreenAreaChanged(const TRect& R);
// A picture kept above every window until removed: composing an area lays
// it over the windows there, each pixel blended by its alpha byte. Answers
// its number (never 0).
int AddScreenOverlay(const TSurface& Picture, TPoint At);
void MoveScreenOverlay(int Id, TPoint At);
void RemoveScreenOverlay(int Id);
// Drops the surface and the overlays (tests).
void ResetScreen();

} // namespace fw
