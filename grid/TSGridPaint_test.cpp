#include "GridTestEnv.h"
#include "TSShared.h"

namespace vel {
namespace {

class EnginePaintTest : public EngineTest {
protected:
    // The interior of a cell in the last picture, without its lines.
    fw::TRect Inside(int DisplayCol, int DisplayRow) {
        fw::TRect R = Grid->CellRect(DisplayCol, DisplayRow);
        return fw::TRect{R.Left, R.Top, R.Right - 1, R.Bottom - 1};
    }
    // The leftmost column of text ink in a cell, or -1.
    int FirstInk(const fw::TRect& R) {
        for (int X = R.Left; X < R.Right; ++X)
            for (int Y = R.Top; Y < R.Bottom; ++Y)
                if (Shot.Canvas().Pixels(X, Y) == fw::clBlack) return X;
        return -1;
    }
};

TEST_F(EnginePaintTest, TextCellsTakeTheirColourAlignmentAndFont) {
    Grid->Cell(2, 5).SetColor(fw::clRed);
    Grid->Col(3)->SetHorzAlignment(htaRight);
    Picture();
    EXPECT_TRUE(Has(fw::clRed, Inside(2, 5)));
    EXPECT_FALSE(Has(fw::clRed, Inside(2, 6)));
    const fw::TRect Left = Inside(2, 6), Right = Inside(3, 6);
    EXPECT_EQ(FirstInk(Left) - Left.Left, CellTextLeft);
    EXPECT_GT(FirstInk(Right) - Right.Left, 20); // "r6c3" ends at the right edge
    // Lines between cells in the line colour.
    EXPECT_TRUE(Has(fw::clSilver, fw::TRect{Left.Right, Left.Top, Left.Right + 1, Left.Bottom}));
    Grid->SetGridLines(glNone);
    Picture();
    EXPECT_FALSE(Has(fw::clSilver, fw::TRect{Left.Right, Left.Top, Left.Right + 1, Left.Bottom}));
}

TEST_F(EnginePaintTest, CheckCellsShowTheirStateThroughTheCheckStrategy) {
    Grid->Col(2)->SetControlType(ctCheck);
    Grid->SetCellValue(2, 2, TtsVariant(std::int32_t{1}));
    Grid->SetCellValue(2, 3, TtsVariant(std::int32_t{0}));
    Grid->SetCellValue(2, 4, TtsVariant(std::int32_t{2}));
    Picture();
    const fw::TRect Checked = Inside(2, 2), Unchecked = Inside(2, 3), Grayed = Inside(2, 4);
    auto Middle = [](const fw::TRect& R) {
        const int X = (R.Left + R.Right) / 2, Y = (R.Top + R.Bottom) / 2;
        return fw::TRect{X - 5, Y - 4, X + 4, Y + 5};
    };
    EXPECT_TRUE(Has(fw::clBlack, Middle(Checked)));
    EXPECT_TRUE(Has(fw::clWhite, Middle(Unchecked)));
    EXPECT_FALSE(Has(fw::clBlack, Middle(Unchecked)));
    EXPECT_TRUE(Has(fw::clGray, Middle(Grayed)));
    // The flat style takes the cell's colour inside the box.
    Grid->SetCheckBoxStyle(stFlat);
    Grid->Col(2)->SetColor(fw::clYellow);
    Picture();
    EXPECT_FALSE(Has(fw::clWhite, Middle(Inside(2, 3))));
}

TEST_F(EnginePaintTest, PictureCellsDrawBitmapsAndImagesOfTheImageList) {
    fw::TBitmap Red(8, 8);
    Red.Canvas().Brush().SetColor(fw::clRed);
    Red.Canvas().FillRect(fw::TRect{0, 0, 8, 8});
    auto* Images = fw::Create<TtsImageList>(Form.get());
    TtsImage* Blue = Images->Images().Add();
    fw::TBitmap B(6, 6);
    B.Canvas().Brush().SetColor(fw::clBlue);
    B.Canvas().FillRect(fw::TRect{0, 0, 6, 6});
    Blue->SetBitmap(&B);
    Blue->SetName("Flags.Blue");
    Grid->SetImageList(Images);
    Grid->Col(3)->SetControlType(ctPicture);
    Grid->SetCellValue(3, 2, TtsVariant(static_cast<fw::TObject*>(&Red)));
    Grid->SetCellValue(3, 3, TtsVariant(std::string("Flags.Blue")));
    Grid->SetCellValue(3, 4, TtsVariant(std::string("none")));
    Picture();
    EXPECT_TRUE(Has(fw::clRed, Inside(3, 2)));
    EXPECT_TRUE(Has(fw::clBlue, Inside(3, 3)));
    EXPECT_FALSE(Has(fw::clBlue, Inside(3, 4)));
    // Stretched, the picture fills the cell.
    Grid->Col(3)->SetPictureOption(1, dopOn);
    Grid->Col(3)->SetPictureOption(4, dopOff);
    Picture();
    const fw::TRect R = Inside(3, 2);
    EXPECT_EQ(Shot.Canvas().Pixels(R.Left, R.Top), fw::clRed);
    EXPECT_EQ(Shot.Canvas().Pixels(R.Right - 1, R.Bottom - 1), fw::clRed);
}

// An image list of another kind than the grid's own: one image per colour name.
class TColourImages : public TtsImageListComponent {
public:
    class TItem : public TtsImageItem {
    public:
        TItem(const std::string& Name, fw::TColor Colour) : FName(Name), FBitmap(6, 6) {
            FBitmap.Canvas().Brush().SetColor(Colour);
            FBitmap.Canvas().FillRect(fw::TRect{0, 0, 6, 6});
        }
        const fw::TBitmap& Bitmap() const override { return FBitmap; }
        void SetBitmap(const fw::TBitmap* Value) override { FBitmap.Assign(*Value); }
        const std::string& Name() const override { return FName; }
        void SetName(const std::string& Value) override { FName = Value; }
        const std::string& SetName() const override { return FSet; }
        void SetSetName(const std::string& Value) override { FSet = Value; }
        bool Transparent() const override { return false; }
        void SetTransparent(bool) override {}
        fw::TColor TransparentColor() const override { return fw::clNone; }
        void SetTransparentColor(fw::TColor) override {}
        TtsTransparentMode TransparentMode() const override { return TtsTransparentMode::tmAuto; }
        void SetTransparentMode(TtsTransparentMode) override {}
        int ID() const override { return 1; }
        void Changed() override {}

