#include "PictureClip.h"

#include <algorithm>
#include <cmath>

namespace vel {

bool ClipToPicture(double& X1, double& Y1, double& X2, double& Y2, const TPictureArea& Area) {
    const double dx = X2 - X1, dy = Y2 - Y1;
    if (!std::isfinite(X1) || !std::isfinite(Y1) || !std::isfinite(dx) || !std::isfinite(dy))
        return false;
    // The part of the line, 0 at the first end and 1 at the second, on the
    // inner side of each edge: p * t <= q.
    double t0 = 0, t1 = 1;
    const auto inside = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!inside(-dx, X1 - Area.MinX) || !inside(dx, Area.MaxX - X1) ||
        !inside(-dy, Y1 - Area.MinY) || !inside(dy, Area.MaxY - Y1))
        return false;
    // Clamped as well: rounding may leave an end a hair outside.
    const double x1 = X1, y1 = Y1;
    X1 = std::clamp(x1 + t0 * dx, Area.MinX, Area.MaxX);
    Y1 = std::clamp(y1 + t0 * dy, Area.MinY, Area.MaxY);
    X2 = std::clamp(x1 + t1 * dx, Area.MinX, Area.MaxX);
    Y2 = std::clamp(y1 + t1 * dy, Area.MinY, Area.MaxY);
    return true;
}

int PixelOf(double Coordinate, double Min, double Max) {
    const double c = std::isnan(Coordinate) ? Min : std::clamp(Coordinate, Min, Max);
    return static_cast<int>(std::lround(c));
}

} // namespace vel
