#include "TreeViewTestEnv.h"

#include "LazyTreeEdit.h"

#include "Messages.h"

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

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
    // Either an edit of the focused node runs, with its link and a shown editor, or none.
    void ExpectWholeEditOrNone() {
        if (!Tree->IsEditing()) {
            EXPECT_EQ(Tree->EditLink(), nullptr);
            return;
        }
        ASSERT_NE(Tree->EditLink(), nullptr);
        ASSERT_NE(Tree->FocusedNode(), nullptr);
        ASSERT_NE(Editor(), nullptr);
        EXPECT_TRUE(Editor()->Visible());
        EXPECT_FALSE(dynamic_cast<TStringEditLink*>(Tree->EditLink())->Stopping());
        EXPECT_EQ(dynamic_cast<TStringEditLink*>(Tree->EditLink())->Node(), Tree->FocusedNode());
    }
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

// A text handler that moves the focus while the editor reads the text ends
// the edit that is starting: the start stops there.
TEST_F(EditorTest, AHandlerEndingTheEditWhileItStartsStopsTheStart) {
    auto Base = Tree->OnGetText;
    Tree->OnGetText = [this, Base](TBaseLazyTree* S, PLazyNode N, int C, TLSTTextType T,
                                   std::u16string& X) {
        if (Tree->IsEditing() && Tree->FocusedNode() != Top(2)) Tree->SetFocusedNode(Top(2));
        Base(S, N, C, T, X);
    };
    Tree->EditNode(Top(0), 0);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditLink(), nullptr);
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    fw::ProcessMessages();
    Tree->OnGetText = Base;
    EXPECT_TRUE(Tree->EditNode(Top(1), NoColumn));
    Key(fw::VK_ESCAPE);
    EXPECT_FALSE(Tree->IsEditing());
}

// Whatever a handler does while an edit starts (end, cancel or start an
// edit, move the focus, delete the node, clear the tree), the tree ends up
// either editing the focused node with a link, or not editing at all.
TEST_F(EditorTest, HandlersActingWhileAnEditStarts) {
    // The image index is asked for while the editor is prepared and placed:
    // the handler acts at its first, second, ... call during the edit.
    enum TWhere {
        InGetText,
        InFocusChanged,
        InEditorFocus,
        InCreateEditor,
        InImage,
        WhereCount = InImage + 4
    };
    fw::TImageList Images(nullptr, 16, 16);
    fw::TBitmap Glyph(16, 16);
    Images.AddMasked(Glyph, fw::clFuchsia);
    Tree->SetImages(&Images);
    const std::vector<std::function<void(TBaseLazyTree*)>> Acts = {
        [](TBaseLazyTree* T) { T->EndEditNode(); },
        [](TBaseLazyTree* T) { T->CancelEditNode(); },
        [this](TBaseLazyTree* T) { T->SetFocusedNode(Top(2)); },
        [this](TBaseLazyTree* T) { T->EditNode(Top(2), NoColumn); },
        [](TBaseLazyTree* T) { T->DeleteNode(T->FocusedNode()); },
        [](TBaseLazyTree* T) { T->Clear(); },
    };
    auto Base = Tree->OnGetText;
    for (int Where = 0; Where < WhereCount; ++Where)
        for (std::size_t A = 0; A < Acts.size(); ++A) {
            SCOPED_TRACE(testing::Message() << "where " << Where << " act " << A);
            Tree->SetRootNodeCount(3);
            Tree->SetFocusedNode(Top(2));
            bool Armed = true;
            auto Act = [&] {
                if (Armed) {
                    Armed = false;
                    Acts[A](Tree);
                }
            };
            Tree->OnGetText = [&, Base](TBaseLazyTree* S, PLazyNode N, int C, TLSTTextType T,
                                        std::u16string& X) {
                if (Where == InGetText && Tree->IsEditing()) Act();
                Base(S, N, C, T, X);
            };
            Tree->OnFocusChanged = [&](TBaseLazyTree*, PLazyNode, int) {
                if (Where == InFocusChanged) Act();
            };
            Tree->OnExit = [&](fw::TObject*) {
                if (Where == InEditorFocus) Act();
            };
            Tree->OnCreateEditor = [&](TBaseLazyTree*, PLazyNode, int,
                                       std::shared_ptr<ILTEditLink>& Link) {
                Link = std::make_shared<TStringEditLink>();
                if (Where == InCreateEditor) Act();
            };
            int ImageCalls = 0;
            Tree->OnGetImageIndex = [&](TBaseLazyTree*, PLazyNode, TLTImageKind, int, bool&,
                                        int& Index) {
                Index = 0;
                if (Where >= InImage && Tree->IsEditing() && ++ImageCalls == Where - InImage + 1)
                    Act();
            };
            Tree->EditNode(Top(0), NoColumn);
            fw::ProcessMessages();
            if (Where < InImage) {
                EXPECT_FALSE(Armed);
            }
            ExpectWholeEditOrNone();
            Tree->OnGetText = Base;
            Tree->OnFocusChanged = nullptr;
            Tree->OnExit = nullptr;
            Tree->OnCreateEditor = nullptr;
            Tree->OnGetImageIndex = nullptr;
            Tree->CancelEditNode();
            Tree->SetFocus();
            EXPECT_FALSE(Tree->IsEditing());
            Picture();
        }
}

