#include "TreeViewTestEnv.h"

#include "LazyTreeEdit.h"

#include "Messages.h"

namespace vel {
namespace {

class EditorTest : public TreeViewTest {
protected:
    void SetUp() override {
        TreeViewTest::SetUp();
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toEditable);
        Tree->OnEditCancelled = [this](TBaseLazyTree*, int) { ++Cancelled; };
    }
    TLTEdit* Editor() {
        auto* L = dynamic_cast<TStringEditLink*>(Tree->EditLink());
        return L ? L->Edit() : nullptr;
    }
    void Edit(PLazyNode Node) {
        Tree->SetFocus();
        Tree->SetFocusedNode(Node);
        Key(fw::VK_F2);
        ASSERT_NE(Editor(), nullptr);
    }
    std::u16string Text(PLazyNode Node) { return Tree->GetText(Node, NoColumn); }
    void SetText(PLazyNode Node, const std::u16string& T) { Texts[{Node, NoColumn}] = T; }
    int Cancelled = 0;
};

TEST_F(EditorTest, TextBeyondEightBitsIsEditedWhole) {
    SetText(Top(1), u"\u03a9\u03bb \U0001F600");
    Edit(Top(1));
    EXPECT_EQ(Editor()->WideText(), Text(Top(1)));
    Key(fw::VK_END);
    fw::TypeTextW(u" \u4e2d\u6587");
    Key(fw::VK_RETURN);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Text(Top(1)), u"\u03a9\u03bb \U0001F600 \u4e2d\u6587");
}

TEST_F(EditorTest, TheEditorSitsOnTheTextAndGrowsWithIt) {
    Edit(Top(1));
    const fw::TRect R = Tree->GetDisplayRect(Top(1), NoColumn, true);
    EXPECT_EQ(Editor()->Left(), R.Left);
    EXPECT_EQ(Editor()->Top(), R.Top);
    // The typed text replaces the selected one; the posted adjustment follows it.
    fw::TypeTextW(u"a much longer text");
    fw::ProcessMessages();
    const int Wide = Editor()->TextWidth(u"a much longer text") + 2 * Tree->TextMargin();
    EXPECT_EQ(Editor()->Width(), Wide);
    Key(fw::VK_BACK);
    Key(fw::VK_BACK);
    fw::ProcessMessages();
    EXPECT_LT(Editor()->Width(), Wide);
    // With grid extensions the editor keeps the cell's width.
    Key(fw::VK_ESCAPE);
    EXPECT_EQ(Cancelled, 1);
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toGridExtensions);
    Edit(Top(1));
    const int Before = Editor()->Width();
    fw::TypeTextW(u"another much longer text");
    fw::ProcessMessages();
    EXPECT_EQ(Editor()->Width(), Before);
}

TEST_F(EditorTest, MultiLineNodesEditTheirLinesAndEndWithCtrlEnter) {
    Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode, PLazyNode Node, TLTInternalStates& S) {
        if (Node->Index == 1) S |= ivsMultiline;
    };
    Tree->ReinitNode(nullptr, true);
    SetText(Top(1), u"first");
    Edit(Top(1));
    const std::uint32_t Style = fw::GetWindowStyle(Editor()->Handle());
    EXPECT_TRUE(Style & fw::ES_MULTILINE);
    EXPECT_TRUE(Style & fw::WS_VSCROLL);
    // The whole cell, not only the text.
    EXPECT_EQ(Editor()->Left() + Editor()->Width(), Tree->ClientWidth());
    Key(fw::VK_END);
    Key(fw::VK_RETURN); // a line break
    EXPECT_TRUE(Tree->IsEditing());
    fw::TypeTextW(u"second");
    EXPECT_EQ(Editor()->Lines().size(), 2u);
    Key(fw::VK_RETURN, fw::ssCtrl);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Text(Top(1)), u"first\r\nsecond");
}

TEST_F(EditorTest, AbortingOrLosingTheWindowEndsTheEditByTheOption) {
    Edit(Top(0));
    fw::TypeTextW(u"dropped");
    Tree->AbortEdit();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Cancelled, 1);
    EXPECT_EQ(Text(Top(0)), u"0");
    // The edit window destroyed under the edit: a changed text is accepted.
    Edit(Top(2));
    fw::TypeTextW(u"kept");
    Editor()->DestroyHandle();
    EXPECT_EQ(Text(Top(2)), u"kept");
    Tree->AbortEdit();
    // Without toAutoAcceptEditChange it is not.
    auto* Options = dynamic_cast<TCustomStringTreeOptions*>(Tree->TreeOptions());
    Options->SetStringOptions(Options->StringOptions() & ~toAutoAcceptEditChange);
    Edit(Top(1));
    fw::TypeTextW(u"lost");
    Editor()->DestroyHandle();
    EXPECT_EQ(Text(Top(1)), u"1");
    Tree->AbortEdit();
}

} // namespace
} // namespace vel
