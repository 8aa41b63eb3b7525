#include "Forms.h"
#include "LazyTreeClipboard.h"
#include "LazyTreeEdit.h"
#include "LazyTreeHint.h"
#include "Messages.h"
#include "Screen.h"
#include "ScrollBars.h"
#include "TestPaths.h"
#include "Timers.h"
#include "TreeViewTestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace vel {
namespace {

// A string tree that paints its text as a solid block, so that geometry is testable.
class TBlockTree : public TLazyStringTree {
public:
    using TLazyStringTree::TLazyStringTree;
    void DoPaintNode(TLTPaintInfo& Info) override {
        ++Painted;
        Info.Canvas->Brush().SetColor(fw::clRed);
        const int Left = Info.ContentRect.Left + TextMargin();
        Info.Canvas->FillRect({Left, 4, Left + Info.NodeWidth, 8});
    }
    int DoGetNodeWidth(PLazyNode, int, fw::TCanvas*) override { return BlockWidth; }
    int Painted = 0;
    int BlockWidth = 20;
};

// Three top-level nodes "0", "1", "2"; the first two have two children each.
class ViewTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = Place<TBlockTree>(0, 0, 200, 150);
        Tree->SetColor(fw::clWhite);
        Tree->OnInitNode = [](TBaseLazyTree* T, PLazyNode Parent, PLazyNode Node,
                              TLTInternalStates& States) {
            if (!Parent && Node->Index < 2) States |= ivsHasChildren;
            (void)T;
        };
        Tree->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 2; };
        Tree->OnGetText = [this](TBaseLazyTree*, PLazyNode Node, int Column, TLSTTextType,
                                 std::u16string& Text) {
            auto It = Texts.find(Node);
            if (It != Texts.end() && Column <= 0) {
                Text = It->second;
                return;
            }
            Text = std::u16string(1, static_cast<char16_t>(u'0' + Node->Index));
            if (Column > 0) Text += u"c" + std::u16string(1, static_cast<char16_t>(u'0' + Column));
        };
        Tree->OnNewText = [this](TBaseLazyTree*, PLazyNode Node, int, const std::u16string& T) {
            Texts[Node] = T;
            ++NewTexts;
        };
        Tree->SetRootNodeCount(3);
        Show();
        Tree->SetFocus();
    }
    PLazyNode Top(int I) { return TopNode(*Tree, I); }
    void Key(std::uint16_t K, fw::TShiftState Shift = 0) { fw::PressKey(K, Shift); }
    void Click(int X, int Y, fw::TShiftState Shift = 0) { ClickOn(Tree, X, Y, Shift); }
    std::vector<PLazyNode> Selection() { return SelectedNodes(*Tree); }
    TBlockTree* Tree = nullptr;
    std::map<PLazyNode, std::u16string> Texts;
    int NewTexts = 0;
};

// --- painting -----------------------------------------------------------------------

TEST_F(ViewTest, PaintsRowsLinesButtonsAndSelection) {
    Tree->SetExpanded(Top(0), true);
    Tree->SetFocusedNode(Top(0));
    Tree->SetSelected(Top(0), true);
    Tree->Painted = 0;
    fw::TBitmap B(200, 150);
    Tree->PaintTree(B.Canvas(), {0, 0, 200, 150}, {0, 0},
                    ipDrawSelection | ipDrawFocusRect | ipGridLines);
    B.SaveToFile(fw::PicturePath("lazytree_paint.png"));
    // Row 0 (0..17): level 0 with the root shown: one indent of 18, button centred in it.
    EXPECT_EQ(fw::ColorToRGB(B.Canvas().Pixels(4, 5)), fw::ColorToRGB(fw::clBtnShadow)); // frame
    EXPECT_EQ(B.Canvas().Pixels(6, 9), fw::clBlack); // minus bar
    EXPECT_EQ(B.Canvas().Pixels(8, 7), fw::clWhite); // no plus bar: expanded
    // The collapsed second top-level node shows a plus.
    EXPECT_EQ(B.Canvas().Pixels(8, 54 + 7), fw::clBlack);
    // Text block of row 0: content at 18 + Margin 4, text at + TextMargin 4.
    EXPECT_EQ(B.Canvas().Pixels(26, 5), fw::clRed);
    EXPECT_EQ(B.Canvas().Pixels(45, 5), fw::clRed);
    EXPECT_NE(B.Canvas().Pixels(46, 5), fw::clRed);
    // The selection fills the text rectangle (22 .. 22 + 20 + 8) in the focused colour.
    EXPECT_EQ(fw::ColorToRGB(B.Canvas().Pixels(24, 12)), fw::ColorToRGB(fw::clHighlight));
    EXPECT_EQ(B.Canvas().Pixels(60, 12), fw::clWhite);
    // Row 1 is a child: its text starts one indent further.
    EXPECT_EQ(B.Canvas().Pixels(44, 18 + 5), fw::clRed);
    EXPECT_NE(B.Canvas().Pixels(43, 18 + 5), fw::clRed);
    // Tree line of the child: vertical dotted line at 18 + 9 in the line colour.
    const fw::TColor Line = fw::ColorToRGB(fw::clBtnShadow);
    int Dots = 0;
    for (int Y = 18; Y < 36; ++Y)
        Dots += fw::ColorToRGB(B.Canvas().Pixels(27, Y)) == Line;
    EXPECT_GE(Dots, 8); // every other pixel of the 18-pixel row
    EXPECT_LE(Dots, 9);
    // Below the five rows the tree colour.
    EXPECT_EQ(B.Canvas().Pixels(100, 140), fw::clWhite);
    EXPECT_EQ(Tree->Painted, 5);
}

TEST_F(ViewTest, OffsetsFollowASizeChangeMadeWhileTheTreeHasNoWindow) {
    // A tree without a window, scrolled while small, then made large enough
    // for its rows: nothing is left scrolled away.
    auto* Hidden = Place<TLazyStringTree>(0, 0, 200, 40);
    Hidden->SetRootNodeCount(6);
    ASSERT_FALSE(Hidden->HandleAllocated());
    Hidden->ScrollIntoView(Hidden->GetLast(), false);
    ASSERT_LT(Hidden->OffsetY(), 0);
    Hidden->SetBounds(0, 0, 200, 400);
    EXPECT_EQ(Hidden->OffsetY(), 0);
    Hidden->SetBounds(0, 0, 200, 40);
    Hidden->SetOffsetY(-1000);
    Hidden->SetBounds(0, 0, 200, 60); // still too small: the offset is cut to the content
    EXPECT_EQ(Hidden->OffsetY(), Hidden->RowAreaHeight() - 6 * 18);
}