// Handlers of the end: the new text's handler and OnEdited start another
// edit, delete the node or cancel, while the editor that ended is still on
// the call stack (Enter in the edit window).
TEST_F(EditorTest, HandlersActingWhileAnEditEnds) {
    // Enter in the edit window, or the window losing the focus to the tree.
    auto End = [this](bool ByKey) {
        if (ByKey)
            Key(fw::VK_RETURN);
        else
            Tree->SetFocus();
        fw::ProcessMessages();
    };
    for (int Case = 0; Case < 8; ++Case) {
        const int Act = Case % 4;
        const bool ByKey = Case < 4;
        SCOPED_TRACE(Case);
        Tree->SetRootNodeCount(3);
        auto Run = [this, Act](TBaseLazyTree* T, PLazyNode N) {
            if (Act == 0) T->EditNode(N == Top(2) ? Top(1) : Top(2), NoColumn);
            if (Act == 1) T->DeleteNode(N);
            if (Act == 2) T->CancelEditNode();
            if (Act == 3) T->SetFocusedNode(Top(1));
        };
        bool InText = true;
        auto BaseText = Tree->OnNewText;
        Tree->OnNewText = [&, BaseText](TBaseLazyTree* T, PLazyNode N, int C,
                                        const std::u16string& S) {
            BaseText(T, N, C, S);
            if (std::exchange(InText, false)) Run(T, N);
        };
        bool InEdited = true;
        Tree->OnEdited = [&](TBaseLazyTree* T, PLazyNode N, int) {
            if (N && std::exchange(InEdited, false)) Run(T, N);
        };
        Edit(Top(2));
        fw::TypeTextW(u"new");
        End(ByKey);
        ExpectWholeEditOrNone();
        // A second round: the edit the first handlers started ends the same way.
        if (Tree->IsEditing()) {
            Editor()->SetFocus();
            fw::TypeTextW(u"again");
            End(ByKey);
            ExpectWholeEditOrNone();
        }
        Tree->OnNewText = BaseText;
        Tree->OnEdited = nullptr;
        Tree->CancelEditNode();
        EXPECT_FALSE(Tree->IsEditing());
        EXPECT_EQ(Tree->EditLink(), nullptr);
        Edit(Top(0));
        Key(fw::VK_ESCAPE);
        Picture();
    }
}

