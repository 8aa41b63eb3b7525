// The grid's invariants, for the tests that let handlers loose on it: no
// lock held, the model's and the base grid's counts agreeing, the current
// cell and anchor inside, the display order mapping both ways and values
// reading back. The caller keeps handlers quiet meanwhile (values are read).
#pragma once

#include "TSGrid.h"
#include "TSShared.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vel {

inline ::testing::AssertionResult GridIsWhole(TtsGrid& G) {
    auto Fail = [] { return ::testing::AssertionFailure(); };
    if (G.Model().Busy()) return Fail() << "the model is left busy";
    if (G.Updating()) return Fail() << "an update is left open";
    if (GridMemoryCanvas().IsLocked()) return Fail() << "the paint canvas is left locked";
    if (G.ColCount() != G.Cols() + 1 || G.RowCount() != G.Rows() + 1)
        return Fail() << "counts " << G.Cols() << " x " << G.Rows() << ", base grid "
                      << G.ColCount() << " x " << G.RowCount();
    if (G.Cols() > 0 && G.Rows() > 0) {
        const TGridCoord C = G.Current(), A = G.Anchor();
        if (C.X < 1 || C.X > G.Cols() || C.Y < 1 || C.Y > G.Rows())
            return Fail() << "current " << C.X << "," << C.Y;
        if (A.X < 0 || A.X > G.Cols() || A.Y < 0 || A.Y > G.Rows())
            return Fail() << "anchor " << A.X << "," << A.Y;
    }
    for (int D = 0; D <= G.Cols(); ++D)
        if (G.GetDisplayCol(G.DataColAt(D)) != D) return Fail() << "display column " << D;
    for (int D = 0; D <= G.Rows(); ++D)
        if (G.GetDisplayRow(G.DataRowAt(D)) != D) return Fail() << "display row " << D;
    for (int C = 1; C <= G.Cols(); ++C)
        for (int R = 1; R <= std::min(G.Rows(), 3); ++R)
            (void)G.CellValue(C, R);
    return ::testing::AssertionSuccess();
}

} // namespace vel
