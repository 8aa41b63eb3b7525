#pragma once
// The host's views: the idle redraw that asks extension objects to draw, and
// a simple orthographic rasteriser for looking at the result.
#include <cstdint>

#include "tsxapi.h"

namespace tsxhost::detail {

struct Point2 {
    double x = 0, y = 0;
};

// View cameras: 0 front (x right, z up), 1 top (x right, y up),
// 2 side (y right, z up), 3 oblique; others like view 0.
Point2 Project(int view, const CtsxVec3f& p);
std::uint32_t PenColour(int pen);

} // namespace tsxhost::detail
