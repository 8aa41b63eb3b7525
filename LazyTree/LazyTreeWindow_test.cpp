// The tree's window: frame, border width and bevels, the scroll bar's side,
// focus, scaling, the stored extras, Assign's rows, the automatic drag.
#include "TreeViewTestEnv.h"

#include "DragCtrls.h"
#include "LazyDrawTree.h"
#include "Filer.h"
#include "ScrollBars.h"

namespace vel {
namespace {

class WindowTest : public TreeViewTest {};

TEST_F(WindowTest, TheFrameFollowsBorderStyleAnd3DLookOutsideTheClient) {
    EXPECT_EQ(Tree->GetBorderDimensions(), (fw::TSize{0, 0}));
    Tree->SetBorderStyle(fw::bsSingle);
    EXPECT_EQ(Tree->GetBorderDimensions(), (fw::TSize{-2, -2}));
    EXPECT_EQ(Tree->ClientOffset(), (fw::TPoint{2, 2}));
    EXPECT_EQ(Tree->ClientWidth(), 240 - 4);
    // Without the 3D look the window is made again with a plain border.
    Tree->SetCtl3D(false);
    EXPECT_EQ(Tree->GetBorderDimensions(), (fw::TSize{-1, -1}));
    EXPECT_EQ(Tree->ClientOffset(), (fw::TPoint{1, 1}));
    Picture();
    EXPECT_EQ(At(0, 50), Rgb(fw::clWindowFrame));
    EXPECT_EQ(At(1, 50), Rgb(fw::clWhite));
    // Rows and hit tests count from the client: the first row still starts at 0.
    EXPECT_EQ(Tree->GetNodeAt(5, 5), Top(0));
    Click(30, 18 + 9);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
}

TEST_F(WindowTest, BevelsAndBorderWidthTakeTheBorderColourAndShrinkTheHeader) {
    TLTHeader* H = Tree->Header();
    H->Columns().Add()->SetWidth(100);
    H->SetOptions(H->Options() | hoVisible);
    Tree->Colors()->SetBorderColor(fw::clLime);
    Tree->SetBevelKind(fw::bkFlat);
    Tree->SetBevelInner(fw::bvNone);
    Tree->SetBorderWidth(3);
    EXPECT_EQ(Tree->ClientOffset(), (fw::TPoint{4, 4}));
    EXPECT_EQ(Tree->HeaderRect().Width(), 240 - 8);
    Picture();
    EXPECT_EQ(At(0, 80), Rgb(fw::clBtnShadow)); // the flat bevel
    EXPECT_EQ(At(1, 80), Rgb(fw::clLime));      // the border width
    EXPECT_EQ(At(3, 80), Rgb(fw::clLime));
    EXPECT_EQ(At(239, 80), Rgb(fw::clBtnShadow));
    EXPECT_EQ(At(4 + 60, 4 + 8), Rgb(fw::clBtnFace)); // the header inside
    // A border width change updates the scroll bars: the rows no longer fit.
    Tree->SetBorderWidth(60); // 38 pixels of client, 17 of them the header
    EXPECT_TRUE(Tree->FindWindowScrollBars() &&
                Tree->FindWindowScrollBars()->Bars[fw::SB_VERT].Shown);
}

TEST_F(WindowTest, BorderAndTreeLineColoursRepaintWhatTheyColour) {
    Tree->SetBevelKind(fw::bkFlat);
    Tree->SetBevelInner(fw::bvNone);
    Tree->SetBorderWidth(3);
    Tree->Colors()->SetBorderColor(fw::clLime);
    fw::ProcessMessages();
    // What the window shows, not a fresh picture: the border lies in the frame.
    auto Shown = [&](int X, int Y) {
        const fw::TPoint O = Tree->ClientOrigin();
        const fw::TPoint F = Form->ClientOrigin();
        const fw::TPoint At{X - Tree->ClientOffset().X + O.X - F.X + Form->ClientOffset().X,
                            Y - Tree->ClientOffset().Y + O.Y - F.Y + Form->ClientOffset().Y};
        return fw::PixelToColor(Form->WindowSurface()->Pixel(At.X, At.Y));
    };
    ASSERT_EQ(Shown(2, 80), Rgb(fw::clLime));
    Tree->Colors()->SetBorderColor(fw::clRed);
    fw::ProcessMessages();
    EXPECT_EQ(Shown(2, 80), Rgb(fw::clRed));
    // The buttons are pictures drawn in the tree line colour: a whole edge of one
    // (9 pixels in a row) takes the new colour, not only the dotted lines.
    Tree->Colors()->SetTreeLineColor(fw::clBlue);
    Picture();
    int Longest = 0;
    for (int Y = 4; Y < 4 + 18; ++Y) {
        int Run = 0;
        for (int X = 4; X < 4 + 18; ++X) {
            Run = At(X, Y) == Rgb(fw::clBlue) ? Run + 1 : 0;
            Longest = std::max(Longest, Run);
        }
    }
    EXPECT_GE(Longest, 9);
}

TEST_F(WindowTest, WithoutExtendedFocusEveryFocusChangeTakesTheMainColumn) {
    TLTHeader* H = Tree->Header();
    for (int I = 0; I < 3; ++I)
        H->Columns().Add()->SetWidth(70);
    H->SetOptions(H->Options() | hoVisible);
    H->SetMainColumn(1);
    Tree->SetFocusedNode(Top(0));
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    Tree->SetFocusedColumn(2);
    Tree->SetFocusedNode(Top(1));
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    Tree->SetFocusedNodeAndColumn(Top(2), 0);
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    Click(10, 17 + 9); // a press on another column's cell
    EXPECT_EQ(Tree->FocusedNode(), Top(0));
    EXPECT_EQ(Tree->FocusedColumn(), 1);
    // With extended focus a column stays focused from node to node.
    Tree->TreeOptions()->SetSelectionOptions(Tree->SelectionOptions() | toExtendedFocus);
    Tree->SetFocusedColumn(2);
    Tree->SetFocusedNode(Top(2));
    EXPECT_EQ(Tree->FocusedColumn(), 2);
}

TEST_F(WindowTest, ARightToLeftTreeHasItsScrollBarOnTheLeftAndNoColumnCut) {
    TLTHeader* H = Tree->Header();
    H->Columns().Add()->SetWidth(120);
    H->Columns().Add()->SetWidth(100);
    H->SetOptions(H->Options() | hoVisible);
    const fw::HWND Before = Tree->Handle();
    Tree->SetBiDiMode(bdRightToLeft);
    EXPECT_NE(Tree->Handle(), Before); // the window was made again
    EXPECT_TRUE(fw::GetWindowExStyle(Tree->Handle()) & fw::WS_EX_LEFTSCROLLBAR);
    EXPECT_FALSE(Tree->ParentBiDiMode());
    Tree->SetRootNodeCount(30);
    const fw::TScrollBarLayout L = fw::ScrollBarLayout(*Tree, fw::SB_VERT);
    EXPECT_EQ(L.Bar.Left, 0);
    EXPECT_EQ(L.Bar.Right, 16);
    EXPECT_EQ(Tree->ClientOffset().X, 16);
    // The client keeps both columns whole: 220 of 224 pixels.
    EXPECT_EQ(Tree->ClientWidth(), 240 - 16);
    EXPECT_GE(Tree->ClientWidth(), H->Columns().TotalWidth());
    Picture();
    EXPECT_EQ(At(8, 80), Rgb(fw::clScrollBar));
    // Following the parent again reads left to right, the bar back on the right.
    Tree->SetParentBiDiMode(true);
    EXPECT_EQ(Tree->BiDiMode(), bdLeftToRight);
    EXPECT_EQ(fw::ScrollBarLayout(*Tree, fw::SB_VERT).Bar.Right, 240);
}

TEST_F(WindowTest, FocusNeedsAVisibleFormThatCanTakeIt) {
    EXPECT_TRUE(Tree->CanFocus());
    Form->SetEnabled(false);
    EXPECT_FALSE(Tree->CanFocus());
    Form->SetEnabled(true);
    Form->Hide();
    EXPECT_FALSE(Tree->CanFocus());
}

TEST_F(WindowTest, ScalingChangesRowsAndHeaderOnlyWithTheOption) {
    const int Font = Tree->Header()->Font().Size();
    Tree->ScaleBy(3, 2);
    EXPECT_EQ(Tree->DefaultNodeHeight(), 18u);
    EXPECT_EQ(Tree->Width(), 360);
    Tree->TreeOptions()->SetAutoOptions(Tree->AutoOptions() | toAutoChangeScale);
    Tree->ScaleBy(2, 1);
    EXPECT_EQ(Tree->DefaultNodeHeight(), 36u);
    EXPECT_EQ(Tree->Header()->Font().Size(), Font * 2);
    EXPECT_EQ(Tree->Width(), 720);
    EXPECT_FALSE(Tree->TreeStates().Contains(tsNeedScale));
}

TEST_F(WindowTest, StoredColumnsAndOldOptionsReadBackAndDamageKeepsTheColumns) {
    TLTHeader* H = Tree->Header();
    H->Columns().Add()->SetWidth(70);
    H->Columns().Add()->SetWidth(90);
    H->Columns()[1].SetText(u"Size");
    fw::TFilerValues V = fw::WriteDefinedProperties(*Tree);
    ASSERT_EQ(V.count("Columns"), 1u);
    EXPECT_EQ(V.count("Options"), 0u); // read, never written
    EXPECT_EQ(V.count("WideDefaultText"), 0u); // "Node" is the default
    // Beside an ancestor with the same columns nothing is written.
    auto* Twin = Place<TLazyStringTree>(0, 0, 50, 50);
    Twin->Header()->Columns().Assign(H->Columns());
    EXPECT_EQ(fw::WriteDefinedProperties(*Tree, Twin).count("Columns"), 0u);

    auto* Other = Place<TLazyStringTree>(0, 0, 50, 50);
    V["Options"] = std::vector<std::string>{"voMultiSelect", "voShowRoot", "voHotTrack"};
    V["WideDefaultText"] = std::u16string(u"Empty");
    V["StringOptions"] = std::vector<std::string>{"toShowStaticText"};
    fw::ReadDefinedProperties(*Other, V);
    ASSERT_EQ(Other->Header()->Columns().Count(), 2);
    EXPECT_EQ(Other->Header()->Columns()[1].Text(), u"Size");
    EXPECT_EQ(Other->Header()->Columns()[0].Width(), 70);
    EXPECT_EQ(Other->SelectionOptions(), toMultiSelect);
    EXPECT_EQ(Other->PaintOptions(), toShowRoot | toHotTrack);
    EXPECT_EQ(Other->AutoOptions(), 0u);
    EXPECT_EQ(Other->DefaultText(), u"Empty");
    EXPECT_EQ(Other->StringOptions(), toShowStaticText);
    EXPECT_EQ(fw::WriteDefinedProperties(*Other).count("WideDefaultText"), 1u);

    // A cut column stream fails and leaves the columns there were.
    auto& Bytes = std::get<std::vector<std::uint8_t>>(V["Columns"]);
    Bytes.resize(Bytes.size() / 2);
    EXPECT_THROW(fw::ReadDefinedProperties(*Other, {{"Columns", Bytes}}), EReadError);
    ASSERT_EQ(Other->Header()->Columns().Count(), 2);
    EXPECT_EQ(Other->Header()->Columns()[1].Text(), u"Size");
    EXPECT_THROW(fw::ReadDefinedProperties(*Other, {{"Options", std::int64_t{1}}}), EReadError);
}

// A header whose columns are of a class of their own.
class TMyColumns : public TLazyTreeColumns {
public:
    using TLazyTreeColumns::TLazyTreeColumns;
};
class TMyHeader : public TLTHeader {
public:
    using TLTHeader::TLTHeader;
    std::unique_ptr<TLazyTreeColumns> GetColumnsClass() override {
        return std::make_unique<TMyColumns>(this);
    }
};
class TMyTree : public TLazyStringTree {
public:
    explicit TMyTree(fw::TComponent* Owner) : TLazyStringTree(Owner) { AdoptClassObjects(); }

protected:
    std::unique_ptr<TLTHeader> GetHeaderClass() override { return std::make_unique<TMyHeader>(this); }
};

TEST_F(WindowTest, TheHeaderChoosesItsColumnCollectionClass) {
    auto* T = Place<TMyTree>(0, 0, 100, 100);
    EXPECT_NE(dynamic_cast<TMyHeader*>(T->Header()), nullptr);
    EXPECT_NE(dynamic_cast<TMyColumns*>(&T->Header()->Columns()), nullptr);
    T->Header()->Columns().Add()->SetWidth(40);
    EXPECT_EQ(T->Header()->Columns()[0].Width(), 40);
}

// Options and a header of their own, asked for by trees that call nothing to adopt them.
class TMyOptions : public TCustomLazyTreeOptions {
public:
    using TCustomLazyTreeOptions::TCustomLazyTreeOptions;
};
template <class TBase> class TQueryingTree : public TBase {
public:
    explicit TQueryingTree(fw::TComponent* Owner) : TBase(Owner) {
        // What the constructor sets on the objects it has reaches the final ones.
        this->TreeOptions()->SetMiscOptions(this->MiscOptions() | toEditable);
        this->Header()->SetHeight(23);
    }

protected:
    std::unique_ptr<TLTHeader> GetHeaderClass() override { return std::make_unique<TMyHeader>(this); }
    std::unique_ptr<TCustomLazyTreeOptions> GetOptionsClass() override {
        return std::make_unique<TMyOptions>(this);
    }
};

TEST_F(WindowTest, ClassQueriesTakeEffectInAnySubclassMadeByCreate) {
    auto Check = [](TBaseLazyTree* T) {
        EXPECT_NE(dynamic_cast<TMyHeader*>(T->Header()), nullptr);
        EXPECT_NE(dynamic_cast<TMyColumns*>(&T->Header()->Columns()), nullptr);
        EXPECT_NE(dynamic_cast<TMyOptions*>(T->TreeOptions()), nullptr);
        EXPECT_TRUE(T->MiscOptions() & toEditable);
        EXPECT_EQ(T->Header()->Height(), 23u);
        T->Header()->Columns().Add()->SetWidth(40);
        EXPECT_EQ(T->Header()->Columns()[0].Width(), 40);
    };
    Check(Place<TQueryingTree<TLazyDrawTree>>(0, 0, 100, 100));
    Check(Place<TQueryingTree<TBaseLazyTree>>(0, 0, 100, 100));
    // A tree made without Create is asked once its maker calls AfterConstruction.
    auto Own = std::make_unique<TQueryingTree<TLazyDrawTree>>(nullptr);
    Own->AfterConstruction();
    Check(Own.get());
    // The string tree's own options class stays, and asking again replaces nothing.
    TLTHeader* Before = Tree->Header();
    Tree->AfterConstruction();
    EXPECT_EQ(Tree->Header(), Before);
    EXPECT_NE(dynamic_cast<TStringTreeOptions*>(Tree->TreeOptions()), nullptr);
}

TEST_F(WindowTest, AssignCopiesTheFrameLayoutAndDragRows) {
    Tree->SetBevelKind(fw::bkSoft);
    Tree->SetBevelEdges(fw::beTop);
    Tree->SetBevelWidth(2);
    Tree->SetBorderWidth(1);
    Tree->SetAnchors(fw::akLeft | fw::akRight);
    Tree->SetConstraints({10, 20, 500, 400});
    Tree->SetAutoSize(true);
    Tree->SetDragCursor(fw::crHandPoint);
    Tree->SetDragKind(fw::dkDock);
    Tree->SetDragMode(fw::dmAutomatic);
    Tree->SetCtl3D(false);
    Tree->SetImeMode(fw::imClose);
    Tree->SetImeName("pinyin");
    auto* Copy = Place<TLazyStringTree>(0, 0, 5, 5);
    Copy->Assign(*Tree);
    EXPECT_EQ(Copy->BevelKind(), fw::bkSoft);
    EXPECT_EQ(Copy->BevelEdges(), fw::beTop);
    EXPECT_EQ(Copy->BevelWidth(), 2);
    EXPECT_EQ(Copy->BorderWidth(), 1);
    EXPECT_EQ(Copy->Anchors(), fw::akLeft | fw::akRight);
    EXPECT_EQ(Copy->Constraints(), (fw::TSizeConstraints{10, 20, 500, 400}));
    EXPECT_EQ(Copy->Width(), 10); // the limits apply at once
    EXPECT_TRUE(Copy->AutoSize());
    EXPECT_EQ(Copy->DragCursor(), fw::crHandPoint);
    EXPECT_EQ(Copy->DragKind(), fw::dkDock);
    EXPECT_EQ(Copy->DragMode(), fw::dmAutomatic);
    EXPECT_FALSE(Copy->Ctl3D());
    EXPECT_FALSE(Copy->ParentCtl3D());
    EXPECT_EQ(Copy->ImeMode(), fw::imClose);
    EXPECT_EQ(Copy->ImeName(), "pinyin");
    EXPECT_EQ(Copy->RootNodeCount(), 3u);
}

TEST_F(WindowTest, AnAutomaticDragStartsFromTheTreesOwnPress) {
    Tree->SetDragType(dtVCL);
    Tree->SetDragMode(fw::dmAutomatic);
    int Downs = 0;
    Tree->OnMouseDown = [&](fw::TObject*, fw::TMouseButton, fw::TShiftState, int, int) { ++Downs; };
    fw::AdvanceClock(fw::DoubleClickTime() + 1);
    fw::MouseDownAt(fw::ControlPoint(Tree, 30, 18 + 9));
    // The tree saw the press (focus, selection) and its drag detection runs.
    EXPECT_EQ(Downs, 1);
    EXPECT_EQ(Tree->FocusedNode(), Top(1));
    EXPECT_TRUE(Tree->TreeStates().Contains(tsVCLDragPending));
    EXPECT_TRUE(fw::DragPending());
    fw::MouseUpAt(fw::ControlPoint(Tree, 30, 18 + 9));
    EXPECT_FALSE(fw::DragPending());
}

} // namespace
} // namespace vel
