#include "ImageList.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

constexpr std::uint32_t White = 0xFFFFFFFFu;

// A strip of two 4x4 images on fuchsia: a red square and a black bar.
void MakeStrip(TBitmap& b) {
    b.SetSize(8, 4);
    b.Clear(clFuchsia);
    b.Canvas().Brush().SetColor(clRed);
    b.Canvas().FillRect({1, 1, 3, 3});
    b.Canvas().Brush().SetColor(clBlack);
    b.Canvas().FillRect({6, 0, 7, 4});
}

struct ImageListTest : ::testing::Test {
    TImageList List{4, 4};
    TSurface S;
    TCanvas C;
    ImageListTest() {
        S.SetSize(12, 8, White);
        C.Attach(&S, {0, 0}, {0, 0, 12, 8});
        TBitmap strip;
        MakeStrip(strip);
        List.AddMasked(strip, clFuchsia);
    }
};

TEST_F(ImageListTest, AddMaskedCutsCellsAndHidesTheMaskColour) {
    EXPECT_EQ(List.Count(), 2);
    EXPECT_FALSE(List.Shows(0, 0, 0));
    EXPECT_TRUE(List.Shows(0, 1, 1));
    EXPECT_TRUE(List.Shows(1, 2, 3));
    EXPECT_FALSE(List.Shows(1, 3, 3));
    EXPECT_FALSE(List.Shows(2, 0, 0));
    TBitmap narrow(3, 4);
    EXPECT_EQ(List.AddMasked(narrow, clNone), -1);
    EXPECT_EQ(List.Count(), 2);
}

TEST_F(ImageListTest, DrawIsTransparentOrOnTheBackgroundColour) {
    List.Draw(C, 2, 1, 0);
    EXPECT_EQ(S.Pixel(2, 1), White);
    EXPECT_EQ(S.Pixel(3, 2), 0xFFFF0000u);
    EXPECT_EQ(S.Pixel(4, 3), 0xFFFF0000u);
    EXPECT_EQ(S.Pixel(5, 4), White);
    List.SetBkColor(clBlue);
    List.Draw(C, 8, 0, 1);
    EXPECT_EQ(S.Pixel(8, 0), 0xFF0000FFu);
    EXPECT_EQ(S.Pixel(10, 0), 0xFF000000u);
    // Out-of-range indexes draw nothing; clipping holds at the edge.
    const TSurface before = S;
    List.Draw(C, 0, 0, 7);
    List.Draw(C, -1, 0, -1);
    EXPECT_EQ(S.Pixels, before.Pixels);
    List.Draw(C, 10, 6, 0);
}

TEST_F(ImageListTest, SelectedBlendsHalfTheBlendColourIntoShownPixels) {
    List.SetBlendColor(clBlue);
    List.Draw(C, 0, 0, 0, dsSelected, itImage);
    EXPECT_EQ(S.Pixel(1, 1), 0xFF7F007Fu);
    EXPECT_EQ(S.Pixel(0, 0), White);
    List.Draw(C, 4, 0, 0, dsFocus, itImage);
    EXPECT_EQ(S.Pixel(5, 1), 0xFFBF003Fu);
    List.Draw(C, 8, 0, 1, dsNormal, itMask);
    EXPECT_EQ(S.Pixel(10, 0), 0xFF000000u);
    EXPECT_EQ(S.Pixel(9, 0), White);
}

TEST_F(ImageListTest, DisabledImagesAreTwoFlatShapes) {
    List.Draw(C, 0, 0, 1, false);
    // The bar is in column 2: shadow there, highlight one pixel down and right.
    EXPECT_EQ(S.Pixel(2, 0), ColorToPixel32(clBtnShadow));
    EXPECT_EQ(S.Pixel(3, 4), ColorToPixel32(clBtnHighlight));
    S.SetSize(12, 8, White);
    List.Draw(C, 0, 0, 0, false); // red is dark enough to show
    EXPECT_EQ(S.Pixel(1, 1), ColorToPixel32(clBtnShadow));
}

TEST_F(ImageListTest, MasksReplaceDeleteAndResize) {
    TBitmap mask(4, 4);
    mask.Clear(clBlack);
    mask.Canvas().SetPixels(0, 0, clWhite); // white hides
    TBitmap img(4, 4);
    img.Clear(clGreen);
    EXPECT_EQ(List.Add(img, &mask), 2);
    EXPECT_FALSE(List.Shows(2, 0, 0));
    EXPECT_TRUE(List.Shows(2, 1, 0));
    List.Replace(0, img, nullptr);
    EXPECT_TRUE(List.Shows(0, 0, 0));
    TBitmap out;
    List.GetBitmap(2, out);
    EXPECT_EQ(out.Surface().Pixel(0, 0), White);
    EXPECT_EQ(out.Surface().Pixel(1, 0), 0xFF008000u);

    int changes = 0;
    List.OnChange = [&](TObject*) { ++changes; };
    List.Delete(0);
    List.Delete(9);
    EXPECT_EQ(List.Count(), 2);
    List.SetSize(16, 16);
    EXPECT_EQ(List.Count(), 0);
    EXPECT_EQ(changes, 2);
}

} // namespace
} // namespace fw
