#include "Filer.h"
#include "ScrollBars.h"

#include "Bitmap.h"
#include "Canvas.h"
#include "DragCtrls.h"
#include "FormTestEnv.h"
#include "Hooks.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

// A framed window (client edge, or a plain border) painting its client red.
class TFramedBox : public TCustomControl {
public:
    explicit TFramedBox(TComponent* Owner) : TCustomControl(Owner) {
        SetControlStyle(ControlStyle() | csNonClientFrame);
        SetColor(clWhite);
    }
    std::uint32_t Ex = WS_EX_CLIENTEDGE;
    std::uint32_t Style = 0;
    std::vector<UINT> Notes;
    std::vector<int> Scrolls;
    int Presses = 0;

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomControl::CreateParams(Params);
        Params.ExStyle |= Ex;
        Params.Style |= Style;
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == CM_CTL3DCHANGED || m.Msg == CM_BORDERCHANGED) Notes.push_back(m.Msg);
        if (m.Msg == WM_VSCROLL) Scrolls.push_back(static_cast<int>(m.WParam & 0xFFFF));
        TCustomControl::WndProc(m);
    }
    void MouseDown(TMouseButton, TShiftState, int, int) override { ++Presses; }
    void Paint() override {
        Canvas()->Brush().SetColor(clRed);
        Canvas()->FillRect(TRect{-1000, -1000, 1000, 1000});
    }
};

class FrameTest : public FormTest {
protected:
    TColor Pixel(TControl* C, int X, int Y) {
        ProcessMessages();
        Shot.SetSize(C->Width(), C->Height());
        PaintControlTo(C, Shot.Surface());
        return Shot.Canvas().Pixels(X, Y);
    }
    TBitmap Shot;
};

TEST_F(FrameTest, TheStyleFrameBevelsAndBorderWidthLieOutsideTheClient) {
    auto* B = Place<TFramedBox>(10, 10, 100, 80);
    Show();
    B->HandleNeeded();
    EXPECT_EQ(B->ClientOffset(), (TPoint{2, 2}));
    EXPECT_EQ(B->ClientRect(), (TRect{0, 0, 96, 76}));
    EXPECT_EQ(B->ClientOrigin(), (TPoint{100 + 10 + 2, 100 + 10 + 2}));
    // Without the frame style flag a control draws its own frame in its client.
    auto* Plain = Place<TFramedBox>(120, 10, 50, 50);
    Plain->SetControlStyle(Plain->ControlStyle() & ~csNonClientFrame);
    Plain->HandleNeeded();
    EXPECT_EQ(Plain->ClientOffset(), (TPoint{0, 0}));

    // Raised inner and lowered outer bevels of 2 on the left and top only, then 3 of border width.
    B->SetBevelKind(bkTile);
    B->SetBevelWidth(2);
    B->SetBevelEdges(beLeft | beTop);
    B->SetBorderWidth(3);
    EXPECT_EQ(B->FrameInsets(), (TRect{2 + 4 + 3, 2 + 4 + 3, 2 + 3, 2 + 3}));
    EXPECT_EQ(B->ClientRect(), (TRect{0, 0, 100 - 9 - 5, 80 - 9 - 5}));
    EXPECT_EQ(B->Notes, (std::vector<UINT>{CM_BORDERCHANGED}));
    // The outer bevel is lowered: shadow at its top-left; the inner raised: highlight there.
    EXPECT_EQ(Pixel(B, 2, 40), ColorToRGB(clBtnShadow));
    EXPECT_EQ(Pixel(B, 4, 40), ColorToRGB(clBtnHighlight));
    // The border width shows the control's colour, the client its paint.
    EXPECT_EQ(Pixel(B, 7, 40), ColorToRGB(clWhite));
    EXPECT_EQ(Pixel(B, 9, 40), ColorToRGB(clRed));
    EXPECT_EQ(Pixel(B, 96, 40), ColorToRGB(clWhite)); // right: no bevel there
    // A click on the border is no client click.
    ClickAt(ControlPoint(B, -2, 20));
    EXPECT_EQ(B->Presses, 0);
    ClickAt(ControlPoint(B, 0, 20));
    EXPECT_EQ(B->Presses, 1);
    EXPECT_EQ(SendMessage(B->Handle(), WM_NCHITTEST, 0, PointToLParam(ControlPoint(B, -3, 5))),
              LRESULT{HTBORDER});
}