TEST_F(ViewTest, PaintsOnlyTheRowsInTheWindow) {
    Tree->Painted = 0;
    fw::TBitmap B(200, 18);
    Tree->PaintTree(B.Canvas(), {0, 18, 200, 36}, {0, 0}, 0);
    EXPECT_EQ(Tree->Painted, 1);
    EXPECT_EQ(B.Canvas().Pixels(26, 5), fw::clRed);
}

TEST_F(ViewTest, HeaderIsPaintedAboveTheRows) {
    TLTHeader* H = Tree->Header();
    H->Columns().Add()->SetWidth(120);
    H->Columns().Add()->SetWidth(76); // as wide as the client: no horizontal bar
    H->SetOptions(H->Options() | hoVisible);
    // Inside the 2-pixel client edge.
    ASSERT_EQ(Tree->ClientOffset(), (fw::TPoint{2, 2}));
    EXPECT_EQ(Tree->HeaderRect(), (fw::TRect{0, 0, 196, 17}));
    EXPECT_EQ(Tree->RowAreaHeight(), 146 - 17);
    fw::TBitmap B(200, 150);
    fw::PaintControlTo(Tree, B.Surface());
    B.SaveToFile(fw::PicturePath("lazytree_header.png"));
    // Thick buttons: a light top edge, a dark bottom edge and a face in between.
    EXPECT_EQ(fw::ColorToRGB(B.Canvas().Pixels(2 + 50, 2 + 8)), fw::ColorToRGB(fw::clBtnFace));
    EXPECT_EQ(fw::ColorToRGB(B.Canvas().Pixels(2 + 50, 2 + 16)), fw::ColorToRGB(fw::cl3DDkShadow));
    // The first row sits below the header.
    EXPECT_EQ(B.Canvas().Pixels(2 + 26, 2 + 17 + 5), fw::clRed);
}

// Rows measure from the header's bottom everywhere: display rectangles, repaints,
// scrolling and hit tests.
TEST_F(ViewTest, RowPositionsStartBelowTheHeader) {
    TLTHeader* H = Tree->Header();
    H->Columns().Add()->SetWidth(200);
    H->SetOptions(H->Options() | hoVisible);
    Tree->SetBounds(0, 0, 200, 100);
    Tree->SetExpanded(Top(0), true);
    Tree->SetExpanded(Top(1), true); // seven rows of 18, more than the 83-pixel row area
    Tree->SetOffsetY(0);             // undo the scroll that opening brought
    fw::ProcessMessages();
    const int HeaderBottom = Tree->HeaderRect().Bottom;
    ASSERT_EQ(HeaderBottom, 17);

    fw::TRect R = Tree->GetDisplayRect(Top(0), NoColumn, false);
    EXPECT_EQ(R.Top, HeaderBottom);
    EXPECT_EQ(R.Bottom, HeaderBottom + 18);
    EXPECT_EQ(Tree->GetTopNode(), Top(0));

    // A repaint of the first row covers that row, not the header.
    ASSERT_TRUE(Form->UpdateRect().IsEmpty());
    Tree->InvalidateNode(Top(0));
    const int Frame = Tree->ClientOffset().Y; // the form's surface has the tree's frame above the client
    EXPECT_EQ(Form->UpdateRect().Top, Frame + HeaderBottom);
    EXPECT_EQ(Form->UpdateRect().Bottom, Frame + HeaderBottom + 18);
    fw::ProcessMessages();

    // The last row is fully inside the row area, and the scroll stops there.
    PLazyNode Last = Tree->GetLastVisible();
    EXPECT_TRUE(Tree->ScrollIntoView(Last, false));
    R = Tree->GetDisplayRect(Last, NoColumn, false);
    EXPECT_EQ(R.Bottom, Tree->ClientHeight());
    EXPECT_GE(R.Top, HeaderBottom);
    EXPECT_EQ(Tree->OffsetY(), Tree->RowAreaHeight() - 7 * 18);
    Tree->SetOffsetY(-1000);
    EXPECT_EQ(Tree->OffsetY(), Tree->RowAreaHeight() - 7 * 18);

    // Hit tests find the node whose display rectangle holds the point.
    THitInfo Info;
    Tree->GetViewHitTestInfoAt(30, R.Top + 1, Info);
    EXPECT_EQ(Info.HitNode, Last);
    Tree->GetViewHitTestInfoAt(30, R.Top - 1, Info);
    EXPECT_EQ(Info.HitNode, Tree->GetPreviousVisible(Last));
    int NodeTop = 0;
    EXPECT_EQ(Tree->GetNodeAt(0, R.Bottom - 1, true, NodeTop), Last);
    EXPECT_EQ(NodeTop, R.Top);

    // Scrolling a node above the row area back in puts it right below the header.
    Tree->ScrollIntoView(Top(0), false);
    EXPECT_EQ(Tree->GetDisplayRect(Top(0), NoColumn, false).Top, HeaderBottom);
    PLazyNode Second = Tree->GetNextVisible(Top(0));
    Tree->SetTopNode(Second);
    EXPECT_EQ(Tree->GetDisplayRect(Second, NoColumn, false).Top, HeaderBottom);
    EXPECT_EQ(Tree->GetTopNode(), Second);
}

TEST_F(ViewTest, NewTreeHasTheWindowColourNotItsParents) {
    auto* Fresh = fw::Create<TLazyStringTree>(Form.get());
    EXPECT_EQ(Fresh->Color(), fw::clWindow);
    EXPECT_FALSE(Fresh->ParentColor());
    Fresh->SetParent(Form.get()); // the form is button-faced
    ASSERT_NE(Form->Color(), fw::clWindow);
    EXPECT_EQ(Fresh->Color(), fw::clWindow);
    Form->SetColor(fw::clRed);
    EXPECT_EQ(Fresh->Color(), fw::clWindow);
}

// --- keyboard -----------------------------------------------------------------------

TEST_F(ViewTest, DownMovesFocusAndKeepsOneSelectedNode) {
    Key(fw::VK_DOWN);
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
    Key(fw::VK_DOWN);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(1)}));
    EXPECT_EQ(Tree->RangeAnchor(), Top(1));
    Key(fw::VK_UP);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
}

