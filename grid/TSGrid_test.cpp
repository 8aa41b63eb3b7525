#include "TSGrid.h"

#include "Bitmap.h"
#include "FormTestEnv.h"
#include "Input.h"
#include "TSShared.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

namespace vel {
namespace {

class EngineTest : public fw::FormTest {
protected:
    void SetUp() override {
        fw::FormTest::SetUp();
        Form->SetBounds(100, 100, 400, 300);
        Grid = Place<TtsGrid>(0, 0, 380, 200);
        Grid->SetName("Grid1");
    }
    fw::TColor PixelAt(int X, int Y) {
        fw::TBitmap Bmp;
        fw::PaintControlTo(Grid, Bmp.Surface());
        return Bmp.Canvas().Pixels(X, Y);
    }
    TtsGrid* Grid = nullptr;
};

TEST_F(EngineTest, Smoke) {
    Grid->SetStoreData(true);
    Grid->SetCols(3);
    Grid->SetRows(20);
    for (int R = 1; R <= 20; ++R)
        for (int C = 1; C <= 3; ++C)
            Grid->SetCellValue(
                C, R, TtsVariant(std::string("r") + std::to_string(R) + "c" + std::to_string(C)));
    Grid->Col(1)->SetHeading("First");
    Show();
    Grid->SetFocus();
    fw::ProcessMessages();
    ASSERT_TRUE(fw::RenderControlToPng(Form.get(), fw::PicturePath("smoke.png")));
}

} // namespace
} // namespace vel
