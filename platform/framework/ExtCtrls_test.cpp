#include "ExtCtrls.h"
#include "FormTestEnv.h"
#include "StdCtrls.h"

#include <gtest/gtest.h>

#include <memory>

namespace fw {
namespace {

std::uint32_t Px(TColor c) {
    return ColorToPixel32(c);
}

class ExtCtrlsTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Form->SetBounds(50, 50, 200, 150);
        Form->SetColor(clWhite);
    }
};

TEST_F(ExtCtrlsTest, PaintBoxPaintsThroughItsEvent) {
    TPaintBox* box = Place<TPaintBox>(10, 10, 5, 5);
    int paints = 0;
    box->OnPaint = [&](TObject* sender) {
        ++paints;
        auto* b = static_cast<TPaintBox*>(sender);
        b->Canvas()->Brush().SetColor(clRed);
        b->Canvas()->FillRect(b->ClientRect());
    };
    TSurface s;
    PaintControlTo(Form.get(), s);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(s.Pixel(10, 10), Px(clRed));
    EXPECT_EQ(s.Pixel(15, 15), Px(clWhite));
}

TEST_F(ExtCtrlsTest, ImageShowsItsPictureSizesToItAndHonoursTransparency) {
    TImage* img = Create<TImage>(Form.get());
    img->SetParent(Form.get());
    img->SetAutoSize(true);
    TBitmap pic(3, 2);
    pic.Clear(clBlue);
    pic.Canvas().SetPixels(0, 1, clLime); // bottom-left: the automatic transparent colour
    img->Picture().Assign(&pic);          // the image follows its picture's changes
    EXPECT_EQ(img->Width(), 3);
    EXPECT_EQ(img->Height(), 2);
    TSurface s;
    PaintControlTo(img, s);
    EXPECT_EQ(s.Pixel(0, 1), Px(clLime));
    img->Picture().Bitmap().SetTransparent(true);
    PaintControlTo(img, s);
    EXPECT_EQ(s.Pixel(0, 1), Px(clWhite)); // the parent's colour shows through
    EXPECT_EQ(s.Pixel(1, 1), Px(clBlue));
    img->Picture().Assign(nullptr);
    EXPECT_FALSE(img->Picture().HasGraphic());
    EXPECT_EQ(img->Picture().Width(), 0);
}

TEST_F(ExtCtrlsTest, PanelPaintsColourBevelsAndCentredCaption) {
    TPanel* p = Place<TPanel>(0, 0, 40, 20);
    p->SetColor(clSilver);
    TSurface s;
    PaintControlTo(p, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(clBtnHighlight));
    EXPECT_EQ(s.Pixel(39, 0), Px(clBtnShadow)); // top-right corner belongs to the bottom-right line
    EXPECT_EQ(s.Pixel(0, 19), Px(clBtnShadow));
    EXPECT_EQ(s.Pixel(39, 19), Px(clBtnShadow));
    EXPECT_EQ(s.Pixel(1, 1), Px(clSilver));
    p->SetBevelOuter(bvNone);
    p->SetCaption("ab"); // 12 x 12 cells centred: x 14..25, y 4..15
    PaintControlTo(p, s);
    EXPECT_EQ(s.Pixel(0, 0), Px(clSilver));
    bool inked = false, outside = false;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            if (s.Pixel(x, y) != Px(clSilver)) {
                if (x >= 14 && x < 26 && y >= 4 && y < 16)
                    inked = true;
                else
                    outside = true;
            }
    EXPECT_TRUE(inked);
    EXPECT_FALSE(outside);
}

TEST_F(ExtCtrlsTest, WindowCanvasDrawsIntoThePaintedWindowOutsideAPaint) {
    TPanel* p = Place<TPanel>(20, 30, 10, 10);
    TCanvas c;
    EXPECT_FALSE(AttachWindowCanvas(p, c)); // not showing yet
    Form->Show();
    ProcessMessages();
    ASSERT_TRUE(AttachWindowCanvas(p, c));
    c.Brush().SetColor(clRed);
    c.FillRect(TRect{-5, -5, 20, 20}); // clipped to the panel
    const TSurface* s = Form->WindowSurface();
    EXPECT_EQ(s->Pixel(20, 30), Px(clRed));
    EXPECT_EQ(s->Pixel(29, 39), Px(clRed));
    EXPECT_NE(s->Pixel(19, 30), Px(clRed));
    EXPECT_NE(s->Pixel(30, 39), Px(clRed));
    p->SetVisible(false);
    EXPECT_FALSE(AttachWindowCanvas(p, c));
}

TEST_F(ExtCtrlsTest, PrintClientLeavesTheCallersCanvasClippedAndItsBrushChanged) {
    TPanel* p = Place<TPanel>(0, 0, 4, 4);
    p->SetColor(clLime);
    TSurface s;
    s.SetSize(10, 10, Px(clWhite));
    TCanvas canvas;
    canvas.Attach(&s, TPoint{0, 0}, TRect{0, 0, 10, 10});
    canvas.Brush().SetColor(clRed);
    SendMessage(p->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(&canvas),
                PRF_CLIENT | PRF_ERASEBKGND);
    EXPECT_EQ(canvas.ClipRect(), (TRect{0, 0, 4, 4}));
    EXPECT_EQ(canvas.Brush().Color(), clLime);
    EXPECT_EQ(s.Pixel(2, 2), Px(clLime));
}

TEST_F(ExtCtrlsTest, HitTestAnswersClientAndMultiLineEditsWantAllKeys) {
    TPaintBox* box = Create<TPaintBox>(Form.get());
    EXPECT_EQ(box->Perform(CM_HITTEST, 0, MakeLParam(1, 1)), static_cast<LRESULT>(1));
    TEdit* e = Create<TEdit>(Form.get());
    e->SetParent(Form.get());
    EXPECT_EQ(SendMessage(e->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, 0);
    SetWindowStyle(e->Handle(), GetWindowStyle(e->Handle()) | ES_MULTILINE);
    EXPECT_NE(SendMessage(e->Handle(), WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, 0);
}

} // namespace
} // namespace fw