TEST_F(ViewTest, ShiftArrowsExtendAndShrinkTheSelection) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Key(fw::VK_DOWN);
    Key(fw::VK_DOWN, fw::ssShift);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0), Top(1)}));
    Key(fw::VK_UP, fw::ssShift);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
}

TEST_F(ViewTest, LeftAndRightCollapseExpandAndClimb) {
    Key(fw::VK_DOWN);
    Key(fw::VK_RIGHT);
    EXPECT_TRUE(Tree->Expanded(Top(0)));
    Key(fw::VK_RIGHT);
    PLazyNode Child = Tree->GetFirstChild(Top(0));
    EXPECT_EQ(Tree->FocusedNode(), Child);
    Key(fw::VK_LEFT);
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
    Key(fw::VK_LEFT);
    EXPECT_FALSE(Tree->Expanded(Top(0)));
    Key(fw::VK_END);
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    Key(fw::VK_HOME);
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
}

TEST_F(ViewTest, CtrlDownScrollsWithoutMovingTheFocus) {
    Tree->SetRootNodeCount(30);
    Key(fw::VK_DOWN);
    Key(fw::VK_DOWN, fw::ssCtrl);
    EXPECT_EQ(Tree->OffsetY(), -static_cast<int>(Tree->DefaultNodeHeight()));
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
}

TEST_F(ViewTest, WheelScrollsThreeRowsPerNotch) {
    Tree->SetRootNodeCount(30);
    Tree->Perform(fw::CM_MOUSEWHEEL,
                  static_cast<fw::WPARAM>(static_cast<std::uint16_t>(-120)) << 16, 0);
    EXPECT_EQ(Tree->OffsetY(), -3 * static_cast<int>(Tree->DefaultNodeHeight()));
}

// --- mouse ------------------------------------------------------------------------

TEST_F(ViewTest, ClickOnTheButtonTogglesWithoutFocusing) {
    Click(9, 9);
    EXPECT_TRUE(Tree->Expanded(Top(0)));
    EXPECT_EQ(Tree->FocusedNode(), nullptr);
    EXPECT_TRUE(Selection().empty());
    Click(9, 9);
    EXPECT_FALSE(Tree->Expanded(Top(0)));
}

TEST_F(ViewTest, ClickOnTheLabelFocusesAndSelects) {
    Click(30, 18 + 9);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(1)}));
    Click(30, 9);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
}

TEST_F(ViewTest, CtrlAndShiftClicksBuildMultiSelections) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Click(30, 9);
    Click(30, 36 + 9, fw::ssCtrl);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0), Top(2)}));
    Click(30, 36 + 9, fw::ssCtrl);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
    // The Ctrl click made the third node the anchor: Shift selects from it.
    Click(30, 9, fw::ssShift);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0), Top(1), Top(2)}));
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
}

TEST_F(ViewTest, HitTestFindsButtonLabelAndSides) {
    THitInfo Info;
    Tree->GetViewHitTestInfoAt(9, 9, Info);
    EXPECT_EQ(Info.HitNode, Top(0));
    EXPECT_TRUE(Info.HitPositions & hpOnItemButton);
    Tree->GetViewHitTestInfoAt(30, 9, Info);
    EXPECT_TRUE(Info.HitPositions & hpOnItemLabel);
    Tree->GetViewHitTestInfoAt(100, 9, Info);
    EXPECT_TRUE(Info.HitPositions & hpOnItemRight);
    Tree->GetViewHitTestInfoAt(30, 120, Info);
    EXPECT_EQ(Info.HitNode, nullptr);
}

// --- editing ----------------------------------------------------------------------

class EditTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toEditable);
        Tree->OnEdited = [this](TBaseLazyTree*, PLazyNode, int) { ++Edited; };
        Tree->OnEditCancelled = [this](TBaseLazyTree*, int) { ++Cancelled; };
    }
    TLTEdit* Editor() {
        auto* L = dynamic_cast<TStringEditLink*>(Tree->EditLink());
        return L ? L->Edit() : nullptr;
    }
    int Edited = 0;
    int Cancelled = 0;
};

TEST_F(EditTest, EnterCommitsTheNewText) {
    ASSERT_TRUE(Tree->EditNode(Top(1), NoColumn));
    ASSERT_NE(Editor(), nullptr);
    EXPECT_TRUE(Editor()->Focused());
    EXPECT_EQ(Editor()->WideText(), u"1");
    // The text rectangle is narrow: the editor is widened to 30 pixels.
    EXPECT_GE(Editor()->Width(), 30);
    fw::TypeText("xy");
    Key(fw::VK_RETURN);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(NewTexts, 1);
    EXPECT_EQ(Texts[Top(1)], u"xy");
    EXPECT_EQ(Edited, 1);
    EXPECT_TRUE(Tree->Focused());
}

TEST_F(EditTest, EscapeCancelsAndKeepsTheText) {
    ASSERT_TRUE(Tree->EditNode(Top(0), NoColumn));
    fw::TypeText("zz");
    Key(fw::VK_ESCAPE);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(NewTexts, 0);
    EXPECT_EQ(Cancelled, 1);
    EXPECT_EQ(Edited, 0);
}

TEST_F(EditTest, UnchangedTextEndsWithoutNewText) {
    ASSERT_TRUE(Tree->EditNode(Top(0), NoColumn));
    EXPECT_TRUE(Tree->EndEditNode());
    EXPECT_EQ(NewTexts, 0);
    EXPECT_EQ(Edited, 1);
}

TEST_F(EditTest, FocusLossCommitsOrDropsByOption) {
    fw::TEdit* Other = Place<fw::TEdit>(0, 160, 50, 20);
    ASSERT_TRUE(Tree->EditNode(Top(0), NoColumn));
    fw::TypeText("a");
    Other->SetFocus();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Texts[Top(0)], u"a");
    auto* Options = dynamic_cast<TCustomStringTreeOptions*>(Tree->TreeOptions());
    ASSERT_NE(Options, nullptr);
    Options->SetStringOptions(Options->StringOptions() & ~toAutoAcceptEditChange);
    Tree->SetFocus();
    ASSERT_TRUE(Tree->EditNode(Top(1), NoColumn));
    fw::TypeText("b");
    Other->SetFocus();
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Texts.count(Top(1)), 0u);
    EXPECT_EQ(Cancelled, 1);
}