// The column being edited goes: the edit is cancelled before it (its handler
// may change the columns) and no index names another column afterwards.
TEST_F(EditorTest, DeletingTheEditedColumnCancelsTheEdit) {
    auto& Columns = Tree->Header()->Columns();
    auto ThreeColumns = [&] {
        Columns.Clear();
        for (int I = 0; I < 3; ++I)
            Columns.Add()->SetWidth(60);
    };
    ThreeColumns();
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
    ASSERT_TRUE(Tree->EditNode(Top(0), 1));
    Columns.Delete(1);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditColumn(), NoColumn);
    EXPECT_EQ(Cancelled, 1);
    // A column before the edited one goes: the edit stays, its column renumbered.
    ASSERT_TRUE(Tree->EditNode(Top(0), 1));
    Columns.Delete(0);
    EXPECT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditColumn(), 0);
    Tree->CancelEditNode();
    // A cancel handler deleting a column itself: the column asked for goes, once.
    ThreeColumns();
    Columns[2].SetText(u"doomed");
    Tree->OnEditCancelled = [&](TBaseLazyTree*, int) {
        ++Cancelled;
        Columns.Delete(0);
    };
    ASSERT_TRUE(Tree->EditNode(Top(0), 2));
    Columns.Delete(2);
    EXPECT_EQ(Columns.Count(), 1);
    EXPECT_NE(Columns[0].Text(), u"doomed");
    EXPECT_FALSE(Tree->IsEditing());
    // Clearing the columns cancels too, and leaves no column index behind.
    Tree->OnEditCancelled = nullptr;
    ThreeColumns();
    Tree->SetFocusedColumn(2);
    ASSERT_TRUE(Tree->EditNode(Top(0), 2));
    Columns.Clear();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditColumn(), NoColumn);
    EXPECT_EQ(Tree->FocusedColumn(), NoColumn);
    Picture();
}

// The focused column moves: an edit in the column it leaves is cancelled (a
// focus handler that refuses keeps both). A resized column takes its editor along.
TEST_F(EditorTest, TheFocusedColumnCancelsTheEditAndAResizeMovesTheEditor) {
    auto& Columns = Tree->Header()->Columns();
    for (int I = 0; I < 3; ++I)
        Columns.Add()->SetWidth(70);
    Tree->Header()->SetOptions(Tree->Header()->Options() | hoVisible);
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->SetFocusedColumn(1);
    ASSERT_TRUE(Tree->EditNode(Top(0), 1));
    fw::TypeTextW(u"dropped");
    Tree->SetFocusedColumn(2);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Cancelled, 1);
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    EXPECT_EQ(Tree->GetText(Top(0), 1), u"0");
    ASSERT_TRUE(Tree->EditNode(Top(0), 2));
    Tree->OnFocusChanging = [](TBaseLazyTree*, PLazyNode, PLazyNode, int, int, bool& Allowed) {
        Allowed = false;
    };
    Tree->SetFocusedColumn(0);
    EXPECT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->FocusedColumn(), 2);
    Tree->OnFocusChanging = nullptr;
    // Resizing a column before the edited one moves the editor by as much.
    const int Left = Editor()->Left();
    Columns[0].SetWidth(100);
    EXPECT_EQ(Editor()->Left(), Left + 30);
    EXPECT_EQ(Editor()->Left(), Tree->GetDisplayRect(Top(0), 2, true, true).Left);
    // A resize handler that ends the edit first.
    Tree->OnColumnResize = [this](TLTHeader*, int) { Tree->EndEditNode(); };
    Columns[1].SetWidth(40);
    EXPECT_FALSE(Tree->IsEditing());
    Tree->OnColumnResize = nullptr;
}

// A text handler that throws as the edit ends: the edit stayed half stopped,
// so deleting its node could not cancel it and the editor read the freed node.
TEST_F(EditorTest, AThrowingTextHandlerLeavesTheEditRunning) {
    auto BaseText = Tree->OnNewText;
    Tree->OnNewText = [](TBaseLazyTree*, PLazyNode, int, const std::u16string&) {
        throw std::runtime_error("text");
    };
    Edit(Top(2));
    fw::TypeTextW(u"new");
    EXPECT_THROW(Key(fw::VK_RETURN), std::runtime_error);
    ExpectWholeEditOrNone();
    EXPECT_EQ(Editor()->WideText(), u"new");
    Tree->OnNewText = BaseText;
    Tree->DeleteNode(Top(2));
    EXPECT_FALSE(Tree->IsEditing());
    fw::ProcessMessages();
}

} // namespace
} // namespace vel
