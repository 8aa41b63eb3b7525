#include "TSDropDown.h"

#include "ExtCtrls.h"
#include "FormTestEnv.h"
#include "Messages.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

// A grid stand-in for the hooks: a panel window with an open list.
struct TFakeOwner : TtsDropDownOwner {
    fw::TWinControl* Window = nullptr;
    fw::TWinControl* Editor = nullptr;
    fw::TWinControl* List = nullptr;
    bool Open = true;
    bool MayClose = true;
    std::vector<TFakeOwner*>* ClosedLog = nullptr;
    fw::HWND GridWindow() override { return Window->Handle(); }
    fw::HWND ComboListWindow() override { return nullptr; }
    fw::HWND CellControlWindow() override { return Editor ? Editor->Handle() : nullptr; }
    bool IsDropDownWindow(fw::HWND Wnd) override { return List && Wnd == List->Handle(); }
    bool IsDropDownOpen() override { return Open; }
    bool MayCloseDropDown() override { return MayClose; }
    void CloseDropDown(bool) override {
        Open = false;
        if (ClosedLog) ClosedLog->push_back(this);
        TtsDropDownRegistry::Remove(this);
    }
};

class DropDownTest : public fw::FormTest {
protected:
    fw::TPanel* AddPanel(int X) {
        auto* P = Place<fw::TPanel>(X, 0, 40, 40);
        return P;
    }
    void SetUp() override {
        fw::FormTest::SetUp();
        A.Window = AddPanel(0);
        A.Editor = AddPanel(50);
        A.List = AddPanel(100);
        B.Window = AddPanel(150);
        Outside = AddPanel(200);
        A.ClosedLog = B.ClosedLog = &Closed;
        Show();
    }
    void TearDown() override {
        TtsDropDownRegistry::Remove(&A);
        TtsDropDownRegistry::Remove(&B);
        fw::FormTest::TearDown();
    }
    void PressOn(fw::TControl* C) {
        fw::MouseDownAt(fw::ControlPoint(C, 5, 5));
        fw::MouseUpAt(fw::ControlPoint(C, 5, 5));
    }
    TFakeOwner A, B;
    fw::TPanel* Outside = nullptr;
    std::vector<TFakeOwner*> Closed;
};

TEST_F(DropDownTest, PressesOnTheGridItsEditorOrItsListKeepItOpen) {
    TtsDropDownRegistry::Add(&A);
    PressOn(A.Window);
    PressOn(A.Editor);
    PressOn(A.List);
    EXPECT_TRUE(A.Open);
    PressOn(Outside);
    EXPECT_FALSE(A.Open);
}

TEST_F(DropDownTest, APressOutsideClosesTheNewestFirst) {
    TtsDropDownRegistry::Add(&A);
    TtsDropDownRegistry::Add(&B);
    PressOn(Outside);
    ASSERT_EQ(Closed.size(), 2u);
    EXPECT_EQ(Closed[0], &B);
    EXPECT_EQ(Closed[1], &A);
}

TEST_F(DropDownTest, AGridThatMayNotCloseStopsTheWalk) {
    TtsDropDownRegistry::Add(&A);
    TtsDropDownRegistry::Add(&B);
    B.MayClose = false;
    PressOn(Outside);
    EXPECT_TRUE(Closed.empty());
    // A press on the newest grid's own window stops the walk too.
    B.MayClose = true;
    PressOn(B.Window);
    EXPECT_TRUE(Closed.empty());
}

TEST_F(DropDownTest, ActivationClosesEveryDropDownThatMayClose) {
    TtsDropDownRegistry::Add(&A);
    TtsDropDownRegistry::Add(&B);
    A.MayClose = false;
    fw::SendMessage(Outside->Handle(), fw::WM_NCACTIVATE, 0, 0);
    EXPECT_TRUE(A.Open);
    EXPECT_FALSE(B.Open);
    A.Open = false; // a closed list may always go
    fw::SendMessage(Outside->Handle(), fw::WM_NCACTIVATE, 0, 0);
    ASSERT_EQ(Closed.size(), 2u);
    EXPECT_EQ(Closed[1], &A);
}

TEST_F(DropDownTest, HooksFollowTheRegistry) {
    EXPECT_FALSE(TtsDropDownRegistry::HooksInstalled());
    TtsDropDownRegistry::Add(&A);
    TtsDropDownRegistry::Add(&B);
    EXPECT_TRUE(TtsDropDownRegistry::HooksInstalled());
    TtsDropDownRegistry::Remove(&A);
    EXPECT_TRUE(TtsDropDownRegistry::HooksInstalled());
    TtsDropDownRegistry::Remove(&B);
    EXPECT_FALSE(TtsDropDownRegistry::HooksInstalled());
    EXPECT_FALSE(fw::HasHooks(fw::THookKind::Mouse));
    TtsDropDownRegistry::Add(&A);
    EXPECT_TRUE(TtsDropDownRegistry::HooksInstalled());
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(DropDownTest, DropDownWindowIsAChildMarkedPopUpOfItsOwner) {
    auto* Drop = fw::Create<TtsDropDownForm>(Form.get());
    Drop->SetBounds(10, 10, 50, 40);
    fw::HWND Wnd = Drop->Handle();
    EXPECT_EQ(fw::GetWindowStyle(Wnd), fw::WS_CHILD);
    EXPECT_EQ(fw::GetWindowOwner(Wnd), Form->Handle());
    std::uint32_t DuringSize = 0xFFFFFFFF;
    Drop->OnResize = [&](fw::TObject*) { DuringSize = fw::GetWindowStyle(Wnd); };
    Drop->SetBounds(10, 10, 60, 40);
    EXPECT_EQ(DuringSize & fw::WS_CHILD, 0u);
    EXPECT_EQ(fw::GetWindowStyle(Wnd), fw::WS_CHILD);
}

} // namespace
} // namespace vel
