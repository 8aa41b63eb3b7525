#include "uPcMouseTrack.h"

#include "ControlTestEnv.h"
#include "ExtCtrls.h"

#include <cmath>
#include <limits>

namespace vel {
namespace {

using fw::TPoint;

class TrackTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Button = Place<TpcMouseTrackButton>(10, 10, 32, 32);
        Show();
    }
    // Moves the mouse dx pixels right of where the drag keeps the cursor, and
    // lets the cursor's return reach the button.
    void Nudge(int dx) {
        const TPoint ref = Button->ClientToScreen(Button->ReferencePoint());
        fw::MouseMoveTo(TPoint{ref.X + dx, ref.Y});
        fw::ProcessMessages();
    }
    TpcMouseTrackButton* Button = nullptr;
};

TEST_F(TrackTest, ValueClampsToBoundsOnlyWhenMaxIsAboveMin) {
    Button->SetValue(0.000009);
    EXPECT_EQ(Button->Value(), 0.0);
    Button->SetValue(-0.00001);
    EXPECT_EQ(Button->Value(), -0.00001);
    Button->SetValue(1e9); // default bounds 0 and 0: unbounded
    EXPECT_EQ(Button->Value(), 1e9);
    Button->SetMinValue(5);
    EXPECT_EQ(Button->Value(), 1e9); // max below min: still unbounded
    Button->SetMaxValue(10);
    EXPECT_EQ(Button->Value(), 10.0);
    Button->SetValue(-3);
    EXPECT_EQ(Button->Value(), 5.0);
    Button->SetValue(std::nan(""));
    EXPECT_EQ(Button->Value(), 5.0);
    int events = 0;
    Button->OnTracking = [&](fw::TObject*) { ++events; };
    Button->OnTracked = [&](fw::TObject*) { ++events; };
    Button->SetValue(7);
    Button->SetValue(7);
    EXPECT_EQ(events, 0);
}

TEST_F(TrackTest, DragHidesTheCursorStepsByGranularityAndReturnsToThePress) {
    Button->SetGranularity(0.25);
    Button->SetPrecision(0.5);
    int tracking = 0, tracked = 0;
    Button->OnTracking = [&](fw::TObject*) { ++tracking; };
    Button->OnTracked = [&](fw::TObject*) { ++tracked; };
    const TPoint press = fw::ControlPoint(Button, 5, 6);
    fw::MouseDownAt(press);
    EXPECT_TRUE(Button->Tracking());
    EXPECT_EQ(fw::CursorCounter(), -1);
    EXPECT_EQ(fw::GetCursorPos(), (TPoint{960, 540}));
    EXPECT_EQ(Button->ReferencePoint(), Button->ScreenToClient(TPoint{960, 540}));
    EXPECT_EQ(Button->PressScreenPoint(), press);
    fw::ProcessMessages(); // the cursor's jump to the centre arrives: no step
    Nudge(1);              // 0.25
    Nudge(1);              // 0.5 rounds to even: 0
    EXPECT_EQ(tracking, 0);
    EXPECT_EQ(fw::GetCursorPos(), (TPoint{960, 540})); // put back after every move
    Nudge(1);                                          // 0.75 rounds to 1
    EXPECT_EQ(tracking, 1);
    EXPECT_EQ(Button->Value(), 0.5);
    EXPECT_DOUBLE_EQ(Button->Accumulator(), -0.25);
    Nudge(-10); // -2.75 rounds to -3
    EXPECT_EQ(Button->Value(), -1.0);
    EXPECT_EQ(tracking, 2);
    Nudge(0); // no vertical effect and no horizontal movement
    EXPECT_EQ(tracking, 2);
    fw::MouseUpAt(fw::GetCursorPos());
    EXPECT_FALSE(Button->Tracking());
    EXPECT_EQ(tracked, 1);
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCursorPos(), press);
    EXPECT_EQ(fw::GetCapture(), nullptr);
    EXPECT_DOUBLE_EQ(Button->Accumulator(), 0.25); // the fraction carries into the next drag
    Button->SetGranularity(std::numeric_limits<double>::infinity());
    fw::MouseDownAt(press);
    Nudge(0); // 0 x infinity is no number: no step, and none left over
    Nudge(2);
    EXPECT_EQ(Button->Value(), -1.0);
    EXPECT_EQ(Button->Accumulator(), 0.0);
    fw::MouseUpAt(fw::GetCursorPos());
}

