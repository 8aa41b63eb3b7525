#include "TSGrid.h"

#include "AllocationProbe.h"
#include "FormTestEnv.h"
#include "TSGridCtrl.h"
#include "TSShared.h"

#include <gtest/gtest.h>

#include <utility>

#ifdef VEL_ALLOCATION_PROBE
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vel {
namespace {

class GridUnitTest : public fw::FormTest {
protected:
    // A grid with a check column, painted.
    TtsGrid* PaintedGrid() {
        auto* grid = Place<TtsGrid>(0, 0, 200, 100);
        grid->SetStoreData(true);
        grid->Col(2)->SetControlType(ctCheck);
        grid->SetCellValue(2, 1, TtsVariant(true));
        Show();
        grid->Repaint();
        return grid;
    }
};

// What the end leaves is what there was before the start: the module that
// runs both can be unloaded without leaving a byte behind.
TEST_F(GridUnitTest, TheEndGivesBackWhatTheStartAndThePaintingMade) {
#ifndef VEL_ALLOCATION_PROBE
    GTEST_SKIP() << "counts allocations through the address sanitizer";
#else
    auto bytes = [] { return __sanitizer_get_current_allocated_bytes(); };
    // Everything made once, the framework's own first-use state with it.
    fw::Free(PaintedGrid());
    FinalizeTSGridUnit();
    const std::size_t before = bytes();
    // Each part was given back: using it makes it again.
    const std::pair<const char*, void (*)()> parts[] = {
        {"picture", [] { GridPicture(TtsGridPicture::SortUp); }},
        {"grid canvas", [] { GridMemoryCanvas(); }},
        {"control canvas", [] { ControlMemoryCanvas(); }},
        {"check-box strip", [] { CheckBoxGlyphStrip(); }},
    };
    for (const auto& [name, use] : parts) {
        const std::size_t was = bytes();
        use();
        EXPECT_GT(bytes(), was) << name;
    }
    FinalizeTSGridUnit();
    EXPECT_EQ(bytes(), before);
    InitializeTSGridUnit();
    EXPECT_GT(bytes(), before);
    fw::Free(PaintedGrid());
    FinalizeTSGridUnit();
    EXPECT_EQ(bytes(), before);
#endif
}

TEST_F(GridUnitTest, AGridStillPaintingKeepsItsCanvasAndEverythingComesBackOnUse) {
    InitializeTSGridUnit();
    const fw::TBitmap& arrow = GridPicture(TtsGridPicture::Arrow);
    const int arrowWidth = arrow.Width();
    TtsGrid* grid = PaintedGrid();
    TtsMemoryCanvas* canvas = &GridMemoryCanvas();
    ASSERT_EQ(canvas->UseCount(), 1);
    FinalizeTSGridUnit();
    // The grid's canvas stays; the pictures and the strip are made again.
    EXPECT_EQ(&GridMemoryCanvas(), canvas);
    grid->Repaint();
    EXPECT_EQ(canvas->UseCount(), 1);
    EXPECT_EQ(GridPicture(TtsGridPicture::Arrow).Width(), arrowWidth);
    EXPECT_EQ(CheckBoxGlyphStrip().Height(), 18 * CheckGlyphSize);
    fw::Free(grid);
    EXPECT_EQ(canvas->UseCount(), 0);
    FinalizeTSGridUnit();
    // A later grid paints on a new canvas.
    grid = PaintedGrid();
    EXPECT_EQ(GridMemoryCanvas().UseCount(), 1);
}

} // namespace
} // namespace vel
