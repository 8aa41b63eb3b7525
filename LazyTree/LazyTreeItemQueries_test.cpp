#include "LazyTreeItemQueries.h"

#include "ComCtrls.h"
#include "FormTestEnv.h"
#include "LazyStringTree.h"
#include "Messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vel {
namespace {

// Top-level rows "Alpha", "Beta", "Gamma"; Alpha has two children, "Alpha.0"
// and "Alpha.1". What an accessibility client reads through the window.
class ItemQueryTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        Tree = Place<TLazyStringTree>(0, 0, 200, 150);
        Tree->OnInitNode = [](TBaseLazyTree*, PLazyNode Parent, PLazyNode Node,
                              TLTInternalStates& States) {
            if (!Parent && Node->Index == 0) States |= ivsHasChildren;
        };
        Tree->OnInitChildren = [](TBaseLazyTree*, PLazyNode, std::uint32_t& Count) { Count = 2; };
        Tree->OnGetText = [](TBaseLazyTree* T, PLazyNode Node, int, TLSTTextType,
                             std::u16string& Text) {
            static const char16_t* const Names[] = {u"Alpha", u"Beta", u"Gamma"};
            Text = T->GetNodeLevel(Node) > 0 ? u"Alpha." + std::u16string(1, u'0' + Node->Index)
                                             : Names[Node->Index];
        };
        Tree->SetRootNodeCount(3);
        Show();
    }
    PLazyNode Next(fw::WPARAM Code, PLazyNode From = nullptr) {
        return reinterpret_cast<PLazyNode>(fw::SendMessage(
            Tree->Handle(), fw::TVM_GETNEXTITEM, Code, reinterpret_cast<fw::LPARAM>(From)));
    }
    // Text, state and child count of an item; false when the tree refused it.
    bool Item(const void* Node, fw::TTVItemA& Out, char* Buffer = nullptr, int Size = 0) {
        Out = {};
        Out.hItem = static_cast<fw::HTREEITEM>(const_cast<void*>(Node));
        Out.pszText = Buffer;
        Out.cchTextMax = Size;
        return fw::SendMessage(Tree->Handle(), fw::TVM_GETITEMA, 0,
                               reinterpret_cast<fw::LPARAM>(&Out)) != 0;
    }
    std::string Text(PLazyNode Node) {
        char Buffer[64];
        fw::TTVItemA I;
        return Item(Node, I, Buffer, sizeof Buffer) ? Buffer : "(refused)";
    }
    TLazyStringTree* Tree = nullptr;
};

TEST_F(ItemQueryTest, AClientWalksTheRowsAndReadsTheirTexts) {
    PLazyNode Alpha = Next(fw::TVGN_ROOT);
    ASSERT_EQ(Alpha, Tree->GetFirst());
    EXPECT_EQ(Text(Alpha), "Alpha");
    PLazyNode Child = Next(fw::TVGN_CHILD, Alpha);
    EXPECT_EQ(Text(Child), "Alpha.0");
    EXPECT_EQ(Text(Next(fw::TVGN_NEXT, Child)), "Alpha.1");
    EXPECT_EQ(Next(fw::TVGN_NEXT, Next(fw::TVGN_NEXT, Child)), nullptr);
    EXPECT_EQ(Next(fw::TVGN_PARENT, Child), Alpha);
    EXPECT_EQ(Next(fw::TVGN_PARENT, Alpha), nullptr); // the hidden root is nobody's
    PLazyNode Gamma = Next(fw::TVGN_NEXT, Next(fw::TVGN_NEXT, Alpha));
    EXPECT_EQ(Text(Gamma), "Gamma");
    EXPECT_EQ(Text(Next(fw::TVGN_PREVIOUS, Gamma)), "Beta");
    EXPECT_EQ(Next(fw::TVGN_CHILD, Gamma), nullptr);

    // Visible order: Alpha's children show once it is open.
    EXPECT_EQ(Next(fw::TVGN_FIRSTVISIBLE), Alpha);
    EXPECT_EQ(Text(Next(fw::TVGN_NEXTVISIBLE, Alpha)), "Beta");
    Tree->SetExpanded(Alpha, true);
    EXPECT_EQ(Next(fw::TVGN_NEXTVISIBLE, Alpha), Child);
    EXPECT_EQ(Next(fw::TVGN_PREVIOUSVISIBLE, Child), Alpha);
    EXPECT_EQ(Next(fw::TVGN_LASTVISIBLE), Gamma);
    EXPECT_EQ(Next(fw::TVGN_CARET), nullptr);
    Tree->SetFocusedNode(Gamma);
    EXPECT_EQ(Next(fw::TVGN_CARET), Gamma);
    EXPECT_EQ(Next(fw::TVGN_DROPHILITE), nullptr);
    EXPECT_EQ(Next(99, Alpha), nullptr);
}

