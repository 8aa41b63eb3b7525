// Picture files (BMP, PNG and VBM, told apart by content) read into a bitmap
// that holds a picture: a refusal leaves it, and what is read draws and goes
// out and back in again unchanged.
#include <cstring>
#include <span>

#include <png.h>

#include "Bitmap.h"
#include "FuzzTarget.h"
#include "Png.h"
#include "ScratchFile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool SamePicture(const fw::TBitmap& a, const fw::TBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           a.Surface().Pixels == b.Surface().Pixels && a.PixelFormat() == b.PixelFormat() &&
           a.Transparent() == b.Transparent() && a.TransparentMode() == b.TransparentMode() &&
           a.TransparentColor() == b.TransparentColor();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fw::TBitmap bitmap(3, 2);
    bitmap.Clear(fw::clRed);
    const Bytes before = bitmap.SaveToVbm();
    try {
        bitmap.LoadFromBytes(std::span<const std::uint8_t>(data, size));
    } catch (const fw::EInvalidGraphic&) {
        FuzzCheck(bitmap.SaveToVbm() == before, "a refused picture leaves the bitmap");
        return 0;
    }
    fw::TBitmap again;
    again.LoadFromBytes(bitmap.SaveToVbm());
    FuzzCheck(SamePicture(again, bitmap), "a picture read back from VBM is the same");
    fw::TBitmap target(4, 4);
    bitmap.SetTransparent(true);
    target.Canvas().Draw(-1, -1, bitmap);
    target.Canvas().StretchDraw(fw::TRect{0, 0, 3, 3}, bitmap);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<Bytes> seeds;
    fw::TBitmap bitmap(5, 3);
    bitmap.Clear(fw::clNavy);
    bitmap.Canvas().Brush().SetColor(fw::clYellow);
    bitmap.Canvas().FillRect(fw::TRect{1, 1, 4, 2});
    bitmap.Surface().Row(0)[0] = 0x80123456u;
    seeds.push_back(bitmap.SaveToBmp());
    seeds.push_back(bitmap.SaveToVbm());
    // A 24-bit top-down BMP, which the writer does not make.
    Bytes bmp24 = bitmap.SaveToBmp();
    bmp24.resize(54);
    bmp24[28] = 24;
    for (int i = 0; i < 4; ++i)
        bmp24[22 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(-3) >> (8 * i));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            for (int c = 0; c < 3; ++c)
                bmp24.push_back(static_cast<std::uint8_t>(bitmap.Surface().Pixel(x, y) >> (8 * c)));
        bmp24.insert(bmp24.end(), 1, 0); // rows padded to 16 bytes
    }
    seeds.push_back(bmp24);
    bitmap.SetTransparentColor(fw::clYellow);
    bitmap.SetTransparent(true);
    bitmap.SetPixelFormat(fw::pf1bit);
    seeds.push_back(bitmap.SaveToVbm());

    const std::string path = (fuzzfile::ScratchDir() / "seed.png").string();
    if (fw::WritePng(path, bitmap.Width(), bitmap.Height(), bitmap.Surface().Pixels.data())) {
        const std::string png = fuzzfile::ReadScratch(path);
        seeds.emplace_back(png.begin(), png.end());
    }
    // Grey with alpha, and a colour map, through libpng's own writer.
    for (png_uint_32 format : {png_uint_32{PNG_FORMAT_GA}, png_uint_32{PNG_FORMAT_RGB_COLORMAP}}) {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        image.width = 4;
        image.height = 2;
        image.format = format;
        image.colormap_entries = 2;
        const std::uint8_t pixels[24] = {0, 255, 1, 0, 1,   1, 0, 0, 128, 64, 0, 1,
                                         1, 0,   1, 0, 255, 0, 0, 0, 0,   0,  0, 0};
        const std::uint8_t colormap[6] = {10, 20, 30, 200, 100, 50};
        png_alloc_size_t bytes = 0;
        if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, pixels, 0, colormap)) continue;
        Bytes png(bytes);
        if (png_image_write_to_memory(&image, png.data(), &bytes, 0, pixels, 0, colormap))
            seeds.push_back(png);
    }
    return seeds;
}