TEST_F(EditTest, ReadOnlyAndDisabledDoNotStartButEveryTextIsEditable) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toReadOnly);
    EXPECT_FALSE(Tree->EditNode(Top(0), NoColumn));
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() & ~toReadOnly);
    Top(1)->States |= vsDisabled;
    Tree->SetFocusedNode(Top(1));
    Tree->DoEdit();
    EXPECT_FALSE(Tree->IsEditing());
    // Every UTF-16 text is edited as it is, surrogate pairs included.
    Texts[Top(2)] = u"\u4E2D\U0001F600";
    ASSERT_TRUE(Tree->EditNode(Top(2), NoColumn));
    EXPECT_EQ(Editor()->WideText(), u"\u4E2D\U0001F600");
    Key(fw::VK_END);
    fw::KeyCharW(u'\b'); // the pair goes as one character
    fw::TypeTextW(u"\u00E9\u0416");
    Key(fw::VK_RETURN);
    EXPECT_EQ(Texts[Top(2)], u"\u4E2D\u00E9\u0416");
}

TEST_F(EditTest, SecondClickOnTheFocusedLabelStartsTheEditAfterTheDelay) {
    Tree->SetEditDelay(100);
    Click(30, 9);
    Click(30, 9);
    EXPECT_FALSE(Tree->IsEditing());
    fw::AdvanceClock(150);
    EXPECT_TRUE(Tree->IsEditing());
    Tree->CancelEditNode();
}

// --- clipboard texts ------------------------------------------------------------------

class ClipboardTest : public ViewTest {
protected:
    void Columns() {
        TLTHeader* H = Tree->Header();
        H->Columns().Add()->SetText(u"Name");
        H->Columns().Add()->SetText(u"Size");
    }
};

TEST_F(ClipboardTest, PlainTextIndentsByLevel) {
    Tree->SetExpanded(Top(0), true);
    EXPECT_EQ(RenderText(*Tree, tskVisible, '\t'), "0\r\n\t0\r\n\t1\r\n1\r\n2\r\n");
}

TEST_F(ClipboardTest, CsvWithColumnsFillsLevelsAndQuotes) {
    Columns();
    Tree->SetExpanded(Top(0), true);
    Texts[Top(1)] = u"a,b";
    Texts[Top(2)] = u"say \"hi\"";
    const std::string Csv = RenderText(*Tree, tskVisible, ',');
    EXPECT_EQ(Csv, "Name,,Size\r\n"
                   "0,,0c1\r\n"
                   ",0,0c1\r\n"
                   ",1,1c1\r\n"
                   "\"a,b\",,1c1\r\n"
                   "\"say \"\"hi\"\"\",,2c1\r\n");
    // Unicode text quotes only around the separator and does not double quotes.
    const std::u16string U = RenderUnicodeText(*Tree, tskVisible, u',');
    EXPECT_NE(U.find(u"say \"hi\",,2c1"), std::u16string::npos);
    EXPECT_NE(U.find(u"\"a,b\",,1c1"), std::u16string::npos);
}

TEST_F(ClipboardTest, SelectedOnlyAndHtml) {
    Tree->SetSelected(Top(2), true);
    EXPECT_EQ(RenderText(*Tree, tskSelected, '\t'), "2\r\n");
    const std::string Html = RenderHTML(*Tree, tskSelected);
    EXPECT_NE(Html.find("<table class=\"default\" bgcolor=#FFFFFF"), std::string::npos);
    EXPECT_NE(Html.find(">2</td>"), std::string::npos);
    EXPECT_EQ(Html.substr(Html.size() - 8), "</table>");
}

TEST_F(ClipboardTest, HtmlEnvelopeOffsets) {
    const std::string Empty = WrapHTMLFragment("");
    EXPECT_EQ(Empty.substr(0, 97), "Version:1.0\r\nStartHTML:00000097\r\nEndHTML:00000301\r\n"
                                   "StartFragment:00000269\r\nEndFragment:00000269\r\n");
    EXPECT_EQ(Empty.size(), 301u);
    const std::string W = WrapHTMLFragment("<b>x</b>");
    EXPECT_EQ(W.substr(269, 8), "<b>x</b>");
    EXPECT_EQ(WideToUtf8(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t(0xD800)) + u"a"), "a");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// --- options and colours ------------------------------------------------------------

TEST_F(ViewTest, OptionDefaultsAreTheDocumentedFlags) {
    EXPECT_EQ(Tree->PaintOptions(), toShowButtons | toShowDropmark | toShowRoot | toShowTreeLines |
                                        toThemeAware | toUseBlendedImages);
    EXPECT_EQ(Tree->AutoOptions(), toAutoDropExpand | toAutoScrollOnExpand |
                                       toAutoTristateTracking | toAutoDeleteMovedNodes);
    EXPECT_EQ(Tree->MiscOptions(), toAcceptOLEDrop | toFullRepaintOnResize | toInitOnSave |
                                       toToggleOnDblClick | toWheelPanning);
    EXPECT_EQ(Tree->SelectionOptions(), 0u);
    EXPECT_EQ(Tree->Colors()->HeaderHotColor(), fw::clBtnShadow);
    EXPECT_EQ(Tree->ScrollBarOptions()->ScrollBars(), TScrollStyle::ssBoth);
}

TEST_F(ViewTest, FlatScrollBarsAreRefused) {
    EXPECT_THROW(Tree->ScrollBarOptions()->SetScrollBarStyle(TScrollBarStyle::sbmFlat),
                 ELazyTreeAssertion);
    EXPECT_EQ(Tree->ScrollBarOptions()->ScrollBarStyle(), TScrollBarStyle::sbmRegular);
}

TEST_F(ViewTest, TurningMultiSelectOffEmptiesTheSelection) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    for (int I = 0; I < 3; ++I)
        Tree->SetSelected(Top(I), true);
    ASSERT_EQ(Tree->SelectedCount(), 3);
    Tree->TreeOptions()->SetSelectionOptions(0);
    EXPECT_EQ(Tree->SelectedCount(), 0);
}

