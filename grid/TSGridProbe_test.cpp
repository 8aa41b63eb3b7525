// The grid as a program uses it: a form with combo, date, check and spin
// columns, moved and hidden lines, many rows, keyboard and mouse editing,
// layouts and data between two grids, handlers that throw or free what they
// are handed, and damaged layout streams.
#include "GridTestEnv.h"
#include "Settings.h"
#include "Streams.h"
#include "TSCombo.h"
#include "TSGridStream.h"
#include "TSShared.h"
#include "TSMonthView.h"
#include "TestPaths.h"
#include "Timers.h"

#include <map>
#include <stdexcept>

namespace vel {
namespace {

class ProbeTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Grid->SetCols(6);
        Grid->Col(2)->SetButtonType(btCombo);
        TtsCombo* C = Grid->Col(2)->EnsureCombo();
        C->Grid()->SetRows(3);
        for (int R = 1; R <= 3; ++R)
            C->Grid()->SetCellValue(1, R, TtsVariant(std::string(Names[R - 1])));
        Grid->Col(4)->SetControlType(ctCheck);
        Grid->Col(5)->SetButtonType(btVertSpin);
        Grid->Col(5)->SetSpinOptions(spoAutoIncrement | spoKeyEdit);
        for (int R = 1; R <= 20; ++R) Grid->SetCellValue(5, R, TtsVariant(std::string("10")));
    }
    void Click(fw::TPoint P, fw::TShiftState Shift = 0) {
        fw::AdvanceClock(1000);
        fw::ClickAt(P, fw::mbLeft, Shift);
        fw::ProcessMessages();
    }
    static constexpr const char* Names[] = {"Hip", "Spine", "Arm"};
};

