#include "Bitmap.h"

#include "Png.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <png.h>

namespace fw {

namespace {

std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint32_t>(d[at]) | (static_cast<std::uint32_t>(d[at + 1]) << 8) |
           (static_cast<std::uint32_t>(d[at + 2]) << 16) |
           (static_cast<std::uint32_t>(d[at + 3]) << 24);
}
std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(d[at] | (d[at + 1] << 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void CheckSize(long long w, long long h, const char* what) {
    if (!BitmapSizeInRange(w, h))
        throw EInvalidGraphic(std::string(what) + ": picture size " + std::to_string(w) + " x " +
                              std::to_string(h) + " is out of range");
}

bool StartsWith(std::span<const std::uint8_t> d, std::string_view magic) {
    return d.size() >= magic.size() && std::memcmp(d.data(), magic.data(), magic.size()) == 0;
}

std::uint32_t Luma(std::uint32_t p) {
    const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return (r * 30 + g * 59 + b * 11) / 100;
}

// Deflate makes at most this many bytes of one (runs of 258 in two bits).
constexpr std::uint64_t MaxDeflateRatio = 1032;

std::uint32_t Be32(std::span<const std::uint8_t> d, std::size_t at) {
    return (static_cast<std::uint32_t>(d[at]) << 24) |
           (static_cast<std::uint32_t>(d[at + 1]) << 16) |
           (static_cast<std::uint32_t>(d[at + 2]) << 8) | d[at + 3];
}

// The compressed pixel bytes of a PNG file (its IDAT chunks), as far as the
// file holds them.
std::uint64_t PngPixelDataBytes(std::span<const std::uint8_t> d) {
    std::uint64_t total = 0;
    for (std::size_t at = 8; at <= d.size() && d.size() - at >= 12;) {
        const std::uint64_t length = Be32(d, at), left = d.size() - at - 8;
        if (std::memcmp(d.data() + at + 4, "IDAT", 4) == 0) total += std::min(length, left);
        if (length + 4 > left) break;
        at += static_cast<std::size_t>(8 + length + 4);
    }
    return total;
}

// The fewest bytes the filtered rows of the picture take before compression,
// from the bit depth and colour type of the header libpng has checked.
std::uint64_t PngLeastRawBytes(std::span<const std::uint8_t> d, std::uint64_t w, std::uint64_t h) {
    if (d.size() < 26) return 0;
    const std::uint64_t depth = d[24];
    // By colour type: grey, -, RGB, palette, grey and alpha, -, RGBA.
    constexpr std::uint8_t Channels[7] = {1, 1, 3, 1, 2, 1, 4};
    const std::uint64_t channels = d[25] < 7 ? Channels[d[25]] : 1;
    return h * ((w * channels * depth + 7) / 8 + 1);
}

} // namespace

// --- decoding -------------------------------------------------------------------------

TDecodedPicture DecodeBmp(std::span<const std::uint8_t> d) {
    constexpr std::size_t FileHeader = 14;
    if (d.size() < FileHeader + 40 || !StartsWith(d, "BM"))
        throw EInvalidGraphic("BMP: not a BMP file or header truncated");
    const std::uint32_t offBits = U32(d, 10);
    const std::uint32_t infoSize = U32(d, 14);
    if (infoSize < 40 || infoSize > d.size() - FileHeader)
        throw EInvalidGraphic("BMP: unsupported info header size " + std::to_string(infoSize));
    const auto width = static_cast<std::int32_t>(U32(d, 18));
    const auto height = static_cast<std::int32_t>(U32(d, 22));
    const std::uint16_t planes = U16(d, 26), bits = U16(d, 28);
    const std::uint32_t compression = U32(d, 30);
    if (planes != 1) throw EInvalidGraphic("BMP: plane count must be 1");
    if (bits != 24 && bits != 32)
        throw EInvalidGraphic("BMP: " + std::to_string(bits) +
                              "-bit pictures are not supported (24 and 32 are)");
    if (compression == 3 && bits == 32) {
        // Bit fields are accepted only in the plain layout.
        const std::size_t at = FileHeader + 40;
        if (d.size() < at + 12 || U32(d, at) != 0x00FF0000u || U32(d, at + 4) != 0x0000FF00u ||
            U32(d, at + 8) != 0x000000FFu)
            throw EInvalidGraphic("BMP: unsupported colour masks");
    } else if (compression != 0) {
        throw EInvalidGraphic("BMP: compressed pictures are not supported");
    }
    if (width <= 0 || height == 0 || height == INT32_MIN)
        throw EInvalidGraphic("BMP: bad picture size");
    const long long w = width, h = height < 0 ? -static_cast<long long>(height) : height;
    CheckSize(w, h, "BMP");
    const long long stride = ((w * bits + 31) / 32) * 4;
    if (offBits > d.size() || static_cast<long long>(d.size() - offBits) / stride < h)
        throw EInvalidGraphic("BMP: pixel data is truncated");

    TDecodedPicture pic;
    pic.Width = static_cast<int>(w);
    pic.Height = static_cast<int>(h);
    pic.Pixels.resize(static_cast<std::size_t>(w * h));
    bool anyAlpha = false;
    for (long long row = 0; row < h; ++row) {
        const long long y = height < 0 ? row : h - 1 - row;
        const std::uint8_t* src = d.data() + offBits + row * stride;
        std::uint32_t* dst = pic.Pixels.data() + y * w;
        for (long long x = 0; x < w; ++x) {
            const std::uint8_t* p = src + x * (bits / 8);
            const std::uint32_t a = bits == 32 ? p[3] : 0xFF;
            anyAlpha = anyAlpha || a != 0;
            dst[x] = (a << 24) | (static_cast<std::uint32_t>(p[2]) << 16) |
                     (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
        }
    }
    // A 32-bit file whose fourth bytes are all zero does not use them.
    if (!anyAlpha)
        for (std::uint32_t& p : pic.Pixels)
            p |= 0xFF000000u;
    return pic;
}

TDecodedPicture DecodeVbm(std::span<const std::uint8_t> d) {
    if (d.size() < sizeof(TVbmHeader) || !StartsWith(d, "VBM1"))
        throw EInvalidGraphic("VBM: not a VBM file or header truncated");
    const std::uint32_t w = U32(d, 4), h = U32(d, 8);
    CheckSize(w, h, "VBM");
    const std::uint64_t bytes = static_cast<std::uint64_t>(w) * h * 4;
    if (d.size() - sizeof(TVbmHeader) != bytes)
        throw EInvalidGraphic("VBM: pixel data length does not match the picture size");
    TDecodedPicture pic;
    pic.Width = static_cast<int>(w);
    pic.Height = static_cast<int>(h);
    pic.VbmFlags = U32(d, 12);
    pic.TransparentColor = static_cast<TColor>(U32(d, 16));
    pic.Pixels.resize(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < pic.Pixels.size(); ++i)
        pic.Pixels[i] = U32(d, sizeof(TVbmHeader) + i * 4);
    return pic;
}

TDecodedPicture DecodePng(std::span<const std::uint8_t> d) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, d.data(), d.size()))
        throw EInvalidGraphic(std::string("PNG: ") + image.message);
    TScopeExit guard([&image] { png_image_free(&image); });
    CheckSize(image.width, image.height, "PNG");
    if (PngPixelDataBytes(d) * MaxDeflateRatio < PngLeastRawBytes(d, image.width, image.height))
        throw EInvalidGraphic("PNG: pixel data is truncated");
    TDecodedPicture pic;
    pic.Width = static_cast<int>(image.width);
    pic.Height = static_cast<int>(image.height);
    pic.Pixels.resize(static_cast<std::size_t>(pic.Width) * static_cast<std::size_t>(pic.Height));
    // Blue, green, red, alpha bytes straight into the pixels, then read as
    // little-endian words in place.
    image.format = PNG_FORMAT_BGRA;
    auto* bytes = reinterpret_cast<std::uint8_t*>(pic.Pixels.data());
    if (!png_image_finish_read(&image, nullptr, bytes, 0, nullptr))
        throw EInvalidGraphic(std::string("PNG: ") + image.message);
    for (std::size_t i = 0; i < pic.Pixels.size(); ++i)
        pic.Pixels[i] = U32(std::span<const std::uint8_t>(bytes + i * 4, 4), 0);
    return pic;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path, std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw EInvalidGraphic("Cannot open " + path);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > maxBytes)
        throw EInvalidGraphic("File is too large: " + path);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), size))
        throw EInvalidGraphic("Cannot read " + path);
    return data;
}