TEST_F(ViewTest, SettingAColourToItsValueDoesNotRepaint) {
    fw::ProcessMessages();
    Tree->Painted = 0;
    Tree->Colors()->SetHotColor(Tree->Colors()->HotColor());
    fw::ProcessMessages();
    EXPECT_EQ(Tree->Painted, 0);
    Tree->Colors()->SetHotColor(fw::clRed);
    fw::ProcessMessages();
    EXPECT_GT(Tree->Painted, 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(EditTest, F2StartsEditingTheFocusedNode) {
    Key(fw::VK_DOWN);
    Key(fw::VK_F2);
    ASSERT_TRUE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditColumn(), Tree->FocusedColumn());
    // The editor sits over the row, inside the client area.
    EXPECT_GE(Editor()->Left(), 0);
    EXPECT_LE(Editor()->Left() + Editor()->Width(), Tree->ClientWidth());
    EXPECT_EQ(Editor()->Top(), 0);
    Key(fw::VK_ESCAPE);
    EXPECT_FALSE(Tree->IsEditing());
}

TEST_F(ViewTest, EditLinkMustNotBeNil) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toEditable);
    Tree->OnCreateEditor = [](TBaseLazyTree*, PLazyNode, int, std::shared_ptr<ILTEditLink>&) {};
    try {
        Tree->EditNode(Top(0), NoColumn);
        FAIL() << "no error";
    } catch (const ELazyTreeError& E) {
        EXPECT_EQ(E.HelpContext(), 2000);
        EXPECT_STREQ(E.what(), "Edit link must not be nil.");
    }
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ViewTest, TooltipOnlyForCutCellTextsAndPlacedOverIt) {
    Tree->SetHintMode(hmTooltip);
    Tree->SetShowHint(true);
    // "1" fits: no hint.
    fw::MouseMoveTo(fw::ControlPoint(Tree, 30, 18 + 9));
    fw::AdvanceClock(fw::Application()->HintPause());
    EXPECT_FALSE(fw::HintShowing());
    fw::MouseMoveTo(fw::ControlPoint(Tree, 5, 5));
    Texts[Top(1)] = std::u16string(60, u'w');
    Tree->BlockWidth = 60 * 6 + 2 * Tree->TextMargin();
    TLazyTreeHintWindow Hint(nullptr);
    TLTHintData Data;
    Data.Tree = Tree;
    Data.Node = Top(1);
    const fw::TRect R = Hint.CalcHintRect(300, u"", &Data);
    ASSERT_GT(R.Width(), 0);
    // The inner area starts at (0, 0); the frame is one pixel round it.
    EXPECT_EQ(R.Left, -1);
    EXPECT_EQ(R.Top, -1);
    EXPECT_EQ(R.Width(), 60 * 6 + 2 * Tree->TextMargin() + 2);
    // Shown through the hint request: exactly over the cell's text.
    fw::MouseMoveTo(fw::ControlPoint(Tree, 40, 18 + 9));
    fw::AdvanceClock(fw::Application()->HintPause());
    ASSERT_TRUE(fw::HintShowing());
    fw::THintWindow* W = fw::CurrentHintWindow();
    const fw::TPoint Origin = Tree->ClientToScreen({0, 0});
    // Content at indent 18 + margin 4, less the one-pixel frame; second row.
    EXPECT_EQ(W->Left() - Origin.X, 18 + 4 - 1);
    EXPECT_EQ(W->Top() - Origin.Y, 18 - 1);
}

TEST_F(ViewTest, HintNearTheDesktopCornerMovesOntoIt) {
    TLazyTreeHintWindow Hint(nullptr);
    TLTHintData Data;
    Data.Tree = Tree;
    Tree->SetHintMode(hmHint);
    fw::TRect R = Hint.CalcHintRect(200, u"hello", &Data);
    ASSERT_GT(R.Width(), 0);
    R = fw::OffsetRect(R, fw::ScreenWidth() - 5, fw::ScreenHeight() - 5);
    Hint.ActivateHint(R, u"hello");
    EXPECT_EQ(Hint.Left() + Hint.Width(), fw::ScreenWidth());
    EXPECT_EQ(Hint.Top() + Hint.Height(), fw::ScreenHeight());
    EXPECT_TRUE(Hint.Visible());
    Hint.ActivateHint({}, u"");
    EXPECT_FALSE(Hint.Visible());
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ViewTest, MouseOverALabelMakesItsNodeHot) {
    Tree->TreeOptions()->SetPaintOptions(Tree->PaintOptions() | toHotTrack);
    fw::MouseMoveTo(fw::ControlPoint(Tree, 30, 18 + 9));
    fw::ProcessMessages();
    EXPECT_EQ(Tree->HotNode(), Top(1));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 150, 18 + 9)); // right of the text
    fw::ProcessMessages();
    EXPECT_EQ(Tree->HotNode(), nullptr);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ViewTest, SpaceChecksOnKeyUpAndAnotherKeyCancels) {
    Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toCheckSupport);
    Key(fw::VK_DOWN);
    Tree->SetCheckType(Top(0), ctCheckBox);
    fw::KeyDown(fw::VK_SPACE);
    EXPECT_EQ(Tree->CheckState(Top(0)), csUncheckedPressed);
    fw::KeyUp(fw::VK_SPACE);
    EXPECT_EQ(Tree->CheckState(Top(0)), csCheckedNormal);
    fw::KeyDown(fw::VK_SPACE);
    EXPECT_EQ(Tree->CheckState(Top(0)), csCheckedPressed);
    fw::KeyDown(fw::VK_RIGHT); // any other key: back to normal, no change
    fw::KeyUp(fw::VK_RIGHT);
    fw::KeyUp(fw::VK_SPACE);
    EXPECT_EQ(Tree->CheckState(Top(0)), csCheckedNormal);
}

