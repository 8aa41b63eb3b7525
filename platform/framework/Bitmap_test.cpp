#include "AllocationProbe.h"
#include "Bitmap.h"
#include "Png.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <png.h>
#include <zlib.h>

namespace fw {
namespace {

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

// A 24-bit BMP written by hand: 3 x 2 pixels, rows padded to 12 bytes.
std::vector<std::uint8_t> Bmp24(std::int32_t height) {
    std::vector<std::uint8_t> v{'B', 'M'};
    Put32(v, 54 + 24);
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, 3);
    Put32(v, static_cast<std::uint32_t>(height));
    v.insert(v.end(), {1, 0, 24, 0});
    for (int i = 0; i < 6; ++i)
        Put32(v, 0);
    // First stored row: blue, green, red; then white, black, grey.
    const std::uint8_t rows[2][12] = {{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0},
                                      {255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0}};
    for (const auto& row : rows)
        v.insert(v.end(), row, row + 12);
    return v;
}

TEST(BitmapFiles, Reads24BitBmpBottomUpAndTopDown) {
    TBitmap bmp;
    bmp.LoadFromBytes(Bmp24(2)); // bottom-up: the first stored row is the bottom one
    ASSERT_EQ(bmp.Width(), 3);
    ASSERT_EQ(bmp.Height(), 2);
    EXPECT_EQ(bmp.Surface().Pixel(0, 1), 0xFF0000FFu);
    EXPECT_EQ(bmp.Surface().Pixel(2, 1), 0xFFFF0000u);
    EXPECT_EQ(bmp.Surface().Pixel(2, 0), 0xFF808080u);
    bmp.LoadFromBytes(Bmp24(-2));
    EXPECT_EQ(bmp.Surface().Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp.Surface().Pixel(1, 1), 0xFF000000u);
}

TEST(BitmapFiles, BmpAndVbmRoundTrip) {
    TBitmap bmp(5, 3);
    bmp.Canvas().Brush().SetColor(clRed);
    bmp.Canvas().FillRect({1, 1, 4, 2});
    bmp.Surface().Row(0)[0] = 0x80123456u; // alpha survives
    bmp.SetTransparentColor(clRed);
    bmp.SetTransparent(true);

    TBitmap a;
    a.LoadFromBytes(bmp.SaveToBmp());
    EXPECT_EQ(a.Surface().Pixels, bmp.Surface().Pixels);

    TBitmap b;
    b.LoadFromBytes(bmp.SaveToVbm());
    EXPECT_EQ(b.Surface().Pixels, bmp.Surface().Pixels);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.TransparentMode(), tmFixed);
    EXPECT_EQ(b.TransparentColor(), clRed);

    const std::string path = TestPath("round.vbm");
    bmp.SaveToFile(path);
    TBitmap c;
    c.LoadFromFile(path);
    EXPECT_EQ(c.Surface().Pixels, bmp.Surface().Pixels);
    std::remove(path.c_str());
}

TEST(BitmapFiles, BadDataIsRefusedWithAClearErrorAndLeavesTheBitmap) {
    TBitmap bmp(2, 2);
    auto refuses = [&](std::vector<std::uint8_t> data, const std::string& words) {
        try {
            bmp.LoadFromBytes(data);
            ADD_FAILURE() << "accepted: " << words;
        } catch (const EInvalidGraphic& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
        }
        EXPECT_EQ(bmp.Width(), 2);
    };
    auto truncated = Bmp24(2);
    truncated.resize(truncated.size() - 1);
    refuses(truncated, "truncated");
    auto huge = Bmp24(2);
    huge[22] = 0xFF;
    huge[23] = 0xFF;
    huge[24] = 0xFF;
    huge[25] = 0x7F; // height 2^31 - 1
    refuses(huge, "out of range");
    auto eightBit = Bmp24(2);
    eightBit[28] = 8;
    refuses(eightBit, "8-bit");
    auto rle = Bmp24(2);
    rle[30] = 1;
    refuses(rle, "compressed");
    refuses({'B', 'M', 0}, "truncated");
    refuses({1, 2, 3, 4}, "Unknown picture format");

    std::vector<std::uint8_t> vbm{'V', 'B', 'M', '1'};
    Put32(vbm, 1000000);
    Put32(vbm, 1000000);
    Put32(vbm, 0);
    Put32(vbm, 0);
    refuses(vbm, "out of range");
    vbm.resize(4);
    Put32(vbm, 2);
    Put32(vbm, 2);
    Put32(vbm, 0);
    Put32(vbm, 0);
    Put32(vbm, 0); // one pixel of four
    refuses(vbm, "does not match");
    refuses({0x89, 'P', 'N', 'G', 0, 0}, "PNG");
    EXPECT_THROW(bmp.LoadFromFile(TestPath("missing.bmp")), EInvalidGraphic);
}

void PutBe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 3; i >= 0; --i)
        v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