TEST_F(ProbeTest, KeyboardAndMouseEditEveryKindOfCell) {
    Focus();
    Click(CellPoint(1, 3));
    EXPECT_EQ(Grid->Current().X, 1);
    EXPECT_EQ(Grid->Current().Y, 3);
    fw::TypeText("bone");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(1, 3), "bone");
    // The combo cell: Alt+Down, Down, Enter.
    ASSERT_TRUE(Grid->SetCurrentCell(2, 3));
    fw::PressKey(fw::VK_DOWN, fw::ssAlt);
    ASSERT_TRUE(Grid->IsDropDownOpen());
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_FALSE(Stored(2, 3).empty());
    // The check cell by space.
    Grid->SetCellValue(4, 3, TtsVariant(std::int32_t{0}));
    ASSERT_TRUE(Grid->SetCurrentCell(4, 3));
    fw::PressKey(fw::VK_SPACE);
    EXPECT_EQ(VarAsInteger(Grid->CellValue(4, 3)), 1);
    // The spin cell by the arrow key.
    ASSERT_TRUE(Grid->SetCurrentCell(5, 3));
    fw::PressKey(fw::VK_UP);
    ASSERT_TRUE(Grid->EndCellEdit());
    EXPECT_EQ(Stored(5, 3), "11");
}

} // namespace
} // namespace vel
namespace vel {
namespace {

TEST_F(ProbeTest, ARefusedLayoutLeavesTheGridAsItWas) {
    Grid->Col(1)->SetWidth(90);
    Grid->Row(2)->SetHeight(30);
    Grid->Cell(1, 1).SetColor(fw::clRed);
    Grid->SetDisplayCol(3, 1);
    TMemoryStream Whole;
    Grid->SaveLayout(Whole, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
    auto* Other = Place<TtsGrid>(0, 210, 380, 80);
    Other->SetStoreData(true);
    Other->SetCols(2);
    Other->SetRows(4);
    Other->Col(2)->SetWidth(44);
    Other->SetCellValue(1, 1, TtsVariant(std::string("keep")));
    const auto& Bytes = Whole.Data();
    for (std::size_t N = 1; N < Bytes.size(); N += 7) {
        TMemoryStream Cut(std::vector<std::uint8_t>(Bytes.begin(),
                                                    Bytes.begin() + static_cast<std::ptrdiff_t>(N)));
        EXPECT_ANY_THROW(Other->LoadLayout(Cut, 1)) << N;
        ASSERT_EQ(Other->Cols(), 2) << N;
        ASSERT_EQ(Other->Rows(), 4) << N;
        ASSERT_EQ(Other->Col(2)->Width(), 44) << N;
        ASSERT_EQ(VarToText(Other->CellValue(1, 1)), "keep") << N;
    }
    Whole.SetPosition(0);
    Other->LoadLayout(Whole, 1);
    EXPECT_EQ(Other->Cols(), 6);
    EXPECT_EQ(Other->Col(1)->Width(), 90);
    EXPECT_EQ(Other->GetDisplayCol(3), 1);
    EXPECT_EQ(VarToText(Other->CellValue(2, 5)), "r5c2");
}

TEST_F(ProbeTest, AThrowingHandlerLeavesTheGridUsable) {
    Grid->SetStoreData(false);
    std::map<std::pair<int, int>, std::string> Data;
    bool Throw = true;
    Grid->OnCellLoaded = [&](fw::TObject*, int C, int R, TtsVariant& V) {
        auto It = Data.find({C, R});
        if (It != Data.end()) V = It->second;
    };
    Grid->OnCellEdit = [&](fw::TObject*, int C, int R, const TtsVariant& V) {
        if (Throw) throw std::runtime_error("database refused");
        Data[std::make_pair(C, R)] = VarToText(V);
    };
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(1, 2));
    fw::TypeText("abc");
    EXPECT_THROW(fw::PressKey(fw::VK_RETURN), std::runtime_error);
    Throw = false;
    fw::TypeText("d");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_FALSE(Data[std::make_pair(1, 2)].empty());
    EXPECT_EQ(Data[std::make_pair(1, 2)].back(), 'd');
    EXPECT_EQ(Grid->Current().Y, 3); // Enter stored and moved down
    fw::PressKey(fw::VK_UP);
    // A refusal in the leave check, by exception, keeps the cell.
    Grid->OnCanLeaveCell = [&](fw::TObject*, int, int, bool&) { throw std::logic_error("no"); };
    EXPECT_THROW(fw::PressKey(fw::VK_DOWN), std::logic_error);
    EXPECT_EQ(Grid->Current().Y, 2);
    Grid->OnCanLeaveCell = nullptr;
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Grid->Current().Y, 3);
    // A value fetch that throws during a paint: the next paint works.
    Grid->OnCellLoaded = [&](fw::TObject*, int, int, TtsVariant&) { throw std::runtime_error("x"); };
    EXPECT_ANY_THROW(Picture());
    EXPECT_FALSE(GridMemoryCanvas().IsLocked());
    Grid->OnCellLoaded = nullptr;
    Data[std::make_pair(1, 1)] = "seen";
    Grid->OnCellLoaded = [&](fw::TObject*, int C, int R, TtsVariant& V) {
        if (C == 1 && R == 1) V = Data[std::make_pair(1, 1)];
    };
    Picture();
    EXPECT_TRUE(Has(fw::clBlack, Grid->CellRect(1, 1)));
    // Heading clicks and row changes that throw.
    Grid->OnHeadingClick = [](fw::TObject*, int) { throw std::runtime_error("h"); };
    EXPECT_ANY_THROW(Click(CellPoint(1, 0)));
    Grid->OnHeadingClick = nullptr;
    Grid->OnCellChanged = [](fw::TObject*, int, int, int, int) { throw std::runtime_error("r"); };
    EXPECT_ANY_THROW(Click(CellPoint(1, 6)));
    Grid->OnCellChanged = nullptr;
    Click(CellPoint(2, 7));
    EXPECT_EQ(Grid->Current().Y, 7);
    fw::TypeText("z");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Data[std::make_pair(2, 7)].back(), 'z');
}

