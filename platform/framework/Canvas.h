#pragma once
// A drawing surface over in-memory 32-bit pixels with the platform's
// non-antialiased pixel rules (see docs/graphics.md for each primitive).
#include "Font.h"
#include "Graphics.h"
#include "Types.h"

#include <initializer_list>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

namespace fw {

class TBitmap;

// Whether text cells and pen-style gaps are filled behind: bkAuto fills them
// exactly when the brush is solid, as the class library does.
enum class TBkMode { bkAuto, bkTransparent, bkOpaque };
using enum TBkMode;

enum class TFillMode { fmAlternate, fmWinding };
using enum TFillMode;

// DrawEdge kinds and flags at the platform's numeric values.
constexpr unsigned BDR_RAISEDOUTER = 0x1;
constexpr unsigned BDR_SUNKENOUTER = 0x2;
constexpr unsigned BDR_RAISEDINNER = 0x4;
constexpr unsigned BDR_SUNKENINNER = 0x8;
constexpr unsigned EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr unsigned EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr unsigned EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr unsigned BF_LEFT = 0x1;
constexpr unsigned BF_TOP = 0x2;
constexpr unsigned BF_RIGHT = 0x4;
constexpr unsigned BF_BOTTOM = 0x8;
constexpr unsigned BF_RECT = 0xF;
constexpr unsigned BF_MIDDLE = 0x800;
constexpr unsigned BF_SOFT = 0x1000;
constexpr unsigned BF_ADJUST = 0x2000;
constexpr unsigned BF_FLAT = 0x4000;
constexpr unsigned BF_MONO = 0x8000;

class TCanvas {
public:
    // Fired after every drawing operation that may have changed pixels.
    TNotifyEvent OnChange;

    TCanvas();
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // `origin` is where the canvas's (0, 0) lies in the surface, `clip` the
    // visible part in surface coordinates. Attaching resets the clipping,
    // the window origin, the brush origin, the pen position and the saved
    // states; pen, brush and font stay. Attach(nullptr, {}, {}) detaches.
    void Attach(TSurface* surface, TPoint origin, TRect clip);
    TSurface* Surface() const { return FSurface; }
    TPoint Origin() const { return FOrigin; }

    TPen& Pen() { return FPen; }
    const TPen& Pen() const { return FPen; }
    TBrush& Brush() { return FBrush; }
    const TBrush& Brush() const { return FBrush; }
    TFont& Font() { return FFont; }
    const TFont& Font() const { return FFont; }

    TPoint PenPos() const { return FPenPos; }
    void SetPenPos(TPoint p) { FPenPos = p; }
    TBkMode BkMode() const { return FBkMode; }
    void SetBkMode(TBkMode v) { FBkMode = v; }
    TRasterOp CopyMode() const { return FCopyMode; }
    void SetCopyMode(TRasterOp v) { FCopyMode = v; }
    TFillMode PolyFillMode() const { return FPolyFillMode; }
    void SetPolyFillMode(TFillMode v) { FPolyFillMode = v; }
    // Where pattern brushes start, in canvas pixels (not moved by the window origin).
    TPoint BrushOrigin() const { return FBrushOrigin; }
    void SetBrushOrigin(TPoint p) { FBrushOrigin = p; }
    // The logical point drawn at the canvas's (0, 0); all drawing
    // coordinates are logical.
    TPoint WindowOrg() const { return FWindowOrg; }
    void SetWindowOrg(TPoint p) { FWindowOrg = p; }

    // Clipping, in logical coordinates. ClipRect is what can be drawn on.
    TRect ClipRect() const;
    void IntersectClipRect(const TRect& r);
    // Replaces the clipping added by IntersectClipRect (the attached clip still holds).
    void SetClipRect(const TRect& r);
    void ResetClipRect();
    bool PtVisible(TPoint p) const;
    bool RectVisible(const TRect& r) const;

    // Saves pen, brush, font, clipping, origins, modes and pen position;
    // answers the new depth. RestoreState(-1) restores the latest, a
    // positive level restores that save and drops those after it.
    int SaveState();
    bool RestoreState(int level = -1);
    int SavedStates() const;

    void MoveTo(int x, int y);
    void LineTo(int x, int y); // the end point is not drawn
    void Polyline(std::span<const TPoint> points);
    void Polyline(std::initializer_list<TPoint> points) { Polyline(std::span(points)); }
    void Polygon(std::span<const TPoint> points);
    void Polygon(std::initializer_list<TPoint> points) { Polygon(std::span(points)); }
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    void RoundRect(int left, int top, int right, int bottom, int cornerW, int cornerH);
    void Ellipse(int left, int top, int right, int bottom);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRect(const TRect& r);
    void FrameRect(const TRect& r);
    void DrawFocusRect(const TRect& r);
    void PatBlt(const TRect& r, TRasterOp rop);
    void DrawEdge(TRect& r, unsigned edge, unsigned flags);

    // -1 outside the clipping or without a surface.
    TColor Pixels(int x, int y) const;
    void SetPixels(int x, int y, TColor c);