TEST_F(FrameTest, ALeftScrollBarStandsBesideTheClientOnTheLeftAndWorks) {
    auto* B = Place<TFramedBox>(10, 10, 100, 80);
    B->Ex = WS_EX_CLIENTEDGE | WS_EX_LEFTSCROLLBAR;
    Show();
    TScrollInfo I;
    I.fMask = SIF_RANGE | SIF_PAGE;
    I.nMax = 99;
    I.nPage = 20;
    SetScrollInfo(B->Handle(), SB_VERT, I, true);
    EXPECT_EQ(B->ClientOffset(), (TPoint{2 + 16, 2}));
    EXPECT_EQ(B->ClientWidth(), 100 - 4 - 16);
    const TScrollBarLayout L = ScrollBarLayout(*B, SB_VERT);
    EXPECT_EQ(L.Bar, (TRect{2, 2, 18, 78}));
    EXPECT_EQ(SendMessage(B->Handle(), WM_NCHITTEST, 0, PointToLParam(ControlPoint(B, -8, 40))),
              LRESULT{HTVSCROLL});
    ClickAt(ControlPoint(B, -8, 70)); // the down arrow, left of the client
    EXPECT_EQ(B->Scrolls, (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL}));
    EXPECT_EQ(Pixel(B, 10, 40), ColorToRGB(clScrollBar));
    EXPECT_EQ(Pixel(B, 19, 40), ColorToRGB(clRed));
}

TEST_F(FrameTest, The3DLookFollowsTheParentUntilSetAndNamesTheFrame) {
    auto* B = Place<TFramedBox>(10, 10, 100, 80);
    Show();
    EXPECT_TRUE(B->Ctl3D());
    Form->SetCtl3D(false);
    EXPECT_FALSE(B->Ctl3D());
    EXPECT_TRUE(B->ParentCtl3D());
    EXPECT_EQ(B->Notes, (std::vector<UINT>{CM_CTL3DCHANGED}));
    B->SetCtl3D(true);
    EXPECT_FALSE(B->ParentCtl3D());
    Form->SetCtl3D(true);
    Form->SetCtl3D(false);
    EXPECT_TRUE(B->Ctl3D()); // no longer the parent's
    // A plain border is one pixel of the window frame colour.
    auto* P = Place<TFramedBox>(120, 10, 50, 50);
    P->Ex = 0;
    P->Style = WS_BORDER;
    P->HandleNeeded();
    EXPECT_EQ(P->ClientOffset(), (TPoint{1, 1}));
    EXPECT_EQ(Pixel(P, 0, 20), ColorToRGB(clWindowFrame));
    EXPECT_EQ(Pixel(P, 1, 20), ColorToRGB(clRed));
}

TEST_F(FrameTest, AnchorsConstraintsAndScalingPlaceTheChildren) {
    auto* Panel = Place<TFramedBox>(0, 0, 200, 100);
    Panel->SetControlStyle(Panel->ControlStyle() & ~csNonClientFrame);
    auto Child = [&](TAnchors A) {
        auto* C = Create<TFramedBox>(Form.get());
        C->SetParent(Panel);
        C->SetBounds(20, 10, 40, 30);
        C->SetAnchors(A);
        return C;
    };
    TControl* Right = Child(akTop | akRight);
    TControl* Both = Child(akLeft | akTop | akRight | akBottom);
    TControl* None = Child(0);
    TControl* Plain = Child(akLeft | akTop);
    Panel->SetBounds(0, 0, 240, 120);
    EXPECT_EQ(Right->BoundsRect(), (TRect{60, 10, 100, 40}));
    EXPECT_EQ(Both->BoundsRect(), (TRect{20, 10, 100, 60}));
    EXPECT_EQ(None->BoundsRect(), (TRect{40, 20, 80, 50}));
    EXPECT_EQ(Plain->BoundsRect(), (TRect{20, 10, 60, 40}));

    Plain->SetConstraints(TSizeConstraints{50, 0, 60, 20});
    EXPECT_EQ(Plain->Width(), 50);
    EXPECT_EQ(Plain->Height(), 20);
    Plain->SetBounds(0, 0, 200, 5);
    EXPECT_EQ(Plain->BoundsRect(), (TRect{0, 0, 60, 5}));

    Panel->ScaleBy(2, 1);
    EXPECT_EQ(Panel->BoundsRect(), (TRect{0, 0, 480, 240}));
    EXPECT_EQ(Right->BoundsRect(), (TRect{120, 20, 200, 80}));
    EXPECT_EQ(Plain->Width(), 60); // the limit holds when scaling too
}

