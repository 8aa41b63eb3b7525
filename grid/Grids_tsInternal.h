#pragma once
// Small helpers shared by the base grid's units.
#include "Grids_ts.h"

#include <algorithm>
#include <cstdint>

namespace vel::gridimpl {

inline TGridRect NormalizedRect(const TGridCoord& A, const TGridCoord& B) {
    return TGridRect{std::min(A.X, B.X), std::min(A.Y, B.Y), std::max(A.X, B.X),
                     std::max(A.Y, B.Y)};
}

inline bool PointInGridRect(int Col, int Row, const TGridRect& R) {
    return Col >= R.Left && Col <= R.Right && Row >= R.Top && Row <= R.Bottom;
}

inline int LowSigned(fw::LPARAM L) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(L) & 0xFFFF);
}

inline int HighSigned(fw::LPARAM L) {
    return static_cast<std::int16_t>((static_cast<std::uint32_t>(L) >> 16) & 0xFFFF);
}

} // namespace vel::gridimpl