// --- TBitmap ------------------------------------------------------------------------

TBitmap::TBitmap() {
    FCanvas.OnChange = [this](TObject*) { Changed(); };
    Reattach();
}

TBitmap::TBitmap(int width, int height) : TBitmap() {
    SetSize(width, height);
}

TBitmap::~TBitmap() = default;

void TBitmap::Changed() {
    CallHandler(OnChange, this);
}

void TBitmap::Reattach() {
    FCanvas.Attach(&FSurface, {0, 0}, TRect{0, 0, FSurface.Width, FSurface.Height});
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height()) return;
    CheckSize(width, height, "Bitmap");
    FSurface.SetSize(width, height, 0xFFFFFFFFu);
    Reattach();
    Changed();
}

void TBitmap::ApplyFormat() {
    if (FPixelFormat == pf1bit)
        for (std::uint32_t& p : FSurface.Pixels)
            p = Luma(p) >= 128 ? 0xFFFFFFFFu : 0xFF000000u;
    else if (FPixelFormat == pf24bit)
        for (std::uint32_t& p : FSurface.Pixels)
            p |= 0xFF000000u;
}

void TBitmap::SetPixelFormat(TPixelFormat v) {
    if (FPixelFormat == v) return;
    FPixelFormat = v;
    ApplyFormat();
    Changed();
}