TEST_F(ItemQueryTest, AnItemTellsItsStateAndChildrenAndItsTextFitsTheBuffer) {
    PLazyNode Alpha = Tree->GetFirst();
    Tree->SetExpanded(Alpha, true);
    Tree->SetFocusedNode(Alpha);
    Tree->SetSelected(Alpha, true);
    fw::TTVItemA I;
    ASSERT_TRUE(Item(Alpha, I));
    EXPECT_EQ(I.cChildren, 2);
    EXPECT_EQ(I.stateMask, 0xFF2Fu);
    EXPECT_EQ(I.state, fw::TVIS_FOCUSED | fw::TVIS_SELECTED | fw::TVIS_EXPANDED);
    EXPECT_EQ(I.iImage, -1);
    Tree->MarkCutCopyNodes();
    ASSERT_TRUE(Item(Alpha, I));
    EXPECT_TRUE(I.state & fw::TVIS_CUT);

    char Small[4];
    std::memset(Small, 'x', sizeof Small);
    ASSERT_TRUE(Item(Tree->GetLast(), I, Small, sizeof Small));
    EXPECT_STREQ(Small, "Gam"); // size less 1, terminated
    ASSERT_TRUE(Item(Tree->GetLast(), I, Small, 0));
    EXPECT_EQ(Small[0], 'G'); // no room: untouched
}

TEST_F(ItemQueryTest, AnItemTellsItsNormalSelectedOverlayAndStateImages) {
    std::vector<int> Columns;
    Tree->OnGetImageIndex = [&](TBaseLazyTree*, PLazyNode Node, TLTImageKind Kind, int Column,
                                bool&, int& Index) {
        Columns.push_back(Column);
        if (Node->Index == 2) return; // Gamma has none
        const int Base = Node->Index == 0 ? 0 : 20; // Beta's overlay and state do not fit 4 bits
        switch (Kind) {
        case ikNormal: Index = Base + 3; break;
        case ikSelected: Index = Base + 4; break;
        case ikOverlay: Index = Base + 5; break;
        case ikState: Index = Base + 9; break;
        }
    };
    PLazyNode Alpha = Tree->GetFirst();
    fw::TTVItemA I;
    ASSERT_TRUE(Item(Alpha, I));
    EXPECT_EQ(I.iImage, 3);
    EXPECT_EQ(I.iSelectedImage, 4);
    EXPECT_EQ(I.state & fw::TVIS_OVERLAYMASK, 5u << 8);
    EXPECT_EQ(I.state & fw::TVIS_STATEIMAGEMASK, 9u << 12);
    EXPECT_EQ(Columns, (std::vector<int>{0, 0, 0, 0})); // the first column is asked
    // An index the four bits cannot carry is left out, not cut to another image.
    ASSERT_TRUE(Item(Alpha->NextSibling, I));
    EXPECT_EQ(I.iImage, 23);
    EXPECT_EQ(I.state & (fw::TVIS_OVERLAYMASK | fw::TVIS_STATEIMAGEMASK), 0u);
    ASSERT_TRUE(Item(Tree->GetLast(), I));
    EXPECT_EQ(I.iImage, -1);
    EXPECT_EQ(I.iSelectedImage, -1);
    EXPECT_EQ(I.state, 0u);
}

TEST_F(ItemQueryTest, ARectangleIsAnsweredForRowsShownAndHandlesTheTreeDoesNotHoldAreRefused) {
    PLazyNode Beta = Tree->GetFirst()->NextSibling;
    fw::TRect R;
    std::memcpy(static_cast<void*>(&R), &Beta, sizeof Beta);
    ASSERT_TRUE(fw::SendMessage(Tree->Handle(), fw::TVM_GETITEMRECT, 1,
                                reinterpret_cast<fw::LPARAM>(&R)));
    EXPECT_EQ(R.Top, 18);
    EXPECT_EQ(R.Bottom, 36);
    PLazyNode Hidden = Tree->GetFirstChild(Tree->GetFirst());
    std::memcpy(static_cast<void*>(&R), &Hidden, sizeof Hidden);
    EXPECT_FALSE(fw::SendMessage(Tree->Handle(), fw::TVM_GETITEMRECT, 0,
                                 reinterpret_cast<fw::LPARAM>(&R)));

    // A handle of another tree, one made up, and none.
    TLazyStringTree* Other = Place<TLazyStringTree>(0, 0, 10, 10);
    Other->SetRootNodeCount(1);
    int Local = 0;
    fw::TTVItemA I;
    for (const void* Stranger : {static_cast<const void*>(Other->GetFirst()),
                                 static_cast<const void*>(&Local), static_cast<const void*>(nullptr)}) {
        EXPECT_FALSE(Item(Stranger, I));
        EXPECT_EQ(Next(fw::TVGN_NEXT, static_cast<PLazyNode>(const_cast<void*>(Stranger))), nullptr);
        std::memcpy(static_cast<void*>(&R), &Stranger, sizeof Stranger);
        EXPECT_FALSE(fw::SendMessage(Tree->Handle(), fw::TVM_GETITEMRECT, 0,
                                     reinterpret_cast<fw::LPARAM>(&R)));
    }
    // Other messages are not queries.
    fw::TMessage M{fw::WM_USER, 0, 0, 0};
    EXPECT_FALSE(AnswerItemQuery(*Tree, M));
}

} // namespace
} // namespace vel