    TTextMetric TextMetrics() const;
    TSize TextExtent(std::string_view text) const;
    TSize TextExtent(std::u16string_view text) const;
    int TextWidth(std::string_view text) const { return TextExtent(text).cx; }
    int TextWidth(std::u16string_view text) const { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) const { return TextExtent(text).cy; }
    int TextHeight(std::u16string_view text) const { return TextExtent(text).cy; }
    // (x, y) is the top-left of the text; the pen moves to its right end.
    void TextOut(int x, int y, std::string_view text);
    void TextOut(int x, int y, std::u16string_view text);
    // Text at (x, y) clipped to r; r is filled first when the background is opaque.
    void TextRect(const TRect& r, int x, int y, std::string_view text);
    void TextRect(const TRect& r, int x, int y, std::u16string_view text);
    // Lays text out in r by the DT_ flags and draws it (not with
    // DT_CALCRECT, which sets r's right and bottom instead). Answers the
    // text height, or with DT_VCENTER/DT_BOTTOM the offset of its bottom from r.Top.
    int DrawText(std::string_view text, TRect& r, unsigned format);
    int DrawText(std::u16string_view text, TRect& r, unsigned format);

    // Block copies from another canvas (which may be this one).
    void BitBlt(int x, int y, int w, int h, const TCanvas& src, int srcX, int srcY, TRasterOp rop);
    // Nearest-pixel scaling; a negative width or height mirrors.
    void StretchBlt(const TRect& dest, const TCanvas& src, const TRect& srcRect, TRasterOp rop);
    void CopyRect(const TRect& dest, const TCanvas& src, const TRect& srcRect);
    // Leaves out the source pixels of colour `transparent`.
    void TransparentBlt(const TRect& dest, const TCanvas& src, const TRect& srcRect,
                        TColor transparent);
    // Honour the bitmap's Transparent setting; otherwise copy with CopyMode.
    void Draw(int x, int y, const TBitmap& bitmap);
    void StretchDraw(const TRect& dest, const TBitmap& bitmap);
    // Copies raw pixels with their top-left at (x, y), alpha bytes and all,
    // leaving out those whose `mask` byte (one per pixel) is 0.
    void DrawSurface(int x, int y, const TSurface& src, const std::uint8_t* mask = nullptr);

    void Lock() { FMutex.lock(); }
    bool TryLock() { return FMutex.try_lock(); }
    void Unlock() { FMutex.unlock(); }

private:
    struct TSaved;
    class TMask;
    friend class TMask;

    TRect SurfaceClip() const;
    TPoint ToSurface(int x, int y) const;
    TRect ToSurface(const TRect& r) const;
    bool OpaqueBackground() const;
    void Changed();
    void ApplyMask(const TMask& mask);
    void PenPath(TMask& mask, std::span<const TPoint> surfacePts, bool closed);
    template <class TInside> void DrawShape(TRect box, TInside inside);
    void FillBrushRect(const TRect& surfaceRect);
    void FillSolid(const TRect& surfaceRect, std::uint32_t pixel);
    void RenderText(std::u32string_view text, int x, int y, const TRect& clipSurface,
                    const std::vector<int>* underlined);
    int DrawText32(std::u32string_view text, TRect& r, unsigned format);
    void TextOut32(int x, int y, std::u32string_view text);
    void TextRect32(const TRect& r, int x, int y, std::u32string_view text);
    void Blit(const TRect& dest, const TSurface* src, const TRect& srcRect, TRasterOp rop,
              bool transparent, std::uint32_t transparentRgb);
    void CopyRows(const TRect& clip, const TRect& reach, const TSurface* src, int dx, int dy,
                  TRasterOp rop);

    TSurface* FSurface = nullptr;
    TPoint FOrigin;
    TRect FAttachClip;
    bool FHasUserClip = false;
    TRect FUserClip; // surface coordinates
    TPen FPen;
    TBrush FBrush;
    TFont FFont;
    TPoint FPenPos;
    TBkMode FBkMode = bkAuto;
    TRasterOp FCopyMode = SRCCOPY;
    TFillMode FPolyFillMode = fmAlternate;
    TPoint FBrushOrigin;
    TPoint FWindowOrg;
    std::vector<TSaved> FSaved;
    std::recursive_mutex FMutex;
};

namespace detail {
// Whether unstretched block copies, pattern blits and solid fills work row by
// row (the default) or pixel by pixel, the reference the tests compare with.
void SetRowBlits(bool On);
} // namespace detail

// Restores a canvas's drawing state on every way out of a scope.
class TCanvasStateSaver {
public:
    explicit TCanvasStateSaver(TCanvas& canvas) : FCanvas(canvas), FLevel(canvas.SaveState()) {}
    ~TCanvasStateSaver() { FCanvas.RestoreState(FLevel); }
    TCanvasStateSaver(const TCanvasStateSaver&) = delete;
    TCanvasStateSaver& operator=(const TCanvasStateSaver&) = delete;

private:
    TCanvas& FCanvas;
    int FLevel;
};

} // namespace fw
