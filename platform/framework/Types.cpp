#include "Types.h"

#include <algorithm>

namespace fw {

TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.IsEmpty()) return TRect{};
    return r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                 std::max(a.Bottom, b.Bottom)};
}

void TSurface::SetSize(int w, int h, std::uint32_t fill) {
    Width = std::max(w, 0);
    Height = std::max(h, 0);
    Pixels.assign(static_cast<std::size_t>(Width) * Height, fill);
}

} // namespace fw
