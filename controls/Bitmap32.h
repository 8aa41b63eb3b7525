#pragma once
// TBitmap32: an off-screen picture of 32-bit pixels (TColor32) that code
// writes directly, with its own canvas for copies to and from windows,
// clipped lines, fills, blending block transfers and the stored "Data" form.
#include "Blend32.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "ExtCtrls.h"
#include "Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace vel {

// A persistent object that threads may lock; BeginUpdate/EndUpdate hold
// back OnChange.
class TThreadPersistent : public fw::TObject {
public:
    fw::TNotifyEvent OnChange;

    TThreadPersistent();
    ~TThreadPersistent() override;
    TThreadPersistent(const TThreadPersistent&) = delete;
    TThreadPersistent& operator=(const TThreadPersistent&) = delete;

    void BeginUpdate();
    // Throws std::logic_error "Unpaired TThreadPersistent.EndUpdate" without a BeginUpdate.
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    virtual void Changed();

    void Lock();
    void Unlock();
    int LockCount() const;

private:
    std::recursive_mutex FLock;
    int FLockCount = 0;
    int FUpdateCount = 0;
};

class TCustomMap : public TThreadPersistent {
public:
    fw::TNotifyEvent OnResize;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetWidth(int Value) { SetSize(Value, FHeight); }
    void SetHeight(int Value) { SetSize(FWidth, Value); }

    virtual void Delete() { SetSize(0, 0); }
    virtual bool Empty() const { return FWidth == 0 || FHeight == 0; }
    virtual void Resized();
    // Stores both; true when either changed.
    virtual bool SetSize(int NewWidth, int NewHeight);

protected:
    int FWidth = 0;
    int FHeight = 0;
};

enum class TDrawMode { dmOpaque, dmBlend, dmCustom };
using enum TDrawMode;
enum class TStretchFilter { sfNearest, sfLinear, sfLinear2, sfSpline };
using enum TStretchFilter;

using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

// The section header kept for the pixels: a top-down picture stores its
// height negative.
struct TBitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 32;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(TBitmapInfoHeader) == 40);

// The head of the stored "Data": width and height, little-endian, then
// width x height pixels of four bytes (blue, green, red, alpha) row by row.
struct TBitmap32DataHeader {
    std::int32_t Width;
    std::int32_t Height;
};
static_assert(sizeof(TBitmap32DataHeader) == 8);

// Bad stored "Data".
class EBitmap32DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A block transfer without a destination or source to work on.
class ETransformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TBitmap32 : public TCustomMap {
public:
    fw::TNotifyEvent OnHandleChanged;
    TPixelCombineEvent OnPixelCombine;

    TBitmap32();
    ~TBitmap32() override;

    // No section, or a side of 0.
    bool Empty() const override;
    // Sizes below 1 count as 0; false when the size is unchanged. All
    // pixels of the new size are 0. Throws std::runtime_error "Can't
    // allocate the DIB handle" when the pixels cannot be had; the bitmap is
    // then empty.
    bool SetSize(int NewWidth, int NewHeight) override;