TEST_F(ViewTest, PageDownMovesAboutOnePageOfRows) {
    Tree->SetRootNodeCount(30);
    Key(fw::VK_DOWN);
    Key(fw::VK_NEXT);
    // 150 pixels of 18-pixel rows: eight rows further.
    EXPECT_EQ(Tree->FocusedNode()->Index, 8u);
    Key(fw::VK_PRIOR);
    EXPECT_EQ(Tree->FocusedNode()->Index, 0u);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ViewTest, TypedCharactersFindNodesUntilTheTimeOut) {
    Tree->SetIncrementalSearch(TBaseLazyTree::TLTIncrementalSearch::isVisibleOnly);
    Tree->SetIncrementalSearchTimeout(500);
    Texts[Top(0)] = u"apple";
    Texts[Top(1)] = u"banana";
    Texts[Top(2)] = u"bandit";
    Key('B'); // key down marks the search pending, its character searches
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    for (std::uint16_t K : {'A', 'N', 'D'})
        Key(K);
    EXPECT_EQ(Tree->FocusedNode(), Top(2));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(2)}));
    EXPECT_EQ(Tree->SearchBuffer(), u"band");
    fw::AdvanceClock(600);
    EXPECT_TRUE(Tree->SearchBuffer().empty());
    EXPECT_FALSE(Tree->TreeStates().Contains(tsIncrementalSearching));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ViewTest, ScrollBarRequestsMoveTheOffsetWithinTheContent) {
    Tree->SetBorderStyle(fw::bsNone); // no frame: the client is the window's 200 x 150
    Tree->SetRootNodeCount(30); // 540 pixels of rows in 150
    auto V = [&](unsigned Code, unsigned Pos = 0) {
        Tree->Perform(fw::WM_VSCROLL, Code | (static_cast<fw::WPARAM>(Pos) << 16), 0);
    };
    V(1);
    EXPECT_EQ(Tree->OffsetY(), -20); // the vertical increment
    V(3);
    EXPECT_EQ(Tree->OffsetY(), -170);
    V(5, 200);
    EXPECT_EQ(Tree->OffsetY(), -200);
    EXPECT_TRUE(Tree->TreeStates().Contains(tsThumbTracking));
    V(8);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsThumbTracking));
    V(7);
    EXPECT_EQ(Tree->OffsetY(), 150 - 540);
    V(6);
    EXPECT_EQ(Tree->OffsetY(), 0);
    // Past the content nothing moves.
    EXPECT_FALSE(Tree->DoSetOffsetXY({0, 10}));
    EXPECT_TRUE(Tree->DoSetOffsetXY({0, -10}));
}

TEST_F(ViewTest, TheWindowScrollBarsFollowTheContentAndScrollIt) {
    Tree->SetBorderStyle(fw::bsNone); // no frame: the client is the window's 200 x 150
    Tree->SetRootNodeCount(30); // 540 pixels of rows in 150
    const fw::HWND Wnd = Tree->Handle();
    fw::TScrollInfo I;
    I.fMask = fw::SIF_ALL;
    ASSERT_TRUE(fw::GetScrollInfo(Wnd, fw::SB_VERT, I));
    EXPECT_EQ(I.nMax, 540);
    EXPECT_EQ(I.nPage, 151u);
    EXPECT_EQ(Tree->ClientWidth(), 200 - fw::GetSystemMetrics(fw::SM_CXVSCROLL));
    // A thumb of 33 in 118 pixels of track: 17 pixels down are 78 of 390 positions.
    fw::MouseDownAt(fw::ControlPoint(Tree, 192, 21));
    fw::MouseMoveTo(fw::ControlPoint(Tree, 192, 38));
    EXPECT_EQ(Tree->OffsetY(), -78);
    EXPECT_TRUE(Tree->TreeStates().Contains(tsThumbTracking));
    fw::MouseUpAt(fw::ControlPoint(Tree, 192, 38));
    EXPECT_FALSE(Tree->TreeStates().Contains(tsThumbTracking));
    EXPECT_EQ(fw::GetScrollPos(Wnd, fw::SB_VERT), 78);
    fw::ClickAt(fw::ControlPoint(Tree, 192, 145)); // the down arrow: one increment
    EXPECT_EQ(Tree->OffsetY(), -98);
    Tree->SetOffsetY(-200); // scrolled by other means, the thumb goes along
    EXPECT_EQ(fw::GetScrollPos(Wnd, fw::SB_VERT), 200);
    // Options without the vertical bar take it away but keep the offset.
    Tree->ScrollBarOptions()->SetScrollBars(TScrollStyle::ssHorizontal);
    EXPECT_EQ(Tree->ClientWidth(), 200);
    EXPECT_EQ(Tree->OffsetY(), -200);
    // Content that fits: no bar, unless always visible (then disabled).
    Tree->ScrollBarOptions()->SetScrollBars(TScrollStyle::ssBoth);
    Tree->SetRootNodeCount(2);
    EXPECT_EQ(Tree->ClientWidth(), 200);
    EXPECT_EQ(Tree->OffsetY(), 0);
    Tree->ScrollBarOptions()->SetAlwaysVisible(true);
    EXPECT_EQ(Tree->ClientRect(), (fw::TRect{0, 0, 184, 134}));
    EXPECT_EQ(fw::ScrollBarLayout(*Tree, fw::SB_VERT).ThumbLength, 0);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(ClipboardFormatsTest, EqualPrioritiesKeepBothInOrder) {
    TClipboardFormatList L;
    TClipboardFormatListEntry A, B, C;
    A.Description = "a", A.Priority = 20, A.FormatEtc.cfFormat = 1;
    B.Description = "b", B.Priority = 10, B.FormatEtc.cfFormat = 2;
    C.Description = "c", C.Priority = 20, C.FormatEtc.cfFormat = 3;
    L.Add(A);
    L.Add(B);
    L.Add(C);
    const auto F = L.ListFormats(tcStringTree);
    ASSERT_EQ(F.size(), 3u);
    EXPECT_EQ(F[0].cfFormat, 2);
    EXPECT_EQ(F[1].cfFormat, 1);
    EXPECT_EQ(F[2].cfFormat, 3);
    ASSERT_NE(L.LookUpFormat("A"), nullptr); // case-insensitive
    EXPECT_EQ(L.LookUpFormat("A")->FormatEtc.cfFormat, 1);
    EXPECT_EQ(L.LookUpFormat("x"), nullptr);
}

TEST_F(ClipboardTest, StringTreesOfferTheirFormatsByPriority) {
    const std::vector<std::string> Allowed{"CSV", "Unicode text", "Plain text"};
    const auto F = ClipboardFormatRegistry().ListFormats(TreeClassOf(*Tree), &Allowed);
    ASSERT_EQ(F.size(), 3u);
    EXPECT_EQ(F[0].cfFormat, ClipboardFormatNumber("CSV"));
    EXPECT_EQ(F[1].cfFormat, 13);
    EXPECT_EQ(F[2].cfFormat, 1);
    const auto Base = ClipboardFormatRegistry().ListFormats(tcBaseTree);
    ASSERT_EQ(Base.size(), 1u);
    EXPECT_EQ(Base[0].cfFormat, ClipboardFormatNumber("Lazy Tree Data"));
    TClipboardFormats Names(Tree);
    EXPECT_EQ(Names.Add("csv"), 0);
    EXPECT_EQ(Names.Add("No such format"), -1);
    EXPECT_EQ(Names.Add("csv"), 0); // duplicates ignored
    EXPECT_EQ(Names.Names().size(), 1u);
}

TEST_F(ClipboardTest, RtfRendersCellsAsUnicodeEscapes) {
    Tree->SetExpanded(Top(0), true);
    Texts[Top(2)] = u"\u00E9";
    const std::string R = RenderRTF(*Tree, tskVisible);
    EXPECT_EQ(
        R.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl{\\f0 Default;}}", 0), 0u);
    EXPECT_NE(R.find("{\\colortbl;\\red0\\green0\\blue0;}"), std::string::npos);
    // The first cell opens font, colour and size; later cells only write the text.
    EXPECT_NE(R.find("\\pard\\intbl\\f0\\cf1\\fs16 \\u48\\'3f\\cell\\row"), std::string::npos);
    EXPECT_NE(R.find("\\pard\\intbl\\tab  \\u49\\'3f\\cell\\row"), std::string::npos);
    EXPECT_NE(R.find("\\u233\\'3f"), std::string::npos);
    EXPECT_EQ(R.substr(R.size() - 10), "\\pard\\par}");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(EditTest, AHandlerThatThrowsLeavesNoHalfStartedEdit) {
    Tree->OnGetText = [](TBaseLazyTree*, PLazyNode, int, TLSTTextType, std::u16string&) {
        throw std::runtime_error("text source gone");
    };
    EXPECT_THROW(Tree->EditNode(Top(0), NoColumn), std::runtime_error);
    EXPECT_FALSE(Tree->IsEditing());
    EXPECT_EQ(Tree->EditLink(), nullptr);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// --- rubber band, auto-scroll, wheel panning, auto-expand ---------------------------

class ScrollTest : public ViewTest {
protected:
    bool Has(TLazyTreeState S) { return Tree->TreeStates().Contains(S); }
    fw::TPoint At(int X, int Y) { return fw::ControlPoint(Tree, X, Y); }
    void Move(int X, int Y, fw::TShiftState Shift = 0) {
        fw::MouseMoveTo(At(X, Y), Shift);
        fw::ProcessMessages();
    }
    void Many() {
        Tree->SetRootNodeCount(30); // 540 pixels of rows in a 150 pixel window
        Tree->TreeOptions()->SetMiscOptions(Tree->MiscOptions() | toWheelPanning);
    }
};

TEST_F(ScrollTest, RubberBandSelectsTheRowsItCrossesAfterTheThreshold) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->SetSelected(Top(2), true); // a plain press beside the labels starts over
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 5)); // right of the label: no node hit, a band starts
    fw::ProcessMessages();
    EXPECT_TRUE(Has(tsDrawSelPending));
    Move(152, 7, fw::ssLeft);
    EXPECT_TRUE(Has(tsDrawSelPending)); // inside the drag threshold
    EXPECT_TRUE(Selection().empty());
    Move(30, 40, fw::ssLeft);
    EXPECT_TRUE(Has(tsDrawSelecting));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0), Top(1), Top(2)}));
    Move(30, 10, fw::ssLeft); // shrinking the band gives the rows back
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
    fw::MouseUpAt(At(30, 10));
    fw::ProcessMessages();
    EXPECT_FALSE(Has(tsDrawSelecting));
    EXPECT_FALSE(Has(tsDrawSelPending));
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
}

