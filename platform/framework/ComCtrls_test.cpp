#include "ComCtrls.h"
#include "FormTestEnv.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <vector>

namespace fw {
namespace {

class ComCtrlsTest : public FormTest {
protected:
    TPageControl* MakePages(int Count) {
        auto* P = Place<TPageControl>(0, 0, 200, 100);
        for (int I = 0; I < Count; ++I)
            Create<TTabSheet>(Form.get())->SetPageControl(P);
        return P;
    }
};

TEST_F(ComCtrlsTest, PageControlShowsOnePageAndTellsOnlyOfUserChanges) {
    TPageControl* P = MakePages(3);
    int Changes = 0;
    P->OnChange = [&](TObject* Sender) {
        EXPECT_EQ(Sender, P);
        EXPECT_TRUE(P->Pages(2)->Visible()); // the new page shows before the event
        ++Changes;
    };
    ASSERT_EQ(P->PageCount(), 3);
    EXPECT_EQ(P->ActivePageIndex(), 0); // the first page joining becomes active
    EXPECT_TRUE(P->Pages(0)->Visible());
    EXPECT_FALSE(P->Pages(1)->Visible());
    P->SetActivePageIndex(1);
    EXPECT_EQ(Changes, 0);
    EXPECT_FALSE(P->Pages(0)->Visible());
    EXPECT_TRUE(P->Pages(1)->Visible());
    P->SelectPage(P->Pages(2));
    EXPECT_EQ(Changes, 1);
    P->SelectPage(P->Pages(2)); // already there
    EXPECT_EQ(Changes, 1);
    // Pages of another control are refused.
    TPageControl* Other = MakePages(1);
    P->SetActivePage(Other->Pages(0));
    P->SelectPage(Other->Pages(0));
    EXPECT_EQ(P->ActivePageIndex(), 2);
    EXPECT_EQ(Changes, 1);
}

TEST_F(ComCtrlsTest, TabsSitAboveThePagesAndAClickOnOneShowsItsPage) {
    TPageControl* P = MakePages(3);
    P->Pages(0)->SetCaption("Scene");
    P->Pages(1)->SetCaption("Skeleton");
    P->Pages(2)->SetCaption("Keys");
    int Changes = 0;
    P->OnChange = [&](TObject*) { ++Changes; };
    Show();
    // Side by side, each as wide as its caption needs; the pages below them.
    const TRect Scene = P->TabRect(0), Skeleton = P->TabRect(1), Keys = P->TabRect(2);
    EXPECT_EQ(Scene.Right, Skeleton.Left);
    EXPECT_EQ(Skeleton.Right, Keys.Left);
    EXPECT_GT(Skeleton.Width(), Keys.Width());
    EXPECT_TRUE(P->TabRect(3).IsEmpty());
    EXPECT_GE(P->Pages(0)->Top(), TPageControl::TabHeight);
    EXPECT_LE(P->Pages(0)->Top() + P->Pages(0)->Height(), P->Height());

    AdvanceClock(DoubleClickTime() + 1);
    ClickAt(ControlPoint(P, (Keys.Left + Keys.Right) / 2, (Keys.Top + Keys.Bottom) / 2));
    ProcessMessages();
    EXPECT_EQ(P->ActivePage(), P->Pages(2));
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(P->Pages(2)->Top(), P->Pages(0)->Top()); // every page in the same place
    // A click beside the tabs or on the page picks nothing.
    AdvanceClock(DoubleClickTime() + 1);
    ClickAt(ControlPoint(P, Keys.Right + 10, (Keys.Top + Keys.Bottom) / 2));
    EXPECT_EQ(P->PageAt(Keys.Right + 10, 5), nullptr);
    EXPECT_EQ(P->PageAt(Scene.Left + 1, TPageControl::TabHeight + 10), nullptr);
    ProcessMessages();
    EXPECT_EQ(P->ActivePage(), P->Pages(2));
    EXPECT_EQ(Changes, 1);
}

TEST_F(ComCtrlsTest, PagesLeaveTheirControlCleanly) {
    TPageControl* P = MakePages(2);
    TTabSheet* First = P->Pages(0);
    TTabSheet* Second = P->Pages(1);
    First->SetPageControl(nullptr);
    EXPECT_EQ(P->ActivePage(), nullptr);
    EXPECT_EQ(First->PageIndex(), -1);
    EXPECT_EQ(Second->PageIndex(), 0);
    Free(Second);
    EXPECT_EQ(P->PageCount(), 0);
    First->SetPageControl(P);
    EXPECT_EQ(P->ActivePage(), First);
    // A page outliving its control no longer refers to it.
    First->SetParent(Form.get());
    Free(P);
    EXPECT_EQ(First->PageControl(), nullptr);
    First->SetPageControl(nullptr);
}

TEST_F(ComCtrlsTest, ToolButtonTogglesOnlyWithAllowAllUp) {
    auto* B = Place<TToolButton>(10, 10, 23, 22);
    int Clicks = 0;
    B->OnClick = [&](TObject*) { ++Clicks; };
    B->Click();
    EXPECT_FALSE(B->Down());
    B->SetAllowAllUp(true);
    B->Click();
    EXPECT_TRUE(B->Down());
    B->Click();
    EXPECT_FALSE(B->Down());
    B->SetEnabled(false);
    B->Click();
    EXPECT_FALSE(B->Down());
    EXPECT_EQ(Clicks, 3);
}

} // namespace
} // namespace fw