void TBitmap::SetTransparent(bool v) {
    if (FTransparent == v) return;
    FTransparent = v;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode v) {
    if (FTransparentMode == v) return;
    FTransparentMode = v;
    Changed();
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (Empty()) return clNone;
    return PixelToColor(FSurface.Pixel(0, Height() - 1));
}

void TBitmap::SetTransparentColor(TColor v) {
    FTransparentColor = v;
    FTransparentMode = tmFixed;
    Changed();
}

void TBitmap::Assign(const TBitmap& source) {
    if (this == &source) return;
    FSurface = source.FSurface;
    FPixelFormat = source.FPixelFormat;
    FTransparent = source.FTransparent;
    FTransparentMode = source.FTransparentMode;
    FTransparentColor = source.FTransparentColor;
    Reattach();
    Changed();
}

void TBitmap::Clear(TColor color) {
    std::fill(FSurface.Pixels.begin(), FSurface.Pixels.end(), ColorToPixel32(color));
    ApplyFormat();
    Changed();
}

void TBitmap::LoadFromBytes(std::span<const std::uint8_t> data) {
    TDecodedPicture pic;
    if (StartsWith(data, "BM"))
        pic = DecodeBmp(data);
    else if (StartsWith(data, "\x89PNG"))
        pic = DecodePng(data);
    else if (StartsWith(data, "VBM1"))
        pic = DecodeVbm(data);
    else
        throw EInvalidGraphic("Unknown picture format");
    FSurface.Width = pic.Width;
    FSurface.Height = pic.Height;
    FSurface.Pixels = std::move(pic.Pixels);
    FPixelFormat = (pic.VbmFlags & VbmMonochrome) ? pf1bit : pfDevice;
    FTransparent = (pic.VbmFlags & VbmTransparent) != 0;
    FTransparentMode = (pic.VbmFlags & VbmFixedColor) ? tmFixed : tmAuto;
    FTransparentColor = (pic.VbmFlags & VbmFixedColor) ? pic.TransparentColor : clNone;
    ApplyFormat();
    Reattach();
    Changed();
}

void TBitmap::LoadFromFile(const std::string& path) {
    const std::vector<std::uint8_t> data = ReadFileBytes(path, std::size_t{1} << 30);
    LoadFromBytes(data);
}

std::vector<std::uint8_t> TBitmap::SaveToBmp() const {
    if (Empty()) throw EInvalidGraphic("BMP: cannot save an empty picture");
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(Width()) * Height() * 4;
    std::vector<std::uint8_t> out;
    out.reserve(54 + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + pixelBytes);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(Width()));
    Put32(out, static_cast<std::uint32_t>(Height())); // bottom-up
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, pixelBytes);
    Put32(out, 3780); // 96 dots per inch
    Put32(out, 3780);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = Height() - 1; y >= 0; --y)
        for (int x = 0; x < Width(); ++x)
            Put32(out, FSurface.Pixel(x, y));
    return out;
}

std::vector<std::uint8_t> TBitmap::SaveToVbm() const {
    std::vector<std::uint8_t> out;
    out.reserve(sizeof(TVbmHeader) + FSurface.Pixels.size() * 4);
    for (char c : {'V', 'B', 'M', '1'})
        out.push_back(static_cast<std::uint8_t>(c));
    Put32(out, static_cast<std::uint32_t>(Width()));
    Put32(out, static_cast<std::uint32_t>(Height()));
    std::uint32_t flags = 0;
    if (FTransparent) flags |= VbmTransparent;
    if (FTransparentMode == tmFixed) flags |= VbmFixedColor;
    if (FPixelFormat == pf1bit) flags |= VbmMonochrome;
    Put32(out, flags);
    Put32(out,
          static_cast<std::uint32_t>(FTransparentMode == tmFixed ? FTransparentColor : clNone));
    for (std::uint32_t p : FSurface.Pixels)
        Put32(out, p);
    return out;
}

void TBitmap::SaveToFile(const std::string& path) const {
    auto endsWith = [&path](std::string_view ext) {
        if (path.size() < ext.size()) return false;
        for (std::size_t i = 0; i < ext.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(path[path.size() - ext.size() + i])) !=
                ext[i])
                return false;
        return true;
    };
    if (endsWith(".png")) {
        if (Empty() || !WritePng(path, Width(), Height(), FSurface.Pixels.data()))
            throw EInvalidGraphic("Cannot write " + path);
        return;
    }
    const std::vector<std::uint8_t> data = endsWith(".bmp") ? SaveToBmp() : SaveToVbm();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(reinterpret_cast<const char*>(data.data()),
                           static_cast<std::streamsize>(data.size())))
        throw EInvalidGraphic("Cannot write " + path);
}

std::unique_ptr<TBitmap> MakePatternBitmap(const TPattern8& rows) {
    auto bmp = std::make_unique<TBitmap>(8, 8);
    bmp->SetPixelFormat(pf1bit);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            bmp->Surface().Row(y)[x] =
                (rows[static_cast<std::size_t>(y)] >> (7 - x)) & 1 ? 0xFFFFFFFFu : 0xFF000000u;
    return bmp;
}

} // namespace fw
