#include "Bitmap.h"
#include "Canvas.h"
#include "FormTestEnv.h"
#include "LazyTreeDragDrop.h"
#include "LazyTreeDragImage.h"
#include "Timers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>

namespace vel {
namespace {

class TTextTree : public TLazyStringTree {
public:
    using TLazyStringTree::TLazyStringTree;
    int DoGetNodeWidth(PLazyNode, int, fw::TCanvas*) override { return 40; }
};

// Two trees side by side; A holds "a", "b", "c", B holds "x".
class DragDropTest : public fw::FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        A = MakeTree(0, {u"a", u"b", u"c"});
        B = MakeTree(150, {u"x"});
        Show();
        A->SetFocus();
    }
    TTextTree* MakeTree(int Left, std::vector<std::u16string> Names) {
        auto* T = Place<TTextTree>(Left, 0, 140, 150);
        T->TreeOptions()->SetMiscOptions(T->MiscOptions() | toAcceptOLEDrop);
        T->OnGetText = [this](TBaseLazyTree*, PLazyNode N, int, TLSTTextType,
                              std::u16string& Text) { Text = Texts[N]; };
        T->OnNewText = [this](TBaseLazyTree*, PLazyNode N, int, const std::u16string& Text) {
            Texts[N] = Text;
        };
        T->OnFreeNode = [this](TBaseLazyTree*, PLazyNode N) { Texts.erase(N); };
        T->OnDragAllowed = [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = true; };
        T->OnDragOver = [this](TBaseLazyTree*, TBaseLazyTree*, fw::TShiftState, TDragState State,
                               fw::TPoint, TDropMode, std::uint32_t&, bool& Accept) {
            if (State == dsDragLeave) ++Leaves;
            Accept = true;
        };
        T->OnDragDrop = [this](TBaseLazyTree* Sender, TBaseLazyTree* Source, TLTDataObject* Data,
                               const TFormatArray&, fw::TShiftState, fw::TPoint,
                               std::uint32_t& Effect, TDropMode Mode) {
            DropEffect = Effect;
            DropMode = Mode;
            DropSource = Source;
            PLazyNode Target = Mode == dmNowhere ? nullptr : Sender->DropTargetNode();
            TLTNodeAttachMode Attach = Mode == dmAbove   ? amInsertBefore
                                       : Mode == dmBelow ? amInsertAfter
                                                         : amAddChildLast;
            Sender->ProcessOLEData(Source, Data, Target, Attach, false);
        };
        T->SetRootNodeCount(static_cast<std::uint32_t>(Names.size()));
        int I = 0;
        for (PLazyNode N = T->GetFirst(); N; N = T->GetNextSibling(N))
            Texts[N] = Names[static_cast<std::size_t>(I++)];
        return T;
    }
    // Texts of the tree in order, children in brackets.
    std::u16string Dump(TBaseLazyTree* T, PLazyNode Parent = nullptr) {
        std::u16string R;
        for (PLazyNode N = Parent ? T->GetFirstChild(Parent) : T->GetFirst(); N;
             N = T->GetNextSibling(N)) {
            R += Texts[N];
            if (N->ChildCount) R += u"[" + Dump(T, N) + u"]";
        }
        return R;
    }
    fw::TPoint At(TBaseLazyTree* T, int Row, int X = 30) {
        return fw::ControlPoint(T, X, Row * 18 + 9);
    }
    // Presses on row From of A and drags to Row of To without letting go.
    void StartDrag(int From, TBaseLazyTree* To, int Row, fw::TShiftState Keys = 0) {
        fw::MouseDownAt(At(A, From));
        fw::ProcessMessages();
        fw::MouseMoveTo(At(A, From, 40), fw::ssLeft | Keys);
        fw::MouseMoveTo(At(To, Row), fw::ssLeft | Keys);
        fw::ProcessMessages();
    }
    void Drop(TBaseLazyTree* To, int Row) {
        fw::MouseUpAt(At(To, Row));
        fw::ProcessMessages();
    }

    TTextTree* A = nullptr;
    TTextTree* B = nullptr;
    std::map<PLazyNode, std::u16string> Texts;
    std::uint32_t DropEffect = 0xFF;
    TDropMode DropMode = dmNowhere;
    TBaseLazyTree* DropSource = nullptr;
    int Leaves = 0;
};