    private:
        std::string FName, FSet;
        fw::TBitmap FBitmap;
    };
    using TtsImageListComponent::TtsImageListComponent;
    ~TColourImages() override { DetachAllLinks(); }
    int Count() const override { return static_cast<int>(Items.size()); }
    int IndexOfName(const TtsVariant& Key) const override {
        for (std::size_t I = 0; I < Items.size(); ++I)
            if (Items[I]->Name() == VarToText(Key)) return static_cast<int>(I);
        return -1;
    }
    TtsImageItem* GetImage(const TtsVariant& Key) const override {
        const int I = IndexOfName(Key);
        return I < 0 ? nullptr : Items[static_cast<std::size_t>(I)].get();
    }
    void SetImage(const TtsVariant&, const TtsImageItem&) override {}
    bool IsValidKey(const TtsVariant& Key) const override { return IndexOfName(Key) >= 0; }
    int IndexOfID(int) const override { return -1; }
    TtsVariant NextImage(const TtsVariant&) const override { return std::int32_t(0); }
    TtsVariant PrevImage(const TtsVariant&) const override { return std::int32_t(0); }
    void Recolour(fw::TColor Colour) {
        Items[0] = std::make_unique<TItem>(Items[0]->Name(), Colour);
        LinksChanged();
    }
    std::vector<std::unique_ptr<TItem>> Items;
};

TEST_F(EnginePaintTest, PictureCellsTakeImagesFromAnyKindOfImageList) {
    auto* Images = fw::Create<TColourImages>(Form.get());
    Images->Items.push_back(std::make_unique<TColourImages::TItem>("green", fw::clLime));
    Grid->SetImageList(Images);
    EXPECT_EQ(Grid->ImageList(), Images);
    Grid->Col(3)->SetControlType(ctPicture);
    Grid->SetCellValue(3, 2, TtsVariant(std::string("green")));
    Grid->SetCellValue(3, 3, TtsVariant(std::string("red")));
    Picture();
    EXPECT_TRUE(Has(fw::clLime, Inside(3, 2)));
    EXPECT_FALSE(Has(fw::clLime, Inside(3, 3)));
    // A change of the list reaches the grid through its link and repaints.
    Images->Recolour(fw::clBlue);
    Picture();
    EXPECT_TRUE(Has(fw::clBlue, Inside(3, 2)));
    // Freed, the list lets go of the grid and the cell shows no picture.
    delete Images;
    EXPECT_EQ(Grid->ImageList(), nullptr);
    Picture();
    EXPECT_FALSE(Has(fw::clBlue, Inside(3, 2)));
}

TEST_F(EnginePaintTest, ATransparentPictureLetsTheCellColourShowAroundIt) {
    // A blue dot on fuchsia, in the list and as a bitmap of its own.
    fw::TBitmap Dot(8, 8);
    Dot.Canvas().Brush().SetColor(fw::clFuchsia);
    Dot.Canvas().FillRect(fw::TRect{0, 0, 8, 8});
    Dot.Canvas().Brush().SetColor(fw::clBlue);
    Dot.Canvas().FillRect(fw::TRect{3, 3, 5, 5});
    auto* Images = fw::Create<TtsImageList>(Form.get());
    TtsImage* Image = Images->Images().Add();
    Image->SetBitmap(&Dot);
    Image->SetName("Dot");
    Image->SetTransparent(true); // the colour of its bottom-left pixel
    Dot.SetTransparent(true);
    Dot.SetTransparentMode(fw::tmFixed);
    Dot.SetTransparentColor(fw::clFuchsia);
    Grid->SetImageList(Images);
    Grid->Col(3)->SetControlType(ctPicture);
    Grid->Col(3)->SetColor(fw::clYellow);
    Grid->SetCellValue(3, 2, TtsVariant(std::string("Dot")));
    Grid->SetCellValue(3, 3, TtsVariant(static_cast<fw::TObject*>(&Dot)));
    Picture();
    for (int Row : {2, 3}) {
        EXPECT_TRUE(Has(fw::clBlue, Inside(3, Row))) << Row;
        EXPECT_TRUE(Has(fw::clYellow, Inside(3, Row))) << Row;
        EXPECT_FALSE(Has(fw::clFuchsia, Inside(3, Row))) << Row;
    }
    // Opaque, the picture keeps its own background.
    Image->SetTransparent(false);
    Picture();
    EXPECT_TRUE(Has(fw::clFuchsia, Inside(3, 2)));
}

TEST_F(EnginePaintTest, HeadingsRowBarAndSelections) {
    Grid->Col(1)->SetHeading("Name");
    Grid->Col(2)->SetSortPicture(spDown);
    Grid->SelectRows(4, 4, true);
    Grid->SelectCellRange(TGridRect{2, 7, 3, 8});
    Picture();
    EXPECT_TRUE(Has(fw::clBlack, Inside(1, 0)));  // the heading's text
    EXPECT_FALSE(Has(fw::clBlack, Inside(2, 0))); // no heading text there
    const fw::TRect H2 = Inside(2, 0);
    EXPECT_TRUE(Has(fw::clBtnShadow, fw::TRect{H2.Right - 14, H2.Top + 4, H2.Right - 2,
                                               H2.Bottom - 4})); // the sort glyph
    EXPECT_TRUE(Has(fw::clBlack, Inside(0, 1)));                 // the current row's mark
    EXPECT_FALSE(Has(fw::clBlack, Inside(0, 2)));
    EXPECT_TRUE(Has(fw::clHighlight, Inside(2, 4)));
    EXPECT_TRUE(Has(fw::clHighlight, Inside(3, 8)));
    EXPECT_FALSE(Has(fw::clHighlight, Inside(1, 8)));
    EXPECT_TRUE(Has(fw::clHighlight, Inside(0, 4))); // a selected row's bar
    // The engine paints left to right only; its cells and clicks stay where they show.
    const fw::TRect Bar = Grid->CellRect(0, 1);
    Grid->SetUseRightToLeftAlignment(true);
    EXPECT_EQ(Grid->CellRect(0, 1), Bar);
}

TEST_F(EnginePaintTest, PaintingUsesTheFirstSharedCanvasAsItsOwnerAlone) {
    Grid->SetStoreData(false);
    int Asked = 0;
    bool Nested = false;
    Grid->OnCellLoaded = [&](fw::TObject*, int, int, TtsVariant& V) {
        ++Asked;
        Nested |= GridMemoryCanvas().IsNestedUse(Grid);
        V = std::string("x");
    };
    const int Users = GridMemoryCanvas().UseCount();
    Picture();
    EXPECT_GT(Asked, 0);
    EXPECT_FALSE(Nested);
    EXPECT_EQ(GridMemoryCanvas().UseCount(), Users + 1);
    Picture();
    EXPECT_EQ(GridMemoryCanvas().UseCount(), Users + 1); // one share a grid
    fw::Free(Grid);
    Grid = nullptr;
    EXPECT_EQ(GridMemoryCanvas().UseCount(), Users);
}

TEST_F(EnginePaintTest, ALineScrollMovesPixelsAndRepaintsTheUncoveredRowOnly) {
    Grid->SetScrollBars(ssNone); // a bar's redraw would join the pending area
    Show();
    fw::PaintPendingWindows();
    const fw::TRect Client = Grid->ClientRect();
    Grid->SetTopRow(2);
    // Only the strip below the last whole row waits for a paint (form coordinates).
    const fw::TRect Pending = Form->UpdateRect();
    EXPECT_LE(Pending.Height(), 2 * 14);
    EXPECT_GE(Pending.Top, Client.Bottom - 2 * 14);
    fw::PaintPendingWindows();
    // What the window shows equals a paint of the whole grid.
    fw::TBitmap Window;
    Window.SetSize(Grid->Width(), Grid->Height());
    Window.Canvas().CopyRect(
        fw::TRect{0, 0, Grid->Width(), Grid->Height()},
        [&]() -> const fw::TCanvas& {
            static fw::TCanvas Attached;
            fw::AttachWindowCanvas(Grid, Attached);
            return Attached;
        }(),
        fw::TRect{0, 0, Grid->Width(), Grid->Height()});
    Picture();
    for (int Y = 0; Y < Client.Bottom; Y += 3)
        for (int X = 0; X < Client.Right; X += 3)
            ASSERT_EQ(Window.Canvas().Pixels(X, Y), Shot.Canvas().Pixels(X, Y)) << X << "," << Y;
}

TEST_F(EnginePaintTest, ScrollsEitherWayWithBarsShowWhatAPaintShows) {
    for (int C = 1; C <= 3; ++C)
        Grid->Col(C)->SetWidth(200); // wider than the window: both bars show
    Focus();
    fw::PaintPendingWindows();
    const auto ShowsAPaint = [&](const char* Step) {
        fw::PaintPendingWindows();
        fw::TCanvas Attached;
        ASSERT_TRUE(fw::AttachWindowCanvas(Grid, Attached)) << Step;
        Picture();
        const fw::TRect Client = Grid->ClientRect();
        for (int Y = 0; Y < Client.Bottom; ++Y)
            for (int X = 0; X < Client.Right; ++X)
                ASSERT_EQ(Attached.Pixels(X, Y), Shot.Canvas().Pixels(X, Y)) << Step << " " << X << "," << Y;
    };
    Grid->SetTopRow(4);
    ShowsAPaint("down three rows");
    Grid->SetLeftCol(2);
    ShowsAPaint("right one column");
    Grid->SetTopRow(2);
    ShowsAPaint("up two rows");
    ASSERT_TRUE(Grid->SetCurrentCell(3, 12));
    ShowsAPaint("to a far cell");
}

TEST_F(EnginePaintTest, HiddenRunsCostNothingToPaint) {
    Grid->SetRows(30000);
    // Hidden from the end, as a filter that drops the tail of a list would.
    for (int R = 29989; R >= 2; --R)
        Grid->Row(R)->SetVisible(false);
    int Loads = 0;
    Grid->SetStoreData(false);
    Grid->OnCellLoaded = [&](fw::TObject*, int, int R, TtsVariant& V) {
        ++Loads;
        V = std::int32_t{R};
    };
    Picture();
    EXPECT_LE(Loads, 3 * 12); // rows 1 and 29990 on are on screen, three columns each
    EXPECT_TRUE(Has(fw::clBlack, Inside(1, 29990)));
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(EnginePaintTest, PropertyChangesRepaintThroughTheEngine) {
    Grid->SetScrollBars(ssNone);
    Show();
    fw::PaintPendingWindows();
    ASSERT_TRUE(Form->UpdateRect().IsEmpty());
    // A column's colour repaints that column, heading to last row.
    Grid->Col(2)->SetColor(fw::clRed);
    const fw::TRect Col2 = Grid->CellRect(2, 1);
    EXPECT_EQ(Form->UpdateRect().Left, Col2.Left);
    EXPECT_EQ(Form->UpdateRect().Right, Col2.Right); // the engine's lines lie inside its cells
    fw::PaintPendingWindows();
    Picture();
    EXPECT_TRUE(Has(fw::clRed, Inside(2, 5)));
    // A cell's own colour repaints the cell only; a heading change its heading.
    Grid->Cell(3, 4).SetColor(fw::clBlue);
    const fw::TRect Cell = Grid->CellRect(3, 4);
    EXPECT_EQ(Form->UpdateRect(), Cell);
    fw::PaintPendingWindows();
    Grid->Col(1)->SetHeading("First");
    EXPECT_EQ(Form->UpdateRect(), Grid->CellRect(1, 0));
    // While painting is locked nothing waits for a paint.
    fw::PaintPendingWindows();
    Grid->SetPaintLock(true);
    Grid->Col(1)->SetColor(fw::clYellow);
    EXPECT_TRUE(Form->UpdateRect().IsEmpty());
    Grid->SetPaintLock(false);
    EXPECT_FALSE(Form->UpdateRect().IsEmpty());
}

} // namespace
} // namespace vel