    const TBitmapInfoHeader& BitmapInfo() const { return FBitmapInfo; }
    TColor32* Bits() { return FBits; }
    const TColor32* Bits() const { return FBits; }
    // The section and its canvas ("device context"); null when empty.
    fw::TSurface* Handle() const { return FHandle.get(); }
    fw::TCanvas* DC() const { return FDC.get(); }
    TColor32* ScanLine(int Y) { return FBits + static_cast<std::ptrdiff_t>(Y) * FWidth; }
    TColor32* PixelPtr(int X, int Y) { return ScanLine(Y) + X; }

    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value);
    std::uint32_t MasterAlpha() const { return FMasterAlpha; }
    // Clamped to 0..255.
    void SetMasterAlpha(std::uint32_t Value);
    TColor32 OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor32 Value) { FOuterColor = Value; }
    TStretchFilter StretchFilter() const { return FStretchFilter; }
    void SetStretchFilter(TStretchFilter Value);
    fw::TFont& Font() { return *FFont; }
    bool FontSelected() const { return FFontSelected; }

    void Clear(TColor32 FillColor);
    void SetPixel(int X, int Y, TColor32 Value) { *PixelPtr(X, Y) = Value; }
    void SetPixelS(int X, int Y, TColor32 Value);
    TColor32 Pixel(int X, int Y) const {
        return FBits[static_cast<std::ptrdiff_t>(Y) * FWidth + X];
    }
    // Both ends included; no checks.
    void HorzLine(int X1, int Y, int X2, TColor32 Value);
    void VertLine(int X, int Y1, int Y2, TColor32 Value);
    // Unclipped; the end point only when L.
    void Line(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L = false);
    // Clipped to the bitmap.
    void LineS(int X1, int Y1, int X2, int Y2, TColor32 Value, bool L = false);
    // Right and bottom edges excluded; FillRect has no checks, FillRectS clips.
    void FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void FillRectS(int X1, int Y1, int X2, int Y2, TColor32 Value);
    void ResetAlpha();
    // Text in Font through the bitmap's canvas.
    void Textout(int X, int Y, std::string_view Text);

    // The whole bitmap onto Dst at (DstX, DstY) with this bitmap's
    // DrawMode, MasterAlpha and OnPixelCombine.
    void DrawTo(TBitmap32& Dst, int DstX, int DstY);
    // A plain copy onto a canvas.
    void DrawTo(fw::TCanvas& Canvas, int DstX, int DstY);

    // Null empties the bitmap.
    void Assign(const TBitmap32* Source);
    // A 32-bit picture keeps its alpha bytes, any other becomes opaque.
    void Assign(const fw::TBitmap& Source);
    void Assign(const fw::TPicture& Source);
    // The destination becomes a 32-bit picture of this size and these pixels.
    void AssignTo(fw::TBitmap& Dest) const;
    void AssignTo(fw::TPicture& Dest) const;

    // The stored "Data" property.
    std::vector<std::uint8_t> WriteData() const;
    // Throws EBitmap32DataError when the data does not hold what it says;
    // the bitmap is unchanged then.
    void ReadData(std::span<const std::uint8_t> Data);
    // Whether "Data" is written: when it differs from the ancestor's, or
    // without an ancestor when the bitmap is not empty.
    bool WantsData(const TBitmap32* Ancestor) const;

protected:
    virtual void HandleChanged();
    void FontChanged();

private:
    void UpdateFont();

    TBitmapInfoHeader FBitmapInfo;
    TColor32* FBits = nullptr;
    TDrawMode FDrawMode = dmOpaque;
    std::unique_ptr<fw::TFont> FFont;
    std::unique_ptr<fw::TSurface> FHandle;
    std::unique_ptr<fw::TCanvas> FDC;
    std::uint32_t FMasterAlpha = 255;
    TColor32 FOuterColor = 0;
    TStretchFilter FStretchFilter = sfNearest;
    bool FFontSelected = false;
};

// Copies SrcRect of Src to (DstX, DstY) of Dst by CombineOp. Throws
// ETransformError when either bitmap is missing or empty.
void BlockTransfer(TBitmap32* Dst, int DstX, int DstY, TBitmap32* Src, fw::TRect SrcRect,
                   TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack = nullptr);

// |A·B / C| rounded half up, with the sign of A xor B xor C; -1 when the
// quotient would not fit in 31 bits or C is 0.
int MulDiv(int A, int B, int C);
// Clips the segment to the rectangle (both corners included); true when
// something of it is inside (never for an empty rectangle). Computes in 64
// bits and never answers end points outside the rectangle.
bool ClipLine(int& X1, int& Y1, int& X2, int& Y2, int MinX, int MinY, int MaxX, int MaxY);
void FillLongword(TColor32* Dest, int Count, TColor32 Value);

fw::TPoint MakePoint(int X, int Y);
fw::TRect MakeRect(int Left, int Top, int Right, int Bottom);
// The common part; false, with Dst (0,0,0,0), when right < left or bottom < top.
bool IntersectRect(fw::TRect& Dst, const fw::TRect& R1, const fw::TRect& R2);
void OffsetRect(fw::TRect& R, int Dx, int Dy);
bool IsRectEmpty(const fw::TRect& R);

} // namespace vel
