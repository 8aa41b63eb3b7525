// Masks: the plain mask-definition component, the grid's text editor refusing
// what a cell's mask refuses, the framework's masked edit and the base grid's
// editor on it.
#include "GridTestEnv.h"
#include "InplaceEdit.h"
#include "MaskEdit.h"
#include "TSMaskDefs.h"

#include <map>

namespace vel {
namespace {

TEST(PictureMasks, FitCharacterByCharacter) {
    EXPECT_TRUE(fw::MaskAccepts("999-LL", "12"));
    EXPECT_TRUE(fw::MaskAccepts("999-LL", "123-ab"));
    EXPECT_FALSE(fw::MaskAccepts("999-LL", "12a"));
    EXPECT_FALSE(fw::MaskAccepts("999-LL", "1234"));    // a literal stands at 3
    EXPECT_FALSE(fw::MaskAccepts("999-LL", "123-abc")); // past the mask's end
    EXPECT_TRUE(fw::MaskAccepts("#9\\9A?", "-798!"));   // \9 is the literal 9
    EXPECT_FALSE(fw::MaskAccepts("#9\\9", "-70"));
    char L = 0;
    EXPECT_TRUE(fw::MaskLiteralAt("999-LL", 3, L));
    EXPECT_EQ(L, '-');
    EXPECT_FALSE(fw::MaskLiteralAt("999-LL", 2, L));
    EXPECT_FALSE(fw::MaskLiteralAt("999-LL", 9, L));
    EXPECT_EQ(fw::MaskLength("\\(999\\)"), 5);
}

class MaskEditTest : public fw::FormTest {};

TEST_F(MaskEditTest, TypingFollowsTheMaskAndBringsItsLiterals) {
    auto* E = Place<fw::TMaskEdit>(0, 0, 120, 20);
    E->SetEditMask("999-9999");
    Show();
    E->SetFocus();
    const int Beeps = fw::BeepCount();
    fw::TypeText("555x1234");
    EXPECT_EQ(E->Text(), "555-1234"); // the x refused, the dash brought
    EXPECT_EQ(fw::BeepCount(), Beeps + 1);
    fw::TypeText("9");
    EXPECT_EQ(E->Text(), "555-1234"); // the mask is full
    E->SelectAll();
    fw::SetClipboardText("12-34");
    E->Perform(fw::WM_PASTE);
    EXPECT_EQ(E->Text(), "555-1234"); // a paste the mask refuses is dropped
    fw::SetClipboardText("123");
    E->Perform(fw::WM_PASTE);
    EXPECT_EQ(E->Text(), "123");
}

// The base grid's own editor takes its mask from the grid.
class TMaskedGrid : public TCustomGrid_ts {
public:
    using TCustomGrid_ts::TCustomGrid_ts;
    std::map<std::pair<int, int>, std::string> Cells;

protected:
    std::string GetEditText(int C, int R) override { return Cells[{C, R}]; }
    void SetEditText(int C, int R, const std::string& V) override { Cells[{C, R}] = V; }
    std::string GetEditMask(int C, int) override { return C == 1 ? "LL99" : ""; }
};

TEST_F(MaskEditTest, TheBaseGridsEditorRefusesWhatTheMaskRefuses) {
    auto* G = Place<TMaskedGrid>(0, 0, 200, 100);
    G->SetOptions(G->Options() | goEditing);
    Show();
    G->SetFocus();
    fw::PressKey(fw::VK_F2);
    ASSERT_NE(G->InplaceEditor(), nullptr);
    EXPECT_EQ(G->InplaceEditor()->EditMask(), "LL99");
    fw::TypeText("a1b22");
    EXPECT_EQ(G->InplaceEditor()->Text(), "ab22");
}

class GridMaskTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Masks = fw::Create<TtsMaskDefs>(Form.get());
        Masks->SetMask("Code", "LL-999");
        Grid->SetMaskDefs(Masks);
        Grid->Col(1)->SetMaskName("code");
        Grid->SetCellValue(1, 1, TtsVariant(std::string()));
        Focus();
    }
    std::string EditText() { return Grid->EditStrategy().Edit()->EditText(); }
    TtsMaskDefs* Masks = nullptr;
};

TEST_F(GridMaskTest, TheEditorRefusesWhatTheCellsMaskRefuses) {
    const int Beeps = fw::BeepCount();
    fw::TypeText("A1B-12x3");
    EXPECT_EQ(EditText(), "AB-123");
    EXPECT_EQ(fw::BeepCount(), Beeps + 2);
    fw::PressKey(fw::VK_RETURN);
    EXPECT_EQ(Stored(1, 1), "AB-123");
    // A cell's own mask goes before its column's; a column without one takes anything.
    Masks->SetMask("Digits", "999");
    Grid->Cell(1, 3).SetMaskName("digits");
    Grid->SetCurrentCell(1, 3);
    fw::TypeText("4a56");
    EXPECT_EQ(EditText(), "456");
    Grid->SetCurrentCell(2, 3);
    fw::TypeText("a1!");
    EXPECT_EQ(EditText(), "a1!");
}

TEST_F(GridMaskTest, AChangedOrFreedDefinitionIsTakenAtOnce) {
    Masks->SetMask("Code", "999"); // the open editor looks again
    fw::TypeText("1a2");
    EXPECT_EQ(EditText(), "12");
    Grid->Col(1)->SetMaskName("other"); // MaskChanged: the editor reloads
    EXPECT_TRUE(VarIsEmpty(Grid->EditStrategy().Edit()->Mask()));
    Grid->Col(1)->SetMaskName("code");
    EXPECT_EQ(VarToText(Grid->EditStrategy().Edit()->Mask()), "999");
    fw::Free(Masks);
    EXPECT_EQ(Grid->MaskDefs(), nullptr);
    EXPECT_TRUE(VarIsEmpty(Grid->EditStrategy().Edit()->Mask()));
    fw::TypeText("z");
    EXPECT_EQ(EditText(), "12z");
}

} // namespace
} // namespace vel