TEST_F(FrameTest, AnAutomaticDragStartsWithThePressInsteadOfIt) {
    auto* B = Place<TFramedBox>(10, 10, 100, 80);
    Show();
    B->SetDragMode(dmAutomatic);
    EXPECT_EQ(B->DragCursor(), crDrag);
    MouseDownAt(ControlPoint(B, 20, 20));
    EXPECT_TRUE(DragPending());
    EXPECT_EQ(B->Presses, 0);
    MouseUpAt(ControlPoint(B, 20, 20));
    EXPECT_FALSE(DragPending());
    B->SetDragKind(dkDock); // docking is no drag
    ClickAt(ControlPoint(B, 20, 20));
    EXPECT_EQ(B->Presses, 1);
}

// Two stored extras: a number and a block; Loaded counts.
class TStoring : public TComponent {
public:
    using TComponent::TComponent;
    std::int64_t Number = 0;
    std::vector<std::uint8_t> Block;
    int LoadedCalls = 0;
    bool SawLoading = false;
    void Loaded() override {
        TComponent::Loaded();
        ++LoadedCalls;
    }
    void DefineProperties(TFiler& F) override {
        F.DefineProperty(
            "Number",
            [this](const TFilerValue& V) {
                SawLoading = InState(TComponentStateItem::Loading);
                Number = std::get<std::int64_t>(V);
            },
            [this] { return TFilerValue{Number}; }, Number != 0);
        F.DefineBinaryProperty(
            "Block", [this](TStream& S) { Block = S.ReadBlock(static_cast<std::size_t>(S.Size())); },
            [this](TStream& S) { S.WriteBuffer(Block.data(), Block.size()); }, !Block.empty());
    }
};

TEST(FilerTest, StoredExtrasRoundTripAndBadOnesFailLeavingWhatWasRead) {
    TStoring A(nullptr);
    EXPECT_TRUE(WriteDefinedProperties(A).empty()); // nothing to write
    A.Number = 7;
    A.Block = {1, 2, 3};
    const TFilerValues V = WriteDefinedProperties(A);
    ASSERT_EQ(V.size(), 2u);
    TStoring B(nullptr);
    ReadDefinedProperties(B, V);
    EXPECT_EQ(B.Number, 7);
    EXPECT_EQ(B.Block, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(B.SawLoading);
    EXPECT_FALSE(B.InState(TComponentStateItem::Loading));
    EXPECT_EQ(B.LoadedCalls, 1);
    // An unknown name, or a block where a number belongs, is a read error.
    TStoring C(nullptr);
    EXPECT_THROW(ReadDefinedProperties(C, {{"Block", std::vector<std::uint8_t>{9}},
                                           {"Nonsense", std::int64_t{1}}}),
                 EReadError);
    EXPECT_EQ(C.Block, (std::vector<std::uint8_t>{9}));
    EXPECT_EQ(C.LoadedCalls, 1);
    EXPECT_FALSE(C.InState(TComponentStateItem::Loading));
    EXPECT_THROW(ReadDefinedProperties(C, {{"Number", std::vector<std::uint8_t>{1}}}), EReadError);
}

} // namespace
} // namespace fw
