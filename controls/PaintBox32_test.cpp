#include "PaintBox32.h"

#include "ControlTestEnv.h"

#include <string>
#include <vector>

namespace vel {
namespace {

class PaintBoxTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Box = fw::Create<TPaintBox32>(Form.get());
        Box->SetParent(Form.get());
    }
    TPaintBox32* Box = nullptr;
};

TEST_F(PaintBoxTest, BufferGrowsWithTheViewAndShrinksOnlyPastTheOversize) {
    EXPECT_EQ(Box->Width(), 192);
    fw::TSurface s;
    Box->SetBounds(0, 0, 0, 0);
    fw::PaintControlTo(Box, s);
    EXPECT_EQ(Box->Buffer().Width(), 0);
    EXPECT_TRUE(Box->Buffer().Empty());
    Box->SetBounds(0, 0, 100, 50);
    EXPECT_EQ(Box->Buffer().Width(), 100);
    Box->SetBounds(0, 0, 120, 50);
    EXPECT_EQ(Box->Buffer().Width(), 120);
    Box->SetBounds(0, 0, 90, 50);
    EXPECT_EQ(Box->Buffer().Width(), 120); // within the 40 pixels of slack
    Box->SetBounds(0, 0, 70, 50);
    EXPECT_EQ(Box->Buffer().Width(), 70);
    EXPECT_EQ(Box->Buffer().Height(), 50);
}

TEST_F(PaintBoxTest, EveryPaintFillsTheBufferCopiesItThenOverlays) {
    Box->SetBounds(0, 0, 10, 10);
    std::vector<std::string> log;
    Box->OnPaintBuffer = [&](fw::TObject*) {
        log.push_back("buffer");
        Box->Buffer().Clear(0xFF00FF00);
        Box->Buffer().SetPixel(2, 3, 0xFF0000FF);
    };
    Box->OnGDIOverlay = [&](fw::TObject*) { log.push_back("overlay"); };
    fw::TSurface s;
    fw::PaintControlTo(Box, s);
    fw::PaintControlTo(Box, s);
    EXPECT_EQ(log, (std::vector<std::string>{"buffer", "overlay", "buffer", "overlay"}));
    EXPECT_EQ(s.Pixel(2, 3), 0xFF0000FFu);
    EXPECT_EQ(s.Pixel(9, 9), 0xFF00FF00u);
    EXPECT_FALSE(Box->BufferValid());
}

class TCountingBox : public TCustomPaintBox32 {
public:
    using TCustomPaintBox32::TCustomPaintBox32;
    int Fills = 0;

protected:
    void DoPaintBuffer() override {
        ++Fills;
        Buffer().Clear(0xFF112233);
        TCustomPaintBox32::DoPaintBuffer();
    }
};

TEST_F(PaintBoxTest, AValidBufferIsNotFilledAgainUntilInvalidated) {
    auto* box = Place<TCountingBox>(0, 0, 8, 8);
    fw::TSurface s;
    fw::PaintControlTo(box, s);
    fw::PaintControlTo(box, s);
    EXPECT_EQ(box->Fills, 1);
    box->Invalidate();
    fw::PaintControlTo(box, s);
    EXPECT_EQ(box->Fills, 2);
    EXPECT_EQ(s.Pixel(7, 7), 0xFF112233u);
}

TEST_F(PaintBoxTest, MessagesFlushAndAutoFocus) {
    Box->SetBounds(20, 30, 10, 10);
    EXPECT_EQ(Box->Perform(fw::WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(Box->Perform(fw::WM_GETDLGCODE, 0, 0) & fw::DLGC_WANTARROWS, 0);
    Box->SetOptions(pboWantArrowKeys | pboAutoFocus);
    EXPECT_NE(Box->Perform(fw::WM_GETDLGCODE, 0, 0) & fw::DLGC_WANTARROWS, 0);
    Form->Show();
    fw::ProcessMessages();
    Box->Buffer().Clear(0xFFABCDEF);
    fw::TCanvas probe;
    ASSERT_TRUE(fw::AttachWindowCanvas(Box, probe));
    ASSERT_EQ(Box->Buffer().Width(), 10);
    Box->Flush();
    EXPECT_EQ(Form->WindowSurface()->Pixel(25, 35), 0xFFABCDEFu);
    fw::ClickAt(fw::ControlPoint(Box, 2, 2));
    EXPECT_TRUE(Box->Focused());
}

} // namespace
} // namespace vel
