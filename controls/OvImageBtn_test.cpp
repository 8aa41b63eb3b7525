#include "OvImageBtn.h"

#include "ControlTestEnv.h"

namespace vel {
namespace {

std::uint32_t Px(fw::TColor c) {
    return fw::ColorToPixel32(c);
}

class ImageBtnTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(100, 100, 200, 100);
        Form->SetColor(fw::clWhite);
        Btn = Place<TOvImageBtn>(10, 10, 24, 24);
        Btn->OnClick = [this](fw::TObject*) { ++Clicks; };
        Images = ColourList(nullptr, 16, {fw::clRed, fw::clLime, fw::clBlue});
        Show();
    }
    fw::TPoint At(int x, int y) const { return fw::ControlPoint(Btn, x, y); }
    TOvImageBtn* Btn = nullptr;
    std::unique_ptr<fw::TImageList> Images;
    int Clicks = 0;
};

TEST_F(ImageBtnTest, PushButtonIsDownOnlyWhileHeldInside) {
    fw::MouseDownAt(At(5, 5));
    EXPECT_TRUE(Btn->Down());
    fw::MouseMoveTo(At(30, 5)); // out
    EXPECT_FALSE(Btn->Down());
    fw::MouseMoveTo(At(24, 24)); // the far edges count as inside
    EXPECT_TRUE(Btn->Down());
    fw::MouseUpAt(At(5, 5));
    EXPECT_FALSE(Btn->Down());
    EXPECT_FALSE(Btn->Pressing());
    EXPECT_EQ(Clicks, 1);
}

TEST_F(ImageBtnTest, CheckBoxFlipsOnPressAndFlipsBackWhenReleasedOutside) {
    Btn->SetCheckBox(true);
    fw::ClickAt(At(5, 5));
    EXPECT_TRUE(Btn->Down());
    fw::MouseDownAt(At(5, 5)); // a fast second click is another press
    EXPECT_FALSE(Btn->Down());
    fw::MouseMoveTo(At(50, 5));
    EXPECT_TRUE(Btn->Down());
    fw::MouseUpAt(At(50, 5));
    EXPECT_TRUE(Btn->Down()); // released outside: as before the press
    Btn->SetCheckBox(false);
    int doubles = 0;
    Btn->OnDblClick = [&](fw::TObject*) { ++doubles; };
    fw::DoubleClickAt(At(5, 5)); // a push button hears the double click
    EXPECT_EQ(doubles, 1);
    Btn->SetCheckBox(true);
    EXPECT_FALSE(Btn->Down());
    Btn->DblClick(); // a check box flips on one
    EXPECT_TRUE(Btn->Down());
}

TEST_F(ImageBtnTest, DisabledButtonsIgnorePressesAndPaintGreyed) {
    Btn->SetImageList(Images.get());
    Btn->SetUpIndex(0);
    Btn->SetDownIndex(1);
    Btn->SetDisabledIndex(2);
    fw::ProcessMessages();
    Btn->SetDisabledIndex(2); // enabled: no repaint asked
    EXPECT_TRUE(Form->UpdateRect().IsEmpty());
    Btn->SetEnabled(false);
    fw::ProcessMessages();
    Btn->SetDisabledIndex(2);
    EXPECT_FALSE(Form->UpdateRect().IsEmpty());
    fw::MouseDownAt(At(5, 5));
    EXPECT_FALSE(Btn->Down());
    fw::MouseUpAt(At(5, 5));
    fw::TSurface s;
    fw::PaintControlTo(Btn, s);
    EXPECT_EQ(s.Pixel(23, 23), Px(fw::clBlue)); // 16 x 16 stretched to 24 x 24
    Btn->SetCaption("W");
    Btn->Font().SetColor(fw::clBlack);
    Btn->SetImageList(nullptr);
    fw::PaintControlTo(Btn, s);
    bool grey = false, black = false;
    for (std::uint32_t p : s.Pixels) {
        grey |= p == Px(fw::clGray);
        black |= p == Px(fw::clBlack);
    }
    EXPECT_TRUE(grey);
    EXPECT_FALSE(black);
}

TEST_F(ImageBtnTest, ImagesFollowTheStateAndTheCaptionSinksWhenDown) {
    Btn->SetImageList(Images.get());
    Btn->SetUpIndex(0);
    Btn->SetDownIndex(1);
    fw::TSurface s;
    fw::PaintControlTo(Btn, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(fw::clRed));
    Btn->SetDown(true);
    fw::PaintControlTo(Btn, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(fw::clLime));
    Btn->SetTransparent(true); // own size at (0, 0)
    fw::PaintControlTo(Btn, s);
    EXPECT_EQ(s.Pixel(15, 15), Px(fw::clLime));
    EXPECT_EQ(s.Pixel(16, 16), Px(fw::clWhite));
    Btn->SetImageList(nullptr);
    Btn->SetCaption("I"); // 6 x 12 cell at (9, 6), one lower right when down
    Btn->Font().SetColor(fw::clBlack);
    auto inked = [&](fw::TSurface& surface) {
        fw::TRect r{100, 100, -1, -1};
        for (int y = 0; y < surface.Height; ++y)
            for (int x = 0; x < surface.Width; ++x)
                if (surface.Pixel(x, y) == Px(fw::clBlack)) {
                    r.Left = std::min(r.Left, x);
                    r.Top = std::min(r.Top, y);
                }
        return fw::TPoint{r.Left, r.Top};
    };
    fw::PaintControlTo(Btn, s);
    const fw::TPoint down = inked(s);
    Btn->SetDown(false);
    fw::PaintControlTo(Btn, s);
    const fw::TPoint up = inked(s);
    EXPECT_EQ(down.X, up.X + 1);
    EXPECT_EQ(down.Y, up.Y + 1);
    Images.reset();
    Btn->SetImageList(nullptr);
}

TEST_F(ImageBtnTest, FreedListIsDropped) {
    Btn->SetImageList(Images.get());
    Images.reset();
    EXPECT_EQ(Btn->ImageList(), nullptr);
}

} // namespace
} // namespace vel