TEST_F(DragDropTest, DragWithinTreeMovesOntoNode) {
    StartDrag(0, A, 2);
    EXPECT_TRUE(A->TreeStates().Contains(tsOLEDragging));
    EXPECT_EQ(A->DropTargetNode(), A->GetLast());
    EXPECT_EQ(A->DragManager()->GetDragSource(), A);
    fw::TBitmap Picture;
    Picture.SetSize(140, 60);
    A->PaintTree(Picture.Canvas(), {0, 0, 140, 60}, {0, 0}, ipDrawSelection);
    // The node's width (40) from the content's start at 18 + 4.
    EXPECT_EQ(Picture.Canvas().Pixels(55, 2 * 18 + 3),
              fw::ColorToRGB(A->Colors()->DropTargetColor()));
    // The picture (DragWidth x DragHeight round the held point, cut at the content's start)
    // follows the mouse, the held point staying under it.
    ASSERT_TRUE(A->DragImage()->Visible());
    const fw::TRect Pic = A->DragImage()->GetDragImageRect();
    const fw::TPoint Held = At(A, 0);
    EXPECT_EQ(Pic.Bottom - Pic.Top, 9 + A->DragHeight() / 2);
    EXPECT_EQ(Pic.Right - Pic.Left, 30 + A->DragWidth() / 2);
    // The held point (30, 9) of row 0 is now at the mouse over row 2.
    EXPECT_EQ(Pic.Top, At(A, 2).Y - 9);
    EXPECT_EQ(Pic.Left, Held.X - 30);
    // Only the dragged row shows; the tree's colour around it is transparent.
    EXPECT_GT(A->DragImage()->AlphaAt(40, 9), 0);
    EXPECT_EQ(A->DragImage()->AlphaAt(40, 18 + 9), 0);
    Drop(A, 2);
    EXPECT_FALSE(A->DragImage()->Visible());
    EXPECT_EQ(A->DragImage()->Image(), nullptr);
    EXPECT_EQ(DropEffect, DROPEFFECT_MOVE);
    EXPECT_EQ(DropMode, dmOnNode);
    EXPECT_EQ(DropSource, A);
    EXPECT_EQ(Dump(A), u"bc[a]");
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
    EXPECT_EQ(A->DropTargetNode(), nullptr);
    EXPECT_TRUE(A->DragSelection().empty());
    EXPECT_EQ(fw::GetCapture(), nullptr);
}

TEST_F(DragDropTest, MoveWithoutAutoDeleteKeepsSourceNodes) {
    A->TreeOptions()->SetAutoOptions(A->AutoOptions() & ~toAutoDeleteMovedNodes);
    StartDrag(0, A, 2, fw::ssShift);
    Drop(A, 2);
    EXPECT_EQ(DropEffect, DROPEFFECT_MOVE);
    EXPECT_EQ(Dump(A), u"abc[a]");
}

TEST_F(DragDropTest, DropModesFollowRowHalvesOutsideTheLabel) {
    A->TreeOptions()->SetPaintOptions(A->PaintOptions() | toShowDropmark);
    StartDrag(0, A, 2);
    fw::MouseMoveTo(fw::ControlPoint(A, 120, 2 * 18 + 3), fw::ssLeft);
    EXPECT_EQ(A->LastDropMode(), dmAbove);
    fw::TBitmap Picture;
    Picture.SetSize(140, 60);
    A->PaintTree(Picture.Canvas(), {0, 0, 140, 60}, {0, 0}, ipDrawDropMark);
    EXPECT_EQ(Picture.Canvas().Pixels(10, 2 * 18 + 1),
              fw::ColorToRGB(A->Colors()->DropMarkColor()));
    EXPECT_NE(Picture.Canvas().Pixels(10, 2 * 18 + 16),
              fw::ColorToRGB(A->Colors()->DropMarkColor()));
    fw::MouseMoveTo(fw::ControlPoint(A, 120, 2 * 18 + 15), fw::ssLeft);
    EXPECT_EQ(A->LastDropMode(), dmBelow);
    A->PaintTree(Picture.Canvas(), {0, 0, 140, 60}, {0, 0}, ipDrawDropMark);
    EXPECT_EQ(Picture.Canvas().Pixels(10, 2 * 18 + 16),
              fw::ColorToRGB(A->Colors()->DropMarkColor()));
    fw::MouseMoveTo(fw::ControlPoint(A, 120, 130), fw::ssLeft);
    EXPECT_EQ(A->LastDropMode(), dmNowhere);
    Drop(A, 2);
}