TEST_F(ProbeTest, AGridFreedFromItsOwnEvents) {
    for (int Which = 0; Which < 5; ++Which) {
        auto* G = Place<TtsGrid>(0, 0, 380, 200);
        G->SetStoreData(true);
        G->SetCols(3);
        G->SetRows(10);
        Grid->SetVisible(false);
        auto Free = [G](auto&&...) { fw::Free(G); };
        switch (Which) {
        case 0: G->OnHeadingClick = Free; break;
        case 1: G->OnRowChanged = Free; break;
        case 2: G->OnCellChanged = Free; break;
        case 3: G->OnSelectChanged = Free; break;
        case 4: G->OnStartCellEdit = Free; break;
        }
        Show();
        G->SetFocus();
        fw::ProcessMessages();
        const fw::TRect H = G->CellRect(1, 0), C = G->CellRect(2, 5), B = G->CellRect(0, 6);
        auto At = [&](const fw::TRect& R) {
            return fw::ControlPoint(G, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
        };
        const fw::TPoint PH = At(H), PC = At(C), PB = At(B);
        if (Which == 0) Click(PH);
        else if (Which == 3) Click(PB);
        else if (Which == 4) fw::TypeText("x");
        else if (Which == 1) fw::TypeText("x"), Click(PC); // a row left after an edit
        else Click(PC);
        fw::ProcessMessages();
        // The form no longer holds it.
        bool Found = false;
        for (int I = 0; I < Form->ComponentCount(); ++I)
            if (Form->Components(I) == G) Found = true;
        EXPECT_FALSE(Found) << Which;
        if (Found) delete G;
        Grid->SetVisible(true);
    }
}

TEST_F(ProbeTest, AComboClosedOrFreedFromItsOwnHandlers) {
    Focus();
    ASSERT_TRUE(Grid->SetCurrentCell(2, 4));
    // The pick's edit closes the drop-down and drops the column's combo.
    Grid->OnStartCellEdit = [&](fw::TObject*, int, int, bool&) {
        Grid->CloseDropDown(false);
        Grid->Col(2)->SetParentCombo(true);
    };
    fw::PressKey(fw::VK_F4);
    ASSERT_TRUE(Grid->IsDropDownOpen());
    fw::PressKey(fw::VK_DOWN);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_FALSE(Grid->IsDropDownOpen());
    EXPECT_EQ(Grid->Col(2)->Combo(), nullptr);
    Grid->OnStartCellEdit = nullptr;
    // The list's own cell change frees the combo while the list is dropped,
    // by key and by mouse.
    for (int ByMouse = 0; ByMouse < 2; ++ByMouse) {
        TtsCombo* C = Grid->Col(2)->EnsureCombo();
        TtsComboGrid* List = C->Grid();
        List->SetRows(3);
        for (int R = 1; R <= 3; ++R)
            List->SetCellValue(1, R, TtsVariant(std::string(Names[R - 1])));
        Grid->SetCellValue(2, 4, TtsVariant(std::string("Hip")));
        fw::PressKey(fw::VK_F4);
        ASSERT_TRUE(Grid->IsDropDownOpen());
        List->OnCellChanged = [&](fw::TObject*, int, int, int, int) {
            Grid->Col(2)->SetParentCombo(true);
        };
        if (ByMouse) {
            const fw::TRect R = List->CellRect(1, 2);
            fw::MouseDownAt(fw::ControlPoint(List, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2));
            fw::MouseUpAt(fw::ControlPoint(Form.get(), 390, 250));
        } else {
            fw::PressKey(fw::VK_DOWN);
        }
        fw::ProcessMessages();
        EXPECT_FALSE(Grid->IsDropDownOpen()) << ByMouse;
        EXPECT_EQ(Grid->Col(2)->Combo(), nullptr) << ByMouse;
        EXPECT_EQ(Stored(2, 4), "Hip") << ByMouse;
        fw::PressKey(fw::VK_RETURN);
        ASSERT_TRUE(Grid->SetCurrentCell(2, 4));
    }
}

TEST_F(ProbeTest, ManyRowsMovedAndHiddenStayInStep) {
    Grid->SetRows(100000);
    for (int R = 1; R <= 100000; R += 1000) Grid->SetCellValue(1, R, TtsVariant(std::to_string(R)));
    for (int R = 2; R <= 50; ++R) Grid->Row(R)->SetVisible(false);
    Grid->SetDisplayRow(100000, 1);
    Grid->Col(3)->SetVisible(false);
    Grid->SetDisplayCol(6, 1);
    Focus();
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), 100000);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), 1);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), 51);
    fw::PressKey(fw::VK_END, fw::ssCtrl);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), 99999);
    for (int I = 0; I < 3; ++I) fw::PressKey(fw::VK_PRIOR);
    const int Row = Grid->DataRowAt(Grid->Current().Y);
    EXPECT_LT(Row, 99999);
    Picture();
    Click(CellPoint(2, Grid->TopRow() + 1));
    EXPECT_EQ(Grid->Current().Y, Grid->TopRow() + 1);
    // Moving right skips the hidden column.
    ASSERT_TRUE(Grid->SetCurrentCell(Grid->GetDisplayCol(2), Grid->Current().Y));
    fw::PressKey(fw::VK_RIGHT);
    EXPECT_EQ(Grid->DataColAt(Grid->Current().X), 4);
    // Shrinking under the current row.
    Grid->SetRows(10);
    EXPECT_TRUE(Grid->Current().Y >= 1 && Grid->Current().Y <= 10);
    Picture();
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// The grid as a whole layout with its values: two grids are alike when these match.
std::vector<std::uint8_t> Snapshot(TtsGrid& G) {
    TMemoryStream S;
    G.SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
    return S.Data();
}

class RefusedLoadTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        Grid->Col(1)->SetWidth(90);
        Grid->Row(2)->SetHeight(30);
        Grid->Cell(1, 1).SetColor(fw::clRed);
        Grid->SetDisplayCol(3, 1);
        Grid->Col(3)->SetHeading("Name");
        Grid->Col(3)->SetFieldName("Name");
        Whole = Snapshot(*Grid);
        Other = Place<TtsGrid>(0, 210, 380, 80);
        Other->SetStoreData(true);
        Other->SetCols(2);
        Other->SetRows(4);
        Other->Col(2)->SetWidth(44);
        Other->Col(1)->SetFieldName("Name");
        Other->Row(3)->SetColor(fw::clBlue);
        Other->SetCellValue(1, 1, TtsVariant(std::string("keep")));
        Other->SetCellValue(2, 4, TtsVariant(std::int32_t{7}));
        Before = Snapshot(*Other);
    }
    // A spread of cuts and byte flips of the layout; each refused load
    // must leave the other grid byte for byte as it was.
    void Probe(const std::function<void(TStream&)>& Load) {
        auto Try = [&](std::vector<std::uint8_t> Bytes, const std::string& What) {
            TMemoryStream S(std::move(Bytes));
            try {
                Load(S);
            } catch (const std::exception&) {
                ASSERT_EQ(Snapshot(*Other), Before) << What;
                return;
            }
            Before = Snapshot(*Other); // taken whole: the next probe starts here
        };
        for (std::size_t N = 1; N < Whole.size(); N += 19)
            Try({Whole.begin(), Whole.begin() + static_cast<std::ptrdiff_t>(N)},
                "cut " + std::to_string(N));
        for (std::size_t N = 0; N < Whole.size(); N += 23) {
            auto Flip = Whole;
            Flip[N] ^= 0xA5;
            Try(Flip, "flip " + std::to_string(N));
        }
    }
    TtsGrid* Other = nullptr;
    std::vector<std::uint8_t> Whole, Before;
};

TEST_F(RefusedLoadTest, ThroughTheGridsOwnLoad) {
    for (TtsColBinding B : {bmDataCol, bmFieldName}) {
        Other->SetColBinding(B);
        Probe([&](TStream& S) { Other->LoadLayout(S, 1); });
    }
}

TEST_F(RefusedLoadTest, ThroughTheStreamComponent) {
    Probe([&](TStream& S) {
        auto Carrier = Other->CreateStreamComponent();
        Carrier->LoadMode = 1;
        Carrier->Read(S);
    });
    Other->SetColBinding(bmFieldName);
    Probe([&](TStream& S) { vel::LoadLayout(static_cast<TtsStreamGrid&>(*Other), S, 1); });
}

TEST_F(RefusedLoadTest, ThroughTheSettingsStore) {
    const std::string File = fw::TestPath("refused-layout.ini");
    const std::string Key = "\\HKEY_CURRENT_USER\\Software\\Velmarch\\Grids";
    std::remove(File.c_str());
    Probe([&](TStream& S) {
        std::string Hex;
        for (std::uint8_t B : dynamic_cast<TMemoryStream&>(S).Data()) {
            static const char Digits[] = "0123456789ABCDEF";
            Hex += Digits[B >> 4];
            Hex += Digits[B & 15];
        }
        {
            fw::TSettingsStore Store(File);
            ASSERT_TRUE(Store.OpenKey(Key, true));
            Store.WriteString("Layout", Hex);
        }
        Other->LoadLayoutFromSettings(Key, "Layout", File, 1);
    });
    std::remove(File.c_str());
}

