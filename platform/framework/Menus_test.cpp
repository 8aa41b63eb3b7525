#include "Menus.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace fw {
namespace {

TEST(MenuItems, OwnTheirSubItemsInOrder) {
    TMenuItem Root;
    TMenuItem* Open = Root.Add("&Open");
    TMenuItem* Line = Root.Add("-");
    TMenuItem* First = Root.Insert(-5, std::make_unique<TMenuItem>("New"));
    TMenuItem* Last = Root.Insert(99, std::make_unique<TMenuItem>("E&xit"));
    ASSERT_EQ(Root.Count(), 4);
    EXPECT_EQ(Root.Items(0), First);
    EXPECT_EQ(Root.Items(3), Last);
    EXPECT_EQ(Root.Items(4), nullptr);
    EXPECT_EQ(Open->Parent(), &Root);
    EXPECT_TRUE(Line->IsLine());
    EXPECT_FALSE(Open->IsLine());
    // Accelerator markers and case do not count when looking an item up.
    EXPECT_EQ(Root.Find("open"), Open);
    EXPECT_EQ(Root.Find("&EXIT"), Last);
    EXPECT_EQ(Root.Find("Close"), nullptr);

    std::unique_ptr<TMenuItem> Taken = Root.Remove(Open);
    ASSERT_EQ(Taken.get(), Open);
    EXPECT_EQ(Open->Parent(), nullptr);
    EXPECT_EQ(Root.IndexOf(Open), -1);
    EXPECT_EQ(Root.Remove(Open), nullptr);
    TMenuItem Other;
    EXPECT_EQ(Other.Add(std::move(Taken)), Open);
    EXPECT_EQ(Open->Parent(), &Other);
    Root.Delete(0);
    EXPECT_EQ(Root.Count(), 2);
    Root.Clear();
    EXPECT_EQ(Root.Count(), 0);
}

TEST(MenuItems, OnlyEnabledItemsClick) {
    std::vector<TObject*> Clicked;
    TMenuItem Root;
    TMenuItem* Item = Root.Add("Rename", [&](TObject* Sender) { Clicked.push_back(Sender); });
    Item->Click();
    Item->SetEnabled(false);
    Item->Click();
    EXPECT_EQ(Clicked, (std::vector<TObject*>{Item}));
    Root.Add("Plain")->Click(); // no handler: nothing happens
}

TEST(PopupMenus, RecordWhereTheyPoppedUpAndForWhom) {
    TComponent Owner(nullptr);
    auto* Menu = Create<TPopupMenu>(&Owner);
    Menu->Items().Add("Delete");
    std::vector<int> Seen;
    Menu->OnPopup = [&](TPopupMenu* M, int X, int Y) {
        EXPECT_EQ(M, Menu);
        Seen.push_back(M->PopupCount());
        Seen.push_back(X);
        Seen.push_back(Y);
    };
    auto* Target = Create<TComponent>(&Owner);
    Menu->SetPopupComponent(Target);
    Menu->Popup(30, 40);
    EXPECT_EQ(Seen, (std::vector<int>{0, 30, 40}));
    EXPECT_EQ(Menu->PopupCount(), 1);
    EXPECT_EQ(Menu->PopupPoint(), (TPoint{30, 40}));
    EXPECT_EQ(Menu->PopupComponent(), Target);
    // The component going takes the menu's reference with it.
    Free(Target);
    EXPECT_EQ(Menu->PopupComponent(), nullptr);
    EXPECT_EQ(Menu->Items().Find("delete"), Menu->Items().Items(0));
}

} // namespace
} // namespace fw