TEST_F(DragDropTest, AutoDeleteSkipsNodesTheDropAlreadyRemoved) {
    A->OnDragDrop = [](TBaseLazyTree* Sender, TBaseLazyTree*, TLTDataObject*, const TFormatArray&,
                       fw::TShiftState, fw::TPoint, std::uint32_t&,
                       TDropMode) { Sender->DeleteNode(Sender->GetFirst()); };
    StartDrag(0, A, 2);
    Drop(A, 2);
    EXPECT_EQ(Dump(A), u"bc");
}

TEST_F(DragDropTest, DraggingNearTheBottomScrolls) {
    A->TreeOptions()->SetAutoOptions(A->AutoOptions() | toAutoScroll);
    A->SetRootNodeCount(30);
    StartDrag(0, A, 5);
    EXPECT_EQ(A->OffsetY(), 0);
    fw::MouseMoveTo(fw::ControlPoint(A, 30, A->ClientHeight() - 3), fw::ssLeft);
    EXPECT_LT(A->OffsetY(), 0);
    fw::PressKey(fw::VK_ESCAPE);
}

TEST_F(DragDropTest, PressOnSelectedNodeKeepsTheSelectionForTheDrag) {
    A->TreeOptions()->SetSelectionOptions(A->SelectionOptions() | toMultiSelect);
    A->AddToSelection(A->GetFirst());
    A->AddToSelection(A->GetNextSibling(A->GetFirst()));
    StartDrag(0, B, 0);
    EXPECT_EQ(A->DragSelection().size(), 2u);
    Drop(B, 0);
    EXPECT_EQ(Dump(B), u"x[ab]");
    // A plain click without a drag keeps only the clicked node.
    A->AddToSelection(A->GetLast());
    fw::MouseDownAt(At(A, 2));
    EXPECT_EQ(A->SelectedCount(), 3);
    fw::MouseUpAt(At(A, 2));
    EXPECT_EQ(A->SelectedCount(), 1);
    EXPECT_TRUE(A->Selected(A->GetLast()));
}

TEST_F(DragDropTest, OptimizedDropMovesTheDraggedNodesThemselves) {
    PLazyNode First = A->GetFirst();
    A->OnDragDrop = [](TBaseLazyTree* Sender, TBaseLazyTree* Source, TLTDataObject* Data,
                       const TFormatArray&, fw::TShiftState, fw::TPoint, std::uint32_t& Effect,
                       TDropMode) {
        EXPECT_TRUE(
            Sender->ProcessOLEData(Source, Data, Sender->DropTargetNode(), amInsertAfter, true));
        Effect = DROPEFFECT_NONE; // moved already: nothing for the source to delete
    };
    StartDrag(0, A, 2);
    Drop(A, 2);
    EXPECT_EQ(Dump(A), u"bca");
    EXPECT_EQ(A->GetLast(), First);
}

TEST_F(DragDropTest, DragOntoOtherTreeCopies) {
    StartDrag(1, B, 0);
    EXPECT_TRUE(B->DragManager()->GetIsDropTarget());
    EXPECT_EQ(B->DragManager()->GetDragSource(), A);
    Drop(B, 0);
    EXPECT_EQ(DropEffect, DROPEFFECT_COPY);
    EXPECT_EQ(DropSource, A);
    EXPECT_EQ(Dump(A), u"abc");
    EXPECT_EQ(Dump(B), u"x[b]");
    EXPECT_FALSE(B->DragManager()->GetIsDropTarget());
}

TEST_F(DragDropTest, LeavingATreeTellsItAndForgetsTheTarget) {
    StartDrag(0, B, 0);
    EXPECT_EQ(Leaves, 1); // A, where the drag began
    EXPECT_TRUE(A->DragImage()->Visible());
    fw::MouseMoveTo(At(A, 1), fw::ssLeft);
    EXPECT_EQ(Leaves, 2);
    EXPECT_FALSE(B->DragManager()->GetIsDropTarget());
    EXPECT_EQ(B->DropTargetNode(), nullptr);
    EXPECT_EQ(A->DragManager()->CurrentTarget(), A);
    Drop(A, 1);
}

TEST_F(DragDropTest, ASourceDestroyedMidDragLeavesTheTarget) {
    StartDrag(0, B, 0);
    ASSERT_TRUE(B->DragManager()->GetIsDropTarget());
    delete A;
    A = nullptr;
    EXPECT_FALSE(B->DragManager()->GetIsDropTarget());
    EXPECT_EQ(B->DragManager()->GetDragSource(), nullptr);
    EXPECT_EQ(B->DropTargetNode(), nullptr);
    fw::MouseUpAt(At(B, 0));
    EXPECT_EQ(Dump(B), u"x");
}