TEST_F(ScrollTest, RubberBandWithCtrlTogglesAndMissesRowsBesideTheText) {
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->SetSelected(Top(1), true);
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 5), fw::mbLeft, fw::ssCtrl);
    fw::ProcessMessages();
    Move(30, 30, fw::ssLeft | fw::ssCtrl);
    EXPECT_EQ(Selection(), (std::vector<PLazyNode>{Top(0)}));
    fw::MouseUpAt(At(30, 30));
    // A band right of every label selects nothing.
    Tree->ClearSelection();
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 5));
    Move(120, 50, fw::ssLeft);
    EXPECT_TRUE(Selection().empty());
    fw::MouseUpAt(At(120, 50));
    fw::ProcessMessages();
}

TEST_F(ScrollTest, HeldButtonAtTheEdgeScrollsAfterTheDelayUntilItLeavesTheEdge) {
    Many();
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoScroll);
    Tree->SetAutoScrollDelay(300);
    Tree->SetAutoScrollInterval(50);
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 60));
    Move(30, 145, fw::ssLeft);
    EXPECT_TRUE(Has(tsScrollPending));
    fw::AdvanceClock(299);
    EXPECT_EQ(Tree->OffsetY(), 0);
    fw::AdvanceClock(1);
    EXPECT_TRUE(Has(tsScrolling));
    EXPECT_EQ(Tree->OffsetY(), -20); // one vertical increment
    fw::AdvanceClock(100);
    EXPECT_EQ(Tree->OffsetY(), -60);
    EXPECT_GT(Tree->SelectedCount(), 3); // the band followed the rows scrolled in
    Move(30, 70, fw::ssLeft);
    EXPECT_FALSE(Has(tsScrolling));
    fw::AdvanceClock(500);
    EXPECT_EQ(Tree->OffsetY(), -60);
    // Below the window the band keeps scrolling, faster with the distance.
    Move(30, 160, fw::ssLeft);
    fw::AdvanceClock(300);
    const int Beyond = 160 - Tree->ClientHeight() + 1; // pixels past the edge, the edge's own included
    EXPECT_EQ(Tree->OffsetY(), -60 - 20 * Beyond);
    fw::MouseUpAt(At(30, 160));
    fw::ProcessMessages();
    EXPECT_FALSE(Has(tsScrolling));
    fw::AdvanceClock(500);
    EXPECT_EQ(Tree->OffsetY(), -60 - 20 * Beyond);
}

TEST_F(ScrollTest, NoAutoScrollWithoutTheOptionOrAtTheTop) {
    Many();
    Tree->TreeOptions()->SetSelectionOptions(toMultiSelect);
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 60));
    Move(100, 145, fw::ssLeft);
    EXPECT_FALSE(Has(tsScrollPending));
    fw::MouseUpAt(At(100, 145));
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoScroll);
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(150, 60));
    Move(100, 2, fw::ssLeft); // already at the top: nothing to scroll
    EXPECT_FALSE(Has(tsScrollPending));
    fw::MouseUpAt(At(100, 2));
    fw::ProcessMessages();
}

