#pragma once
// Test fixture of the grid engine's tests: a grid on a shown form with values of its own.
#include "Bitmap.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "TSGrid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vel {

// A second grid on the form (4 columns, 12 rows of its own), for handlers that
// reach another control.
inline TtsGrid* PlaceOtherGrid(fw::TForm* Form, int Top) {
    TtsGrid* G = fw::Create<TtsGrid>(Form);
    G->SetParent(Form);
    G->SetBounds(0, Top, 300, 80);
    G->SetStoreData(true);
    G->SetCols(4);
    G->SetRows(12);
    return G;
}

// The grid's whole layout with its values, as a load would take it back.
inline std::vector<std::uint8_t> WholeLayout(TtsGrid& G) {
    TMemoryStream S;
    G.SaveLayout(S, pkGrid | pkCols | pkRows | pkCells, true, AllKinds);
    return S.Data();
}

// A 380 x 200 grid of 3 data columns and 20 rows keeping its own data, each cell
// holding "rNcM"; the row bar is 12 wide and the heading row 18 high, rows 14 high.
class EngineTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Form->SetBounds(100, 100, 400, 300);
        Grid = Place<TtsGrid>(0, 0, 380, 200);
        Grid->SetName("Grid1");
        Grid->SetStoreData(true);
        Grid->SetCols(3);
        Grid->SetRows(20);
        for (int R = 1; R <= 20; ++R)
            for (int C = 1; C <= 3; ++C)
                Grid->SetCellValue(C, R, Text(C, R));
    }
    static TtsVariant Text(int C, int R) {
        return TtsVariant("r" + std::to_string(R) + "c" + std::to_string(C));
    }
    void Focus() {
        Show();
        Grid->SetFocus();
        fw::ProcessMessages();
    }
    std::string Stored(int C, int R) { return VarToText(Grid->CellValue(C, R)); }
    fw::TBitmap& Picture() {
        Shot.SetSize(Grid->Width(), Grid->Height());
        fw::PaintControlTo(Grid, Shot.Surface());
        return Shot;
    }
    // Whether any pixel of the colour lies in the rectangle of the last picture.
    bool Has(fw::TColor Color, const fw::TRect& R) {
        const fw::TColor Rgb = fw::ColorToRGB(Color);
        for (int Y = R.Top; Y < R.Bottom; ++Y)
            for (int X = R.Left; X < R.Right; ++X)
                if (Shot.Canvas().Pixels(X, Y) == Rgb) return true;
        return false;
    }
    fw::TPoint CellPoint(int DisplayCol, int DisplayRow) {
        const fw::TRect R = Grid->CellRect(DisplayCol, DisplayRow);
        return fw::ControlPoint(Grid, (R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    }
    TtsGrid* Grid = nullptr;
    fw::TBitmap Shot;
};

} // namespace vel