TEST_F(DragDropTest, RefusedDropsChangeNothing) {
    B->OnDragOver = nullptr;
    bool Dropped = false;
    B->OnDragDrop = [&](auto&&...) { Dropped = true; };
    StartDrag(0, B, 0);
    Drop(B, 0);
    EXPECT_FALSE(Dropped);
    EXPECT_EQ(Dump(B), u"x");
    // A tree that takes no drops is never a target.
    B->OnDragOver = A->OnDragOver;
    B->TreeOptions()->SetMiscOptions(B->MiscOptions() & ~toAcceptOLEDrop);
    StartDrag(0, B, 0);
    EXPECT_EQ(A->DragManager()->CurrentTarget(), nullptr);
    Drop(B, 0);
    EXPECT_FALSE(Dropped);
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
}

TEST_F(DragDropTest, EscapeCancelsTheDrag) {
    StartDrag(0, A, 2);
    fw::PressKey(fw::VK_ESCAPE);
    fw::ProcessMessages();
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
    EXPECT_EQ(Leaves, 1);
    Drop(A, 2);
    EXPECT_EQ(DropEffect, 0xFFu);
    EXPECT_EQ(Dump(A), u"abc");
}

TEST_F(DragDropTest, NoDragBelowThresholdOrWithoutPermission) {
    fw::MouseDownAt(At(A, 0));
    fw::MouseMoveTo(fw::ControlPoint(A, 30 + DragThreshold, 9), fw::ssLeft);
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
    fw::MouseUpAt(At(A, 0));
    A->OnDragAllowed = nullptr;
    StartDrag(0, A, 2);
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
    Drop(A, 2);
}

TEST_F(DragDropTest, APendingDragStartsPastTheThresholdItWasGiven) {
    A->OnDragAllowed = [](TBaseLazyTree*, PLazyNode, int, bool& Allowed) { Allowed = false; };
    // {threshold, a move that stays short of it, a move past it}; negative: the system's.
    for (auto [Threshold, Short, Past] : {std::array{20, 20, 21}, {-1, DragThreshold, 9}}) {
        fw::AdvanceClock(fw::DoubleClickTime() + 1);
        fw::MouseDownAt(At(A, 0));
        fw::ProcessMessages();
        A->BeginDrag(false, Threshold);
        fw::MouseMoveTo(At(A, 0, 30 + Short), fw::ssLeft);
        fw::ProcessMessages();
        EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging)) << Threshold;
        fw::MouseMoveTo(At(A, 0, 30 + Past), fw::ssLeft);
        fw::ProcessMessages();
        EXPECT_TRUE(A->TreeStates().Contains(tsOLEDragging)) << Threshold;
        fw::PressKey(fw::VK_ESCAPE);
        Drop(A, 0);
    }
}

TEST_F(DragDropTest, SuggestedEffectsFollowSourceAndKeys) {
    constexpr std::uint32_t All = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(A->SuggestDropEffect(A, 0, {}, All), DROPEFFECT_MOVE);
    EXPECT_EQ(A->SuggestDropEffect(B, 0, {}, All), DROPEFFECT_COPY);
    EXPECT_EQ(A->SuggestDropEffect(nullptr, 0, {}, All), DROPEFFECT_COPY);
    EXPECT_EQ(A->SuggestDropEffect(A, fw::ssCtrl, {}, All), DROPEFFECT_COPY);
    EXPECT_EQ(A->SuggestDropEffect(A, fw::ssCtrl | fw::ssShift, {}, All), DROPEFFECT_LINK);
    EXPECT_EQ(A->SuggestDropEffect(B, fw::ssShift | fw::ssLeft, {}, All), DROPEFFECT_MOVE);
    EXPECT_EQ(A->SuggestDropEffect(A, fw::ssAlt, {}, All), DROPEFFECT_LINK);
    // Not allowed: the key is ignored.
    EXPECT_EQ(A->SuggestDropEffect(A, fw::ssCtrl | fw::ssShift, {}, DROPEFFECT_MOVE),
              DROPEFFECT_MOVE);
}

// --- data object -------------------------------------------------------------------------

TFormatEtc TreeData(std::uint32_t Tymed) {
    TFormatEtc F;
    F.cfFormat = ClipboardFormatNumber("Lazy Tree Data");
    F.tymed = Tymed;
    return F;
}

