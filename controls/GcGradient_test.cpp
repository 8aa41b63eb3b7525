#include "GcGradient.h"

#include "ControlTestEnv.h"

namespace vel {
namespace {

std::uint32_t Px(fw::TColor c) {
    return fw::ColorToPixel32(c);
}

class GradientTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Panel = Place<fw::TWinControl>(0, 0, 131, 9);
        G = fw::Create<TGcGradient>(Form.get());
        G->SetParent(Panel);
    }
    fw::TWinControl* Panel = nullptr;
    TGcGradient* G = nullptr;
};

TEST_F(GradientTest, HorizontalBandsOfTheLegend) {
    EXPECT_EQ(G->Align(), fw::alClient);
    EXPECT_EQ(G->Width(), 131);
    G->SetStartColor(fw::clBlack);
    G->SetEndColor(fw::clYellow);
    fw::TSurface s;
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(fw::clBlack));
    EXPECT_EQ(s.Pixel(1, 8), Px(fw::RGB(3, 3, 0))); // band 1 covers x 1..2
    EXPECT_EQ(s.Pixel(2, 4), Px(fw::RGB(3, 3, 0)));
    EXPECT_EQ(s.Pixel(3, 4), Px(fw::RGB(5, 5, 0)));       // band 2: x 3 only, round(5.1)
    EXPECT_EQ(s.Pixel(130, 0), Px(fw::RGB(252, 252, 0))); // band 99; band 100 lies past the edge
    EXPECT_EQ(G->BandColor(100, 100), fw::clYellow);
    EXPECT_EQ(G->BandColor(50, 100), fw::RGB(128, 128, 0)); // 127.5 rounds to even
}

TEST_F(GradientTest, StepsZeroIsOneBandAndOtherStylesNest) {
    G->SetSteps(0);
    G->SetStartColor(fw::clRed);
    fw::TSurface s;
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(130, 8), Px(fw::clRed));
    Panel->SetBounds(0, 0, 20, 20);
    G->SetStyle(grPyramid);
    G->SetSteps(10);
    G->SetEndColor(fw::clBlue);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(fw::clRed));
    EXPECT_EQ(s.Pixel(10, 10), Px(G->BandColor(9, 10)));
    EXPECT_EQ(s.Pixel(3, 10), Px(G->BandColor(3, 10)));
    G->SetStyle(grVertical);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(5, 19), Px(G->BandColor(9, 10)));
    G->SetStyle(grFilled);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(19, 19), Px(fw::clRed));
    G->SetStyle(grEllipse);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(fw::clRed));
    EXPECT_EQ(s.Pixel(10, 10), Px(G->BandColor(9, 10)));
}

TEST_F(GradientTest, CacheIsRedrawnOnResizeAndChangesOnly) {
    fw::TSurface s;
    fw::PaintControlTo(G, s);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(G->CacheDraws(), 1);
    G->SetEndColor(fw::clRed);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(G->CacheDraws(), 2);
    G->SetEndColor(fw::clRed); // unchanged
    Panel->SetBounds(0, 0, 50, 9);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(G->CacheDraws(), 3);
    Panel->SetBounds(0, 0, 0, 9);
    fw::PaintControlTo(G, s);
    EXPECT_EQ(G->CacheDraws(), 3); // nothing to draw
    EXPECT_EQ(G->CachedWidth(), 0);
    EXPECT_EQ(G->CachedHeight(), 9);
}

TEST_F(GradientTest, NotificationsReachTheirOperations) {
    int enter = 0, leave = 0, parentColour = 0;
    G->OnMouseEnter = [&](fw::TObject*) { ++enter; };
    G->OnMouseLeave = [&](fw::TObject*) { ++leave; };
    G->OnParentColorChange = [&](fw::TObject*) { ++parentColour; };
    Form->Show();
    fw::ProcessMessages();
    fw::MouseMoveTo(fw::ControlPoint(G, 3, 3));
    EXPECT_TRUE(G->MouseOver());
    fw::MouseMoveTo(fw::ControlPoint(G, 3, 50));
    EXPECT_FALSE(G->MouseOver());
    EXPECT_EQ(enter, 1);
    EXPECT_EQ(leave, 1);
    Panel->SetColor(fw::clAqua);
    EXPECT_EQ(parentColour, 1);
    EXPECT_EQ(G->Perform(fw::CM_HITTEST, 0, 0), 1);
    fw::THintInfo info;
    info.HintColor = fw::clLime;
    G->Perform(fw::CM_HINTSHOW, 0, reinterpret_cast<fw::LPARAM>(&info));
    EXPECT_EQ(info.HintColor, fw::clLime); // the parent's answer, which keeps it
    G->SetHintColor(fw::clNone);
    G->Perform(fw::CM_HINTSHOW, 0, reinterpret_cast<fw::LPARAM>(&info));
    EXPECT_EQ(info.HintColor, fw::Application()->HintColor());
    G->SetHintColor(fw::clRed);
    G->Perform(fw::CM_HINTSHOW, 0, reinterpret_cast<fw::LPARAM>(&info));
    EXPECT_EQ(info.HintColor, fw::clRed);
    EXPECT_EQ(G->Perform(fw::CM_DIALOGCHAR, 'a', 0), 0);
}

} // namespace
} // namespace vel