TEST_F(RefusedLoadTest, ValuesThroughTheGridsStorage) {
    TMemoryStream Values;
    Grid->Storage()->SaveToStream(Values);
    Whole = Values.Data();
    Probe([&](TStream& S) { Other->Storage()->LoadFromStream(S, nullptr); });
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ProbeTest, SpaceStepsAPictureCellThroughItsSet) {
    auto* Images = fw::Create<TtsImageList>(Form.get());
    for (const char* N : {"Off", "On", "Marks.Key", "Marks.Stiff"}) {
        fw::TBitmap B(4, 4);
        TtsImage* I = Images->Images().Add();
        I->SetBitmap(&B);
        I->SetName(N);
    }
    Grid->SetImageList(Images);
    Grid->Col(3)->SetControlType(ctPicture);
    fw::TBitmap Own(4, 4);
    Grid->SetCellValue(3, 2, TtsVariant(std::string("Off")));
    Grid->SetCellValue(3, 3, TtsVariant(std::string("marks.STIFF")));
    Grid->SetCellValue(3, 4, TtsVariant(std::int32_t{1}));
    Grid->SetCellValue(3, 5, TtsVariant(static_cast<fw::TObject*>(&Own)));
    Grid->SetCellValue(3, 6, TtsVariant{});
    Focus();
    auto Step = [&](int Row, fw::TShiftState Shift = 0) {
        EXPECT_TRUE(Grid->SetCurrentCell(3, Row));
        fw::PressKey(fw::VK_SPACE, Shift);
        return Stored(3, Row);
    };
    EXPECT_EQ(Step(2), "On");
    EXPECT_EQ(Step(2), "Off"); // wraps within the main set
    EXPECT_EQ(Step(2, fw::ssShift), "On");
    EXPECT_EQ(Step(3), "Marks.Key");
    EXPECT_EQ(Step(3), "Marks.Stiff");
    EXPECT_EQ(Step(4), "2"); // an index steps through the whole list
    EXPECT_EQ(Step(4, fw::ssShift), "1");
    Step(5);
    EXPECT_EQ(std::get<fw::TObject*>(Grid->CellValue(3, 5)), &Own);
    EXPECT_EQ(Step(6), "0");
    // The edit checks hold for a step as for any edit.
    bool Cancel = true;
    Grid->OnEndCellEdit = [&](fw::TObject*, int, int, bool& C) { C = Cancel; };
    EXPECT_EQ(Step(2), "On");
    Grid->OnEndCellEdit = nullptr;
    Grid->Col(3)->SetReadOnly(true);
    EXPECT_EQ(Step(2), "On");
    Grid->Col(3)->SetReadOnly(false);
    Grid->SetImageList(nullptr);
    EXPECT_EQ(Step(2), "On");
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST_F(ProbeTest, AMillionRowsSortedScrolledAndEdited) {
    constexpr int N = 1000000;
    Grid->SetRows(N);
    // Values in a scrambled order; a program sorts the rows by them, descending.
    auto Key = [](int R) { return static_cast<int>((static_cast<long long>(R) * 7919) % N); };
    for (int R = 1; R <= N; R += 997) Grid->SetCellValue(1, R, TtsVariant(std::to_string(Key(R))));
    std::vector<int> Order(N);
    for (int R = 1; R <= N; ++R) Order[static_cast<std::size_t>(R - 1)] = R;
    std::sort(Order.begin(), Order.end(), [&](int A, int B) { return Key(A) > Key(B); });
    std::vector<std::pair<int, int>> Positions;
    Positions.reserve(N);
    for (int D = 1; D <= N; ++D) Positions.emplace_back(Order[static_cast<std::size_t>(D - 1)], D);
    Grid->Row(Order[5])->SetVisible(false);
    Grid->Model().SetDisplayRows(Positions);
    EXPECT_EQ(Grid->DataRowAt(1), Order[0]);
    EXPECT_EQ(Grid->GetDisplayRow(Order[N - 1]), N);
    Focus();
    fw::PressKey(fw::VK_HOME, fw::ssCtrl);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), Order[0]);
    for (int I = 0; I < 6; ++I) fw::PressKey(fw::VK_DOWN);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), Order[7]); // the hidden row skipped
    fw::PressKey(fw::VK_END, fw::ssCtrl);
    EXPECT_EQ(Grid->DataRowAt(Grid->Current().Y), Order[N - 1]);
    fw::PressKey(fw::VK_PRIOR);
    fw::PressKey(fw::VK_UP, fw::ssShift);
    Picture();
    // An edit at the end lands in the data row shown there.
    ASSERT_TRUE(Grid->SetCurrentCell(Grid->GetDisplayCol(1), N));
    fw::TypeText("last");
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(1, Order[N - 1]), "last");
    // Rows chosen on the row bar follow their data through a second sort.
    Grid->SelectRows(N - 2, N, true);
    std::reverse(Positions.begin(), Positions.end());
    for (int D = 1; D <= N; ++D) Positions[static_cast<std::size_t>(D - 1)].second = D;
    Grid->Model().SetDisplayRows(Positions);
    EXPECT_EQ(Grid->DataRowAt(1), Order[N - 1]);
    EXPECT_TRUE(Grid->RowSelectedOfData(Order[N - 1]));
    EXPECT_FALSE(Grid->RowSelectedOfData(Order[0]));
    Grid->SetRows(3);
    EXPECT_LE(Grid->Current().Y, 3);
    Picture();
}

} // namespace
} // namespace vel