TEST_F(DragDropTest, DataObjectRendersSelectionAndRefusesEmptyBlock) {
    TLTDataObject Data(A, false);
    TStgMedium M;
    EXPECT_EQ(Data.GetData(TreeData(TYMED_HGLOBAL), M), E_FAIL);
    ASSERT_EQ(Data.GetData(TreeData(TYMED_ISTREAM), M), S_OK);
    ASSERT_TRUE(M.pstm);
    EXPECT_EQ(M.pstm->Size(), 0);
    A->AddToSelection(A->GetFirst());
    ASSERT_EQ(Data.GetData(TreeData(TYMED_HGLOBAL), M), S_OK);
    std::uint32_t Count = 0;
    std::memcpy(&Count, M.hGlobal->data(), 4);
    EXPECT_EQ(Count + 4, M.hGlobal->size());
    EXPECT_EQ(Data.QueryGetData(TreeData(TYMED_GDI)), DV_E_TYMED);
    TFormatEtc Aspect = TreeData(TYMED_HGLOBAL);
    Aspect.dwAspect = 4;
    EXPECT_EQ(Data.QueryGetData(Aspect), DV_E_DVASPECT);
    TFormatEtc Unknown = TreeData(TYMED_HGLOBAL);
    Unknown.cfFormat = 0x7777;
    EXPECT_EQ(Data.QueryGetData(Unknown), DV_E_FORMATETC);
    EXPECT_EQ(TBaseLazyTree::GetTreeFromDataObject(&Data), A);
}

TEST_F(DragDropTest, StoredDataAndEnumerator) {
    TLTDataObject Data(A, false);
    TFormatEtc F;
    F.cfFormat = 0x7777;
    TStgMedium In;
    In.tymed = TYMED_HGLOBAL;
    In.hGlobal = std::make_shared<std::vector<std::uint8_t>>(3, std::uint8_t{7});
    ASSERT_EQ(Data.SetData(F, In, false), S_OK);
    (*In.hGlobal)[0] = 1; // the object keeps its own copy
    TStgMedium Out;
    ASSERT_EQ(Data.GetData(F, Out), S_OK);
    EXPECT_EQ((*Out.hGlobal)[0], 7);
    TStgMedium Gdi;
    Gdi.tymed = TYMED_GDI;
    EXPECT_EQ(Data.SetData(F, Gdi, false), DV_E_TYMED);

    std::unique_ptr<TEnumFormatEtc> Enum;
    EXPECT_EQ(Data.EnumFormatEtc(DATADIR_SET, Enum), OLE_S_USEREG);
    EXPECT_FALSE(Enum);
    ASSERT_EQ(Data.EnumFormatEtc(DATADIR_GET, Enum), S_OK);
    TFormatEtc Got[64];
    std::uint32_t Fetched = 0;
    EXPECT_EQ(Enum->Next(64, Got, &Fetched), S_FALSE);
    const std::uint32_t Total = Fetched;
    ASSERT_GE(Total, 3u);
    EXPECT_EQ(Enum->Reset(), S_OK);
    EXPECT_EQ(Enum->Skip(Total + 1), S_FALSE);
    EXPECT_EQ(Enum->CurrentIndex(), 0);
    EXPECT_EQ(Enum->Skip(Total - 1), S_OK);
    auto Copy = Enum->Clone();
    EXPECT_EQ(Copy->Next(1, Got, &Fetched), S_OK);
    EXPECT_EQ(Copy->Next(1, Got, &Fetched), S_FALSE);
    EXPECT_EQ(Fetched, 0u);
}

TEST_F(DragDropTest, ForeignOrDeadSourcesAreNoTrees) {
    TLTDataObject Foreign(nullptr, false);
    EXPECT_EQ(TBaseLazyTree::GetTreeFromDataObject(&Foreign), nullptr);
    auto C = std::make_unique<TTextTree>(nullptr);
    auto Data = std::make_shared<TLTDataObject>(C.get(), false);
    EXPECT_EQ(TBaseLazyTree::GetTreeFromDataObject(Data.get()), C.get());
    C.reset();
    EXPECT_EQ(TBaseLazyTree::GetTreeFromDataObject(Data.get()), nullptr);
    TStgMedium M;
    EXPECT_EQ(Data->GetData(TreeData(TYMED_ISTREAM), M), E_FAIL);
}