TEST_F(ScrollTest, DraggedPanningScrollsByTheDistanceAndEndsOnRelease) {
    Many();
    fw::MouseDownAt(At(100, 75), fw::mbMiddle);
    fw::ProcessMessages();
    ASSERT_TRUE(Has(tsWheelPanning));
    const fw::HWND Window = Tree->PanningWindow();
    EXPECT_TRUE(fw::IsWindow(Window));
    EXPECT_EQ(Tree->PanningCursor(), "LT_MOVENS"); // only vertical scrolling is possible
    // The direction picture lies on the screen centred on the press, without its magenta.
    ASSERT_NE(Tree->PanningImage(), nullptr);
    const fw::TSurface Picture = Tree->PanningImage()->Surface();
    const fw::TPoint Centre = At(100, 75);
    auto OnScreen = [&] {
        fw::TSurface Shot;
        fw::CaptureScreen({Centre.X - 16, Centre.Y - 16, Centre.X + 16, Centre.Y + 16}, Shot);
        int Same = 0, Magenta = 0;
        for (std::size_t I = 0; I < Shot.Pixels.size(); ++I) {
            Magenta += (Shot.Pixels[I] & 0xFFFFFF) == 0xFF00FF;
            Same += (Picture.Pixels[I] & 0xFFFFFF) != 0xFF00FF &&
                    (Shot.Pixels[I] & 0xFFFFFF) == (Picture.Pixels[I] & 0xFFFFFF);
        }
        EXPECT_EQ(Magenta, 0);
        return Same;
    };
    const int Opaque =
        static_cast<int>(std::count_if(Picture.Pixels.begin(), Picture.Pixels.end(),
                                       [](std::uint32_t P) { return (P & 0xFFFFFF) != 0xFF00FF; }));
    EXPECT_EQ(OnScreen(), Opaque);
    Move(160, 120, fw::ssMiddle);
    EXPECT_FALSE(Has(tsWheelScrolling));          // dragged: the release ends it
    EXPECT_EQ(Tree->PanningCursor(), "LT_MOVES"); // no east: nothing to scroll sideways
    fw::AdvanceClock(20);
    EXPECT_EQ(Tree->OffsetY(), -(45 - 8));
    fw::MouseUpAt(At(160, 120), fw::mbMiddle);
    fw::ProcessMessages();
    EXPECT_FALSE(Has(tsWheelPanning));
    EXPECT_FALSE(fw::IsWindow(Window));
    EXPECT_EQ(Tree->PanningWindow(), nullptr);
    EXPECT_EQ(Tree->PanningImage(), nullptr);
    // Gone: the screen there shows the tree's own pixels again.
    fw::TSurface Own;
    Own.SetSize(Tree->Width(), Tree->Height());
    fw::PaintControlTo(Tree, Own);
    fw::TSurface Shot;
    fw::CaptureScreen({Centre.X - 16, Centre.Y - 16, Centre.X + 16, Centre.Y + 16}, Shot);
    const fw::TPoint Inner = Tree->ClientToScreen({0, 0});
    int Differ = 0;
    for (int Y = 0; Y < 32; ++Y)
        for (int X = 0; X < 32; ++X)
            Differ +=
                (Shot.Pixel(X, Y) & 0xFFFFFF) !=
                (Own.Pixel(Centre.X - 16 + X - Inner.X, Centre.Y - 16 + Y - Inner.Y) & 0xFFFFFF);
    EXPECT_EQ(Differ, 0);
    fw::AdvanceClock(100);
    EXPECT_EQ(Tree->OffsetY(), -37);
}

TEST_F(ScrollTest, ClickedPanningRunsUntilTheNextPress) {
    Many();
    fw::ClickAt(At(100, 75), fw::mbMiddle);
    fw::ProcessMessages();
    EXPECT_TRUE(Has(tsWheelScrolling));
    EXPECT_FALSE(Has(tsWheelPanning));
    Move(100, 30);
    EXPECT_EQ(Tree->PanningCursor(), "LT_MOVEN");
    fw::AdvanceClock(20);
    EXPECT_EQ(Tree->OffsetY(), 0); // at the top already
    Move(100, 100);
    fw::AdvanceClock(40);
    EXPECT_EQ(Tree->OffsetY(), -2 * (25 - 8));
    const int Selected = Tree->SelectedCount();
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(At(30, 5)); // the press only ends the panning
    fw::ProcessMessages();
    EXPECT_FALSE(Has(tsWheelScrolling));
    EXPECT_EQ(Tree->SelectedCount(), Selected);
    EXPECT_EQ(Tree->PanningWindow(), nullptr);
    fw::MouseUpAt(At(30, 5));
    fw::ProcessMessages();
}

TEST_F(ScrollTest, LosingTheFocusOrTheTreeEndsThePanning) {
    Many();
    fw::ClickAt(At(100, 75), fw::mbMiddle);
    fw::ProcessMessages();
    const fw::HWND Window = Tree->PanningWindow();
    ASSERT_TRUE(fw::IsWindow(Window));
    Form->SetFocus(); // the form takes the focus from the tree
    fw::ProcessMessages();
    EXPECT_FALSE(Has(tsWheelScrolling));
    EXPECT_FALSE(fw::IsWindow(Window));
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::ClickAt(At(100, 75), fw::mbMiddle);
    fw::ProcessMessages();
    const fw::HWND Second = Tree->PanningWindow();
    ASSERT_TRUE(fw::IsWindow(Second));
    delete Tree; // a tree freed while panning takes its window along
    Tree = nullptr;
    EXPECT_FALSE(fw::IsWindow(Second));
}

TEST_F(ScrollTest, DragTargetExpandsAfterTheDelayUnlessItChangedOrWasFreed) {
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoDropExpand);
    Tree->SetAutoExpandDelay(400);
    Tree->RestartExpandTimer(Top(0));
    fw::AdvanceClock(200);
    Tree->RestartExpandTimer(Top(1)); // a new target starts the delay again
    fw::AdvanceClock(300);
    EXPECT_FALSE(Tree->Expanded(Top(0)));
    EXPECT_FALSE(Tree->Expanded(Top(1)));
    fw::AdvanceClock(100);
    PLazyNode Open = Top(1);
    EXPECT_TRUE(Tree->Expanded(Open));
    // A target deleted while waiting is forgotten, not expanded.
    Tree->RestartExpandTimer(Top(0));
    Tree->DeleteNode(Top(0));
    fw::AdvanceClock(500);
    // Nodes without children never start the timer.
    Tree->RestartExpandTimer(Open->FirstChild);
    fw::AdvanceClock(500);
    EXPECT_FALSE(Tree->Expanded(Open->FirstChild));
}

} // namespace
} // namespace vel
