#pragma once
// A picture with its own pixels and canvas, readable from and writable to
// BMP, PNG and the framework's own VBM files.
#include "Canvas.h"
#include "Graphics.h"
#include "Types.h"

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace fw {

// Bad or unsupported picture data.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// pf1bit keeps only black and white pixels (a monochrome picture); pf24bit
// keeps every pixel opaque; pf32bit and pfDevice keep the alpha bytes.
enum class TPixelFormat { pfDevice, pf1bit, pf24bit, pf32bit };
using enum TPixelFormat;

enum class TTransparentMode { tmAuto, tmFixed };
using enum TTransparentMode;

// Pictures larger than this on either side are refused.
constexpr int MaxBitmapSide = 32768;
constexpr std::int64_t MaxBitmapPixels = std::int64_t{1} << 26;
constexpr bool BitmapSizeInRange(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && width <= MaxBitmapSide && height <= MaxBitmapSide &&
           width * height <= MaxBitmapPixels;
}

class TBitmap : public TObject {
public:
    // Fired after the size, the pixels (through Canvas) or the settings change.
    TNotifyEvent OnChange;

    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const { return FSurface.Width; }
    int Height() const { return FSurface.Height; }
    // New pixels are opaque white; a size change keeps no old pixels.
    void SetSize(int width, int height);
    void SetWidth(int v) { SetSize(v, Height()); }
    void SetHeight(int v) { SetSize(Width(), v); }
    bool Empty() const { return Width() == 0 || Height() == 0; }

    TCanvas& Canvas() { return FCanvas; }
    const TCanvas& Canvas() const { return FCanvas; }
    TSurface& Surface() { return FSurface; }
    const TSurface& Surface() const { return FSurface; }
    std::uint32_t* ScanLine(int y) { return FSurface.Row(y); }

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat v);
    bool Monochrome() const { return FPixelFormat == pf1bit; }
    void SetMonochrome(bool v) { SetPixelFormat(v ? pf1bit : pfDevice); }

    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode v);
    // tmFixed: the stored colour; tmAuto: the bottom-left pixel (clNone when empty).
    TColor TransparentColor() const;
    // Stores the colour and switches to tmFixed.
    void SetTransparentColor(TColor v);

    // Size, pixels, format and transparency of `source`.
    void Assign(const TBitmap& source);
    void Clear(TColor color);

    // Reads BMP (24/32-bit uncompressed), PNG or VBM, told apart by content.
    // Throws EInvalidGraphic; the bitmap is unchanged then.
    void LoadFromBytes(std::span<const std::uint8_t> data);
    void LoadFromFile(const std::string& path);
    // Writes by extension: ".bmp", ".png", anything else VBM. Throws EInvalidGraphic.
    void SaveToFile(const std::string& path) const;
    std::vector<std::uint8_t> SaveToBmp() const;
    std::vector<std::uint8_t> SaveToVbm() const;

private:
    void Changed();
    void Reattach();
    void ApplyFormat();

    TSurface FSurface;
    TCanvas FCanvas;
    TPixelFormat FPixelFormat = pfDevice;
    bool FTransparent = false;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clNone;
};

// The framework's own picture file: this header, then Width x Height pixels
// of four bytes (blue, green, red, alpha), top row first.
struct TVbmHeader {
    std::uint8_t Magic[4]; // "VBM1"
    std::uint32_t Width;
    std::uint32_t Height;
    std::uint32_t Flags; // VbmTransparent | VbmFixedColor | VbmMonochrome
    std::int32_t TransparentColor;
};
static_assert(sizeof(TVbmHeader) == 20);
constexpr std::uint32_t VbmTransparent = 1;
constexpr std::uint32_t VbmFixedColor = 2;
constexpr std::uint32_t VbmMonochrome = 4;

// Pixels of a picture file, 0xAARRGGBB, top row first. Throws EInvalidGraphic.
struct TDecodedPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
    std::uint32_t VbmFlags = 0;
    TColor TransparentColor = clNone;
};
TDecodedPicture DecodeBmp(std::span<const std::uint8_t> data);
TDecodedPicture DecodeVbm(std::span<const std::uint8_t> data);
TDecodedPicture DecodePng(std::span<const std::uint8_t> data);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t maxBytes);

// An 8x8 monochrome picture of a pattern (set bits white), for pattern brushes.
std::unique_ptr<TBitmap> MakePatternBitmap(const TPattern8& rows);

} // namespace fw