TEST_F(DragDropTest, BadNodeBlocksAreRefused) {
    TLTDataObject Data(nullptr, false);
    TStgMedium M;
    M.tymed = TYMED_HGLOBAL;
    M.hGlobal = std::make_shared<std::vector<std::uint8_t>>(
        std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0x7F, 1, 2}); // claims far more than it holds
    Data.SetData(TreeData(TYMED_HGLOBAL), M, true);
    EXPECT_FALSE(B->ProcessOLEData(B, &Data, nullptr, amAddChildLast, false));
    // A block that is too short for its count word.
    M.hGlobal = std::make_shared<std::vector<std::uint8_t>>(2, std::uint8_t{0});
    Data.SetData(TreeData(TYMED_HGLOBAL), M, true);
    EXPECT_FALSE(B->ProcessOLEData(B, &Data, nullptr, amAddChildLast, false));
    // Garbage chunks: an error, and no half-read node stays behind.
    M.hGlobal = std::make_shared<std::vector<std::uint8_t>>(
        std::vector<std::uint8_t>{8, 0, 0, 0, 1, 0, 0, 0, 99, 0, 0, 0});
    Data.SetData(TreeData(TYMED_HGLOBAL), M, true);
    EXPECT_THROW(B->ProcessOLEData(B, &Data, nullptr, amAddChildLast, false), ELazyTreeError);
    EXPECT_EQ(Dump(B), u"x");
}

TEST_F(DragDropTest, AnOptimizedDropFromAnotherTreeMovesTheSourcesNodes) {
    B->OnDragDrop = [](TBaseLazyTree* Sender, TBaseLazyTree* Source, TLTDataObject* Data,
                       const TFormatArray&, fw::TShiftState, fw::TPoint, std::uint32_t& Effect,
                       TDropMode) {
        EXPECT_TRUE(
            Sender->ProcessOLEData(Source, Data, Sender->DropTargetNode(), amInsertAfter, true));
        Effect = DROPEFFECT_NONE;
    };
    StartDrag(0, B, 0);
    Drop(B, 0);
    EXPECT_EQ(A->RootNodeCount(), 2u);
    EXPECT_EQ(B->RootNodeCount(), 2u);
    EXPECT_EQ(Dump(A), u"bc");
}

TEST_F(DragDropTest, ANodeDeletedDuringTheDragLeavesTheDragSelection) {
    PLazyNode First = A->GetFirst();
    B->OnDragOver = [&](TBaseLazyTree*, TBaseLazyTree*, fw::TShiftState, TDragState, fw::TPoint,
                        TDropMode, std::uint32_t&, bool& Accept) {
        Accept = true;
        if (First) A->DeleteNode(std::exchange(First, nullptr));
    };
    StartDrag(0, B, 0);
    EXPECT_TRUE(A->DragSelection().empty());
    Drop(B, 0);
    EXPECT_EQ(Dump(A), u"bc");
    EXPECT_EQ(Dump(B), u"x");
}

// A target's handler that throws ends the drag: the source is not left
// dragging or holding the mouse, and the next presses work as ever.
TEST_F(DragDropTest, AThrowingDragOverHandlerEndsTheDrag) {
    A->TreeOptions()->SetSelectionOptions(A->SelectionOptions() | toMultiSelect);
    A->SelectAll(false);
    bool Thrown = false;
    B->OnDragOver = [&Thrown](TBaseLazyTree*, TBaseLazyTree*, fw::TShiftState, TDragState,
                              fw::TPoint, TDropMode, std::uint32_t&, bool&) {
        if (!std::exchange(Thrown, true)) throw std::runtime_error("over");
    };
    fw::MouseDownAt(At(A, 0));
    fw::MouseMoveTo(At(A, 0, 40), fw::ssLeft);
    EXPECT_THROW(fw::MouseMoveTo(At(B, 0), fw::ssLeft), std::runtime_error);
    EXPECT_FALSE(A->TreeStates().Contains(tsOLEDragging));
    EXPECT_FALSE(A->TreeStates().Contains(tsClearPending));
    EXPECT_FALSE(A->DragManager()->Dragging());
    EXPECT_NE(fw::GetCapture(), A->Handle());
    fw::MouseUpAt(At(B, 0));
    EXPECT_EQ(Dump(B), u"x");
    // A plain press on one of the selected rows keeps it alone selected.
    fw::MouseDownAt(At(A, 1));
    fw::MouseUpAt(At(A, 1));
    EXPECT_EQ(A->SelectedCount(), 1);
    EXPECT_EQ(A->FocusedNode(), A->GetNext(A->GetFirst()));
}

} // namespace
} // namespace vel
