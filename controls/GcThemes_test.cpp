#include "GcThemes.h"

#include "Canvas.h"
#include "ExtCtrls.h"
#include "Forms.h"

#include <gtest/gtest.h>

#include <memory>

namespace vel {
namespace {

TEST(GcThemes, PrintClientLeavesTheCallersCanvasAsItWasWhileInstalled) {
    fw::TForm form(nullptr);
    form.SetBounds(0, 0, 50, 50);
    fw::TPanel* panel = fw::Create<fw::TPanel>(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 6, 6);
    panel->SetColor(fw::clLime);
    fw::TSurface s;
    s.SetSize(20, 20, 0xFFFFFFFF);
    fw::TCanvas canvas;
    auto print = [&] {
        canvas.Attach(&s, fw::TPoint{2, 2}, fw::TRect{0, 0, 20, 20});
        canvas.Brush().SetColor(fw::clRed);
        canvas.Pen().SetColor(fw::clBlue);
        canvas.SetWindowOrg(fw::TPoint{0, 0});
        fw::SendMessage(panel->Handle(), fw::WM_PRINTCLIENT, reinterpret_cast<fw::WPARAM>(&canvas),
                        fw::PRF_CLIENT | fw::PRF_ERASEBKGND);
    };
    ASSERT_FALSE(GcThemesInstalled());
    print(); // the framework's own handling changes the caller's state
    EXPECT_EQ(canvas.Brush().Color(), fw::clLime);
    EXPECT_EQ(canvas.ClipRect(), (fw::TRect{0, 0, 6, 6}));
    InitializeGcThemes();
    print();
    EXPECT_EQ(canvas.Brush().Color(), fw::clRed);
    EXPECT_EQ(canvas.Pen().Color(), fw::clBlue);
    EXPECT_EQ(canvas.ClipRect(), (fw::TRect{-2, -2, 18, 18}));
    EXPECT_EQ(canvas.SavedStates(), 0);
    EXPECT_EQ(s.Pixel(4, 4), fw::ColorToPixel32(fw::clLime)); // and it still printed
    FinalizeGcThemes();
    EXPECT_EQ(fw::FindControlMessageFilter(fw::WM_PRINTCLIENT), nullptr);
    print();
    EXPECT_EQ(canvas.Brush().Color(), fw::clLime);
}

TEST(GcThemes, AnEarlierHandlingIsKeptInsideAndPutBack) {
    int earlier = 0;
    const fw::TMessageFilter before = fw::SetControlMessageFilter(
        fw::WM_PRINTCLIENT,
        [&](fw::TWinControl*, fw::TMessage&, const std::function<void()>& inherited) {
            ++earlier;
            inherited();
        });
    InitializeGcThemes();
    fw::TForm form(nullptr);
    fw::TCanvas canvas;
    fw::SendMessage(form.Handle(), fw::WM_PRINTCLIENT, reinterpret_cast<fw::WPARAM>(&canvas), 0);
    EXPECT_EQ(earlier, 1);
    FinalizeGcThemes();
    fw::SendMessage(form.Handle(), fw::WM_PRINTCLIENT, reinterpret_cast<fw::WPARAM>(&canvas), 0);
    EXPECT_EQ(earlier, 2);
    fw::SetControlMessageFilter(fw::WM_PRINTCLIENT, before);
}

} // namespace
} // namespace vel