namespace vel {
namespace {

// Handlers that throw from the middle of a pick, a step, a selection or a
// combo's own list: the grid ends its update, lets go of the shared canvas,
// closes its drop-down and takes the next edit.
TEST_F(ProbeTest, ThrowsFromPicksStepsAndSelections) {
    auto Usable = [&](const char* What) {
        EXPECT_FALSE(Grid->Updating()) << What;
        EXPECT_FALSE(GridMemoryCanvas().IsLocked()) << What;
        if (Grid->IsDropDownOpen()) fw::PressKey(fw::VK_ESCAPE);
        EXPECT_FALSE(Grid->IsDropDownOpen()) << What;
        ASSERT_TRUE(Grid->SetCurrentCell(1, 9)) << What;
        fw::TypeText("ok");
        fw::PressKey(fw::VK_RETURN);
        EXPECT_EQ(Stored(1, 9), "ok") << What;
        Picture();
    };
    Focus();
    // A combo pick whose value check throws.
    ASSERT_TRUE(Grid->SetCurrentCell(2, 4));
    Grid->OnCheckValue = [](auto&&...) { throw std::runtime_error("check"); };
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_DOWN);
    EXPECT_ANY_THROW(fw::PressKey(fw::VK_RETURN));
    Grid->OnCheckValue = nullptr;
    Usable("check");
    // The combo's own pick handler throws.
    TtsCombo* Combo = Grid->Col(2)->Combo();
    ASSERT_NE(Combo, nullptr);
    Combo->Grid()->OnPick = [](int) { throw std::runtime_error("pick"); };
    ASSERT_TRUE(Grid->SetCurrentCell(2, 5));
    fw::PressKey(fw::VK_F4);
    fw::PressKey(fw::VK_DOWN);
    try {
        fw::PressKey(fw::VK_RETURN);
    } catch (const std::runtime_error&) {
    }
    Combo->Grid()->OnPick = nullptr;
    Usable("pick");
    // A picture step whose image list tells of nothing but a throwing edit.
    auto* Images = fw::Create<TtsImageList>(Form.get());
    for (const char* N : {"Off", "On"}) Images->Images().Add()->SetName(N);
    Grid->SetImageList(Images);
    Grid->Col(3)->SetControlType(ctPicture);
    Grid->SetCellValue(3, 6, TtsVariant(std::string("Off")));
    Grid->OnEndCellEdit = [](auto&&...) { throw std::runtime_error("end"); };
    ASSERT_TRUE(Grid->SetCurrentCell(3, 6));
    EXPECT_ANY_THROW(fw::PressKey(fw::VK_SPACE));
    EXPECT_EQ(Stored(3, 6), "Off");
    Grid->OnEndCellEdit = nullptr;
    Usable("step");
    // Selections by the row bar and the headings whose change handler throws.
    Grid->OnSelectChanged = [](auto&&...) { throw std::runtime_error("select"); };
    EXPECT_ANY_THROW(Click(CellPoint(0, 3)));
    EXPECT_ANY_THROW(Click(CellPoint(0, 5), fw::ssShift));
    Grid->OnSelectChanged = nullptr;
    Usable("select");
}

} // namespace
} // namespace vel