void PngChunk(std::vector<std::uint8_t>& png, const char* type,
              const std::vector<std::uint8_t>& data) {
    PutBe32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBe32(png, static_cast<std::uint32_t>(
                     crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

// A PNG whose header declares width x height but whose pixel data is a few
// zero bytes; 68 bytes at 8-bit RGBA.
std::vector<std::uint8_t> HollowPng(std::uint32_t width, std::uint32_t height, std::uint8_t depth,
                                    std::uint8_t colourType) {
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    PngChunk(png, "IHDR", header);
    const std::uint8_t zeros[16] = {};
    std::vector<std::uint8_t> idat(64);
    uLongf packed = idat.size();
    compress(idat.data(), &packed, zeros, sizeof zeros);
    idat.resize(packed);
    PngChunk(png, "IDAT", idat);
    PngChunk(png, "IEND", {});
    return png;
}

TEST(BitmapFiles, PicturesDeclaringMoreThanTheyHoldAreRefusedBeforeTheirPixelsAreAllocated) {
    TBitmap bmp(2, 2);
    auto refusedSmall = [&](const std::vector<std::uint8_t>& data, const std::string& words) {
        std::string message;
        const std::size_t largest = LargestAllocationDuring([&] {
            try {
                bmp.LoadFromBytes(data);
            } catch (const EInvalidGraphic& e) {
                message = e.what();
            }
        });
        EXPECT_NE(message.find(words), std::string::npos) << message;
        EXPECT_LT(largest, std::size_t{1} << 20) << words; // 8192 x 8192 would be 256 MB
        EXPECT_EQ(bmp.Width(), 2);
    };
    const std::vector<std::uint8_t> png = HollowPng(8192, 8192, 8, 6);
    EXPECT_EQ(png.size(), 68u);
    refusedSmall(png, "PNG: pixel data is truncated");
    refusedSmall(HollowPng(8192, 8192, 1, 0), "PNG: pixel data is truncated"); // fewest bits

    std::vector<std::uint8_t> bmpFile = Bmp24(2);
    bmpFile.resize(54);
    bmpFile[18] = bmpFile[22] = 0;
    bmpFile[19] = bmpFile[23] = 0x20; // 8192 x 8192
    refusedSmall(bmpFile, "BMP: pixel data is truncated");

    std::vector<std::uint8_t> vbm{'V', 'B', 'M', '1'};
    for (std::uint32_t field : {8192u, 8192u, 0u, 0u})
        Put32(vbm, field);
    refusedSmall(vbm, "VBM: pixel data length does not match");
    if (!AllocationProbeWorks()) GTEST_SKIP() << "allocations are counted in sanitized builds";
}

TEST(BitmapFiles, AHighlyCompressedPngIsNotMistakenForATruncatedOne) {
    // 1024 x 1024 grey zeros pack to about a thousandth of their size.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = image.height = 1024;
    image.format = PNG_FORMAT_GRAY;
    const std::vector<std::uint8_t> grey(1024 * 1024, 0);
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, grey.data(), 0, nullptr));
    std::vector<std::uint8_t> png(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, png.data(), &size, 0, grey.data(), 0, nullptr));
    png.resize(size);
    EXPECT_LT(png.size(), 1024u * 1024 / 200);
    TBitmap bmp;
    bmp.LoadFromBytes(png);
    ASSERT_EQ(bmp.Width(), 1024);
    EXPECT_EQ(bmp.Surface().Pixel(1023, 1023), 0xFF000000u);
}

TEST(BitmapFiles, PngIsWrittenAndReadsBackThroughLibpng) {
    TBitmap bmp(6, 4);
    bmp.Canvas().Brush().SetColor(clNavy);
    bmp.Canvas().FillRect({0, 0, 3, 4});
    bmp.Canvas().SetPixels(5, 3, clLime);
    const std::string path = TestPath("out.png");
    bmp.SaveToFile(path);

    // Read with libpng directly, independent of our own decoder.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    EXPECT_EQ(image.width, 6u);
    EXPECT_EQ(image.height, 4u);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[2], 128); // navy
    const std::size_t last = (3 * 6 + 5) * 3;
    EXPECT_EQ(rgb[last + 1], 255); // lime

    TBitmap back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Surface().Pixels, bmp.Surface().Pixels);
    std::remove(path.c_str());
}

TEST(Bitmap, SizeFormatTransparencyAndChanges) {
    TBitmap bmp;
    EXPECT_TRUE(bmp.Empty());
    EXPECT_EQ(bmp.TransparentColor(), clNone);
    int changes = 0;
    bmp.OnChange = [&](TObject*) { ++changes; };
    bmp.SetSize(3, 2);
    bmp.SetSize(3, 2);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bmp.Canvas().ClipRect(), (TRect{0, 0, 3, 2}));
    EXPECT_EQ(bmp.Surface().Pixel(2, 1), 0xFFFFFFFFu);
    EXPECT_THROW(bmp.SetSize(MaxBitmapSide + 1, 1), EInvalidGraphic);

    bmp.Surface().Row(1)[0] = 0xFF00FF00u;
    EXPECT_EQ(bmp.TransparentColor(), clLime); // bottom-left pixel

    bmp.Surface().Row(0)[0] = 0xFF606060u;
    bmp.Surface().Row(0)[1] = 0xFFA0A0A0u;
    bmp.SetPixelFormat(pf1bit);
    EXPECT_TRUE(bmp.Monochrome());
    EXPECT_EQ(bmp.Surface().Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(bmp.Surface().Pixel(1, 0), 0xFFFFFFFFu);

    TBitmap copy;
    copy.Assign(bmp);
    EXPECT_EQ(copy.Surface().Pixels, bmp.Surface().Pixels);
    EXPECT_TRUE(copy.Monochrome());
    copy.Canvas().FillRect({0, 0, 1, 1}); // the copy's canvas draws on the copy
    EXPECT_EQ(bmp.Surface().Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(copy.Surface().Pixel(0, 0), 0xFFFFFFFFu);
}

} // namespace
} // namespace fw