TEST_F(TrackTest, RightPressesDisabledButtonsAndLostCapturesTrackNothing) {
    int tracked = 0;
    Button->OnTracked = [&](fw::TObject*) { ++tracked; };
    fw::MouseDownAt(fw::ControlPoint(Button, 5, 5), fw::mbRight);
    EXPECT_FALSE(Button->Tracking());
    fw::MouseUpAt(fw::ControlPoint(Button, 5, 5), fw::mbRight);
    fw::MouseDownAt(fw::ControlPoint(Button, 5, 5));
    ASSERT_TRUE(Button->Tracking());
    fw::SetCapture(Form->Handle()); // someone else takes the mouse
    EXPECT_FALSE(Button->Tracking());
    EXPECT_EQ(fw::CursorCounter(), 0);
    fw::MouseUpAt(fw::ControlPoint(Button, 5, 5));
    EXPECT_EQ(tracked, 0);
    fw::ReleaseCapture();
    fw::MouseDownAt(fw::ControlPoint(Button, 5, 5));
    Button->SetEnabled(false);
    EXPECT_FALSE(Button->Tracking());
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCapture(), nullptr);
}

TEST_F(TrackTest, DestroyingTheButtonMidDragShowsTheCursor) {
    fw::MouseDownAt(fw::ControlPoint(Button, 5, 5));
    ASSERT_EQ(fw::CursorCounter(), -1);
    fw::Free(Button);
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCapture(), nullptr);
}

TEST_F(TrackTest, CursorCounterBalancesAfterAnySequence) {
    ExpectCursorBalanced(Button, Form.get(), 5, 40, 4, [this] { return Button->Tracking(); });
}

// Four 8 x 8 images in the colours below.
std::unique_ptr<fw::TImageList> MakeList(fw::TComponent* owner) {
    return ColourList(owner, 8, {fw::clRed, fw::clLime, fw::clBlue, fw::clYellow});
}

TEST_F(TrackTest, PaintsTheImageOfTheDragDirectionCentred) {
    auto list = MakeList(nullptr);
    Button->SetImageList(list.get());
    Button->SetIdleIndex(0);
    Button->SetRightIndex(1);
    Button->SetLeftIndex(2);
    Button->SetDisabledIndex(3);
    fw::TSurface s;
    fw::PaintControlTo(Button, s);
    EXPECT_EQ(s.Pixel(12, 12), fw::ColorToPixel32(fw::clRed)); // (32 - 8) / 2 = 12
    EXPECT_NE(s.Pixel(11, 12), fw::ColorToPixel32(fw::clRed));
    EXPECT_EQ(Button->LastImage(), 0);
    fw::MouseDownAt(fw::ControlPoint(Button, 5, 5));
    fw::ProcessMessages();
    Nudge(1); // the step changes the image: painted at once
    EXPECT_EQ(Button->LastImage(), 1);
    Nudge(-3);
    EXPECT_EQ(Button->LastImage(), 2);
    Button->SetEnabled(false);
    EXPECT_EQ(Button->CurrentImage(), 3);
    Button->SetAutoSize(true);
    EXPECT_EQ(Button->Width(), 8);
    list.reset(); // freed: the button lets go
    EXPECT_EQ(Button->ImageList(), nullptr);
    fw::PaintControlTo(Button, s); // a frame without a list
    EXPECT_EQ(s.Pixel(0, 0), fw::ColorToPixel32(fw::clBlack));
}

TEST_F(TrackTest, AnOwnedListIsFreedWhenReplaced) {
    fw::TImageList* owned = fw::Create<fw::TImageList>(Button);
    Button->SetImageList(owned);
    EXPECT_EQ(Button->ComponentCount(), 1);
    Button->SetImageList(nullptr);
    EXPECT_EQ(Button->ComponentCount(), 0);
}

