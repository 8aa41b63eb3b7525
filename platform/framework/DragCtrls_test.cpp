#include "DragCtrls.h"
#include "FormTestEnv.h"
#include "Input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

class DragTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Source = Place<TCustomControl>(0, 0, 100, 100);
        Target = Place<TCustomControl>(150, 0, 100, 100);
        Target->OnDragOver = [this](TObject*, TObject* From, int X, int, int State, bool& Accept) {
            Log.push_back("over " + std::to_string(State));
            Accept = From == Source && X >= 10; // not along the left edge
        };
        Target->OnDragDrop = [this](TObject*, TObject* From, int X, int Y) {
            Log.push_back("drop " + std::to_string(X) + "," + std::to_string(Y));
            EXPECT_EQ(From, Source);
        };
        Source->OnEndDrag = [this](TObject*, TObject* On, int, int) {
            Log.push_back(!On ? "end nowhere" : On == Target ? "end on target" : "end elsewhere");
        };
        Show();
    }
    // Presses on the source and starts a drag that waits for the threshold.
    void Press() {
        MouseDownAt(ControlPoint(Source, 50, 50));
        BeginDrag(Source, false);
    }
    TCustomControl* Source = nullptr;
    TCustomControl* Target = nullptr;
    std::vector<std::string> Log;
};

TEST_F(DragTest, ADragStartsPastTheThresholdAndDropsOnAnAcceptingControl) {
    Press();
    EXPECT_TRUE(DragPending());
    MouseMoveTo(ControlPoint(Source, 53, 52));
    EXPECT_FALSE(Dragging());
    MouseMoveTo(ControlPoint(Source, 60, 50));
    ASSERT_TRUE(Dragging());
    EXPECT_EQ(CurrentDragObject()->Control, Source);
    EXPECT_TRUE(Log.empty()); // the source itself takes no drops
    MouseMoveTo(ControlPoint(Target, 5, 20));
    MouseMoveTo(ControlPoint(Target, 30, 20));
    EXPECT_EQ(CurrentDragObject()->DragTarget, Target);
    MouseUpAt(ControlPoint(Target, 30, 20));
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(Log, (std::vector<std::string>{"over 0", "over 2", "drop 30,20", "end on target"}));
    EXPECT_EQ(GetCaptureControl(), nullptr);
}

TEST_F(DragTest, ARefusedPlaceEscapeOrAFreedTargetDropNothing) {
    Press();
    MouseMoveTo(ControlPoint(Target, 5, 20)); // refused along the edge
    MouseUpAt(ControlPoint(Target, 5, 20));
    EXPECT_EQ(Log, (std::vector<std::string>{"over 0", "over 1", "end nowhere"}));
    Log.clear();
    Press();
    MouseMoveTo(ControlPoint(Target, 30, 20));
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(Dragging());
    EXPECT_EQ(Log, (std::vector<std::string>{"over 0", "over 1", "end nowhere"}));
    Log.clear();
    Press();
    MouseMoveTo(ControlPoint(Target, 30, 20));
    delete Target;
    Target = nullptr;
    MouseUpAt(ControlPoint(Source, 50, 50));
    EXPECT_EQ(Log, (std::vector<std::string>{"over 0", "end nowhere"}));
}

TEST_F(DragTest, AReleaseBeforeTheThresholdIsAnOrdinaryClick) {
    int Ups = 0;
    Source->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++Ups; };
    Press();
    MouseUpAt(ControlPoint(Source, 51, 50));
    EXPECT_FALSE(DragPending());
    EXPECT_EQ(Ups, 1);
    EXPECT_TRUE(Log.empty());
    // A source may hand out its own drag object.
    struct TBones : TDragObject {};
    Source->OnStartDrag = [](TObject*, TDragObject*& Object) { Object = new TBones; };
    BeginDrag(Source, true);
    EXPECT_NE(dynamic_cast<TBones*>(CurrentDragObject()), nullptr);
    CancelDrag();
}

} // namespace
} // namespace fw