class TrackerTest : public TrackTest {};

TEST_F(TrackerTest, ReportsMovesFromThePressAndTracksEndlessly) {
    fw::TPanel* client = Place<fw::TPanel>(100, 50, 80, 80);
    TpcMouseTracker tracker(nullptr);
    tracker.SetClient(client);
    std::vector<TPoint> deltas;
    int ups = 0;
    tracker.OnMouseDown = [&](TpcMouseTracker* t, fw::TMouseButton b, fw::TShiftState, int, int) {
        if (b == fw::mbRight) t->SetTracking(true);
    };
    tracker.OnMouseDrag = [&](TpcMouseTracker* t, fw::TMouseButton, fw::TShiftState, int, int) {
        if (t->Pressed()) deltas.push_back(t->Delta());
    };
    tracker.OnMouseUp = [&](TpcMouseTracker*, fw::TMouseButton, fw::TShiftState, int, int) {
        ++ups;
    };
    fw::MouseDownAt(fw::ControlPoint(client, 20, 20), fw::mbRight);
    EXPECT_TRUE(tracker.Tracking());
    EXPECT_EQ(tracker.CaptureWindow(), client->Handle());
    EXPECT_EQ(fw::CursorCounter(), -1);
    fw::MouseMoveTo(fw::ControlPoint(client, 25, 22));
    EXPECT_EQ(fw::GetCursorPos(), fw::ControlPoint(client, 20, 20));
    fw::ProcessMessages(); // the return reports no movement
    fw::MouseMoveTo(fw::ControlPoint(client, 17, 20));
    EXPECT_EQ(deltas, (std::vector<TPoint>{{5, 2}, {0, 0}, {-3, 0}}));
    EXPECT_TRUE(tracker.Moved());
    fw::MouseUpAt(fw::ControlPoint(client, 17, 20), fw::mbRight);
    EXPECT_FALSE(tracker.Tracking());
    EXPECT_FALSE(tracker.Pressed());
    EXPECT_EQ(tracker.UpPoint(), (TPoint{17, 20}));
    EXPECT_EQ(ups, 1);
    EXPECT_EQ(fw::CursorCounter(), 0);
    EXPECT_EQ(fw::GetCursorPos(), fw::ControlPoint(client, 20, 20));
    // A lost capture ends the drag at the next move.
    fw::MouseDownAt(fw::ControlPoint(client, 20, 20), fw::mbRight);
    fw::SetCapture(Form->Handle());
    fw::MouseMoveTo(fw::ControlPoint(client, 30, 30));
    fw::ReleaseCapture();
    fw::MouseMoveTo(fw::ControlPoint(client, 31, 30));
    EXPECT_FALSE(tracker.Tracking());
    EXPECT_EQ(fw::CursorCounter(), 0);
}

TEST_F(TrackerTest, ClientAndTrackerMayGoInEitherOrder) {
    fw::TPanel* client = Place<fw::TPanel>(100, 50, 80, 80);
    {
        TpcMouseTracker tracker(nullptr);
        tracker.SetClient(client);
        fw::MouseDownAt(fw::ControlPoint(client, 5, 5), fw::mbRight);
        tracker.SetTracking(true);
    } // gone mid-drag: the cursor shows again, the client's handlers do nothing
    EXPECT_EQ(fw::CursorCounter(), 0);
    fw::MouseMoveTo(fw::ControlPoint(client, 9, 9));
    fw::MouseUpAt(fw::ControlPoint(client, 9, 9), fw::mbRight);
    TpcMouseTracker tracker(nullptr);
    tracker.SetClient(client);
    tracker.SetTracking(true);
    fw::Free(client);
    EXPECT_EQ(tracker.Client(), nullptr);
    EXPECT_FALSE(tracker.Tracking());
    EXPECT_EQ(fw::CursorCounter(), 0);
}

} // namespace
} // namespace vel
