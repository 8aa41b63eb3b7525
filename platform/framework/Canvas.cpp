#include "Canvas.h"

#include "Bitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace fw {

namespace {

// Far beyond any surface; keeps arithmetic on wild coordinates in range.
constexpr int CoordLimit = 1 << 28;

int Clamp(int v) {
    return std::clamp(v, -CoordLimit, CoordLimit);
}

int Mod(int a, int m) {
    const int r = a % m;
    return r < 0 ? r + m : r;
}

int FloorDiv(int a, int b) {
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

TRect Normalized(TRect r) {
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    return r;
}

TRect Inflated(const TRect& r, int d) {
    return TRect{r.Left - d, r.Top - d, r.Right + d, r.Bottom + d};
}

// The pixels the points stand on.
TRect PixelBounds(std::span<const TPoint> pts) {
    TRect box{CoordLimit, CoordLimit, -CoordLimit, -CoordLimit};
    for (const TPoint& p : pts)
        box = {std::min(box.Left, p.X), std::min(box.Top, p.Y), std::max(box.Right, p.X + 1),
               std::max(box.Bottom, p.Y + 1)};
    return box;
}

// On/off run lengths of the styled pens.
struct TDash {
    std::array<int, 6> Runs{};
    int Count = 0;
    int Total = 0;
};

TDash DashOf(TPenStyle style) {
    TDash d;
    auto set = [&d](std::initializer_list<int> runs) {
        for (int r : runs) {
            d.Runs[static_cast<std::size_t>(d.Count++)] = r;
            d.Total += r;
        }
    };
    switch (style) {
    case psDash:
        set({18, 6});
        break;
    case psDot:
        set({3, 3});
        break;
    case psDashDot:
        set({9, 6, 3, 6});
        break;
    case psDashDotDot:
        set({9, 3, 3, 3, 3, 3});
        break;
    case psAlternate:
        set({1, 1});
        break;
    default:
        break;
    }
    return d;
}

bool DashOn(const TDash& d, long long index) {
    long long pos = index % d.Total;
    for (int i = 0; i < d.Count; ++i) {
        if (pos < d.Runs[static_cast<std::size_t>(i)]) return (i % 2) == 0;
        pos -= d.Runs[static_cast<std::size_t>(i)];
    }
    return true;
}

// Calls f(x, y, i) for the pixels i = 0 .. n-1 of the line from a towards b
// (n = the longer axis distance; b itself is not included) whose major
// coordinate lies in [lo, hi). The minor coordinate rounds half away from a.
template <class F> void ForLinePixels(TPoint a, TPoint b, const TRect& range, F&& f) {
    const long long dx = static_cast<long long>(b.X) - a.X;
    const long long dy = static_cast<long long>(b.Y) - a.Y;
    const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const long long n = std::max(adx, ady);
    if (n == 0) return;
    const bool xMajor = adx >= ady;
    const long long start = xMajor ? a.X : a.Y;
    const int step = xMajor ? sx : sy;
    const long long rangeLo = xMajor ? range.Left : range.Top;
    const long long rangeHi = (xMajor ? range.Right : range.Bottom) - 1;
    long long lo = 0, hi = n - 1;
    if (step > 0) {
        lo = std::max(lo, rangeLo - start);
        hi = std::min(hi, rangeHi - start);
    } else {
        lo = std::max(lo, start - rangeHi);
        hi = std::min(hi, start - rangeLo);
    }
    const long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    for (long long i = lo; i <= hi; ++i) {
        const long long m = (2 * i * minor + major) / (2 * major);
        const long long mx = xMajor ? a.X + sx * i : a.X + sx * m;
        const long long my = xMajor ? a.Y + sy * m : a.Y + sy * i;
        f(static_cast<int>(mx), static_cast<int>(my), i);
    }
}

// What the brush paints at a surface pixel (nothing for clear brushes and
// the gaps of hatches).
struct TBrushSampler {
    enum class TKind { None, Solid, Pattern, Hatch, Picture };
    TKind Kind = TKind::None;
    std::uint32_t Color = 0;
    std::uint32_t Text = 0;
    TPattern8 Bits{};
    const TSurface* Picture = nullptr;
    bool Mono = false;
    int OrgX = 0, OrgY = 0;

    bool Sample(int x, int y, std::uint32_t& out) const {
        switch (Kind) {
        case TKind::None:
            return false;
        case TKind::Solid:
            out = Color;
            return true;
        case TKind::Pattern:
        case TKind::Hatch: {
            const int px = Mod(x - OrgX, 8), py = Mod(y - OrgY, 8);
            const bool set = (Bits[static_cast<std::size_t>(py)] >> (7 - px)) & 1;
            if (set) {
                out = Color;
                return true;
            }
            if (Kind == TKind::Hatch) return false;
            out = Text;
            return true;
        }
        case TKind::Picture: {
            const int px = Mod(x - OrgX, Picture->Width), py = Mod(y - OrgY, Picture->Height);
            const std::uint32_t p = Picture->Pixel(px, py);
            if (Mono)
                out = (p & 0xFFFFFFu) == 0 ? Text : Color;
            else
                out = p | 0xFF000000u;
            return true;
        }
        }
        return false;
    }
};

TBrushSampler MakeSampler(const TCanvas& c) {
    TBrushSampler s;
    const TBrush& b = c.Brush();
    s.Color = ColorToPixel32(b.Color());
    s.Text = ColorToPixel32(c.Font().Color());
    s.OrgX = c.Origin().X + c.BrushOrigin().X;
    s.OrgY = c.Origin().Y + c.BrushOrigin().Y;
    if (b.HasPattern()) {
        s.Kind = TBrushSampler::TKind::Pattern;
        s.Bits = b.Pattern();
    } else if (b.Bitmap() && !b.Bitmap()->Empty()) {
        s.Kind = TBrushSampler::TKind::Picture;
        s.Picture = &b.Bitmap()->Surface();
        s.Mono = b.Bitmap()->Monochrome();
    } else if (b.Style() == bsSolid) {
        s.Kind = TBrushSampler::TKind::Solid;
    } else if (b.Style() != bsClear) {
        s.Kind = TBrushSampler::TKind::Hatch;
        s.Bits = HatchPattern(b.Style());
    }
    return s;
}

// A raster operation as bitwise selections over the truth table (index
// pattern*4 + source*2 + destination), so that a row of pixels is one
// straight loop that vectorises. The same result as RopPixel for every
// operation but SRCCOPY, which keeps the source's alpha byte.
class TRopBits {
public:
    explicit TRopBits(TRasterOp rop) {
        const unsigned t = (rop >> 16) & 0xFF;
        for (unsigned i = 0; i < 8; ++i)
            FM[i] = (t >> i) & 1 ? ~0u : 0u;
    }
    std::uint32_t operator()(std::uint32_t p, std::uint32_t s, std::uint32_t d) const {
        const std::uint32_t s0d0 = Pick(p, FM[4], FM[0]), s0d1 = Pick(p, FM[5], FM[1]);
        const std::uint32_t s1d0 = Pick(p, FM[6], FM[2]), s1d1 = Pick(p, FM[7], FM[3]);
        const std::uint32_t d0 = Pick(s, s1d0, s0d0), d1 = Pick(s, s1d1, s0d1);
        return 0xFF000000u | (Pick(d, d1, d0) & 0xFFFFFFu);
    }

private:
    // Bits of `one` where c is set, of `zero` where it is clear.
    static std::uint32_t Pick(std::uint32_t c, std::uint32_t one, std::uint32_t zero) {
        return (c & one) | (~c & zero);
    }
    std::uint32_t FM[8];
};

// Row by row unless the tests ask for the per-pixel reference.
bool RowBlits = true;

// One row of a raster operation: n destination pixels from x0 on row y, the
// source pixel i from src(i). Pixels where the brush paints nothing are left.
template <class TSource>
void RopRow(TRasterOp rop, const TBrushSampler& brush, TSource src, std::uint32_t* dst, int n,
            int x0, int y) {
    const TRopBits op(rop);
    if (!RopUsesPattern(rop) || brush.Kind == TBrushSampler::TKind::Solid) {
        const std::uint32_t p = brush.Color;
        for (int i = 0; i < n; ++i)
            dst[i] = op(p, src(i), dst[i]);
    } else if (brush.Kind != TBrushSampler::TKind::None) {
        for (int i = 0; i < n; ++i) {
            std::uint32_t p = 0;
            if (brush.Sample(x0 + i, y, p)) dst[i] = op(p, src(i), dst[i]);
        }
    }
}

} // namespace

void detail::SetRowBlits(bool On) {
    RowBlits = On;
}

// Which pixels of a shape its pen, its pen's gaps and its brush cover, so
// that every pixel is mixed exactly once.
class TCanvas::TMask {
public:
    static constexpr std::uint8_t BrushPx = 1, GapPx = 2, PenPx = 3;

    explicit TMask(const TRect& box) : Box(box.IsEmpty() ? TRect{} : box) {
        V.assign(static_cast<std::size_t>(Box.Width()) * static_cast<std::size_t>(Box.Height()), 0);
    }
    void Mark(int x, int y, std::uint8_t level) {
        if (!Box.Contains({x, y})) return;
        std::uint8_t& v = V[Index(x, y)];
        if (level > v) v = level;
    }
    std::uint8_t At(int x, int y) const { return V[Index(x, y)]; }
    bool Empty() const { return V.empty(); }

    TRect Box;
    std::vector<std::uint8_t> V;

private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y - Box.Top) * static_cast<std::size_t>(Box.Width()) +
               static_cast<std::size_t>(x - Box.Left);
    }
};

struct TCanvas::TSaved {
    TPen Pen;
    TBrush Brush;
    TFont Font;
    bool HasUserClip;
    TRect UserClip;
    TPoint PenPos;
    TBkMode BkMode;
    TRasterOp CopyMode;
    TFillMode PolyFillMode;
    TPoint BrushOrigin;
    TPoint WindowOrg;
};

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::Attach(TSurface* surface, TPoint origin, TRect clip) {
    FSurface = surface;
    FOrigin = surface ? origin : TPoint{};
    FAttachClip = surface ? clip : TRect{};
    FHasUserClip = false;
    FUserClip = {};
    FWindowOrg = {};
    FBrushOrigin = {};
    FPenPos = {};
    FSaved.clear();
}

// --- coordinates and clipping ----------------------------------------------------

TRect TCanvas::SurfaceClip() const {
    if (!FSurface) return {};
    TRect r = IntersectRect(FAttachClip, TRect{0, 0, FSurface->Width, FSurface->Height});
    if (FHasUserClip) r = IntersectRect(r, FUserClip);
    return r;
}

TPoint TCanvas::ToSurface(int x, int y) const {
    return {Clamp(Clamp(x) - FWindowOrg.X + FOrigin.X), Clamp(Clamp(y) - FWindowOrg.Y + FOrigin.Y)};
}

TRect TCanvas::ToSurface(const TRect& r) const {
    const TPoint a = ToSurface(r.Left, r.Top), b = ToSurface(r.Right, r.Bottom);
    return {a.X, a.Y, b.X, b.Y};
}

TRect TCanvas::ClipRect() const {
    const TRect c = SurfaceClip();
    if (c.IsEmpty()) return {};
    const int dx = FWindowOrg.X - FOrigin.X, dy = FWindowOrg.Y - FOrigin.Y;
    return OffsetRect(c, dx, dy);
}

void TCanvas::IntersectClipRect(const TRect& r) {
    const TRect s = ToSurface(r);
    FUserClip = FHasUserClip ? IntersectRect(FUserClip, s) : (s.IsEmpty() ? TRect{} : s);
    FHasUserClip = true;
}

void TCanvas::SetClipRect(const TRect& r) {
    const TRect s = ToSurface(r);
    FUserClip = s.IsEmpty() ? TRect{} : s;
    FHasUserClip = true;
}

void TCanvas::ResetClipRect() {
    FHasUserClip = false;
    FUserClip = {};
}

bool TCanvas::PtVisible(TPoint p) const {
    return SurfaceClip().Contains(ToSurface(p.X, p.Y));
}

bool TCanvas::RectVisible(const TRect& r) const {
    return !IntersectRect(SurfaceClip(), ToSurface(r)).IsEmpty();
}

// --- state -------------------------------------------------------------------------

int TCanvas::SaveState() {
    FSaved.push_back(TSaved{FPen, FBrush, FFont, FHasUserClip, FUserClip, FPenPos, FBkMode,
                            FCopyMode, FPolyFillMode, FBrushOrigin, FWindowOrg});
    return static_cast<int>(FSaved.size());
}

int TCanvas::SavedStates() const {
    return static_cast<int>(FSaved.size());
}

bool TCanvas::RestoreState(int level) {
    const int count = static_cast<int>(FSaved.size());
    const int target = level < 0 ? count + level + 1 : level;
    if (target < 1 || target > count) return false;
    TSaved s = std::move(FSaved[static_cast<std::size_t>(target - 1)]);
    FSaved.resize(static_cast<std::size_t>(target - 1));
    FPen.Assign(s.Pen);
    FBrush.Assign(s.Brush);
    FFont.Assign(s.Font);
    FHasUserClip = s.HasUserClip;
    FUserClip = s.UserClip;
    FPenPos = s.PenPos;
    FBkMode = s.BkMode;
    FCopyMode = s.CopyMode;
    FPolyFillMode = s.PolyFillMode;
    FBrushOrigin = s.BrushOrigin;
    FWindowOrg = s.WindowOrg;
    return true;
}

// --- pixel plumbing ------------------------------------------------------------------

bool TCanvas::OpaqueBackground() const {
    return FBkMode == bkOpaque || (FBkMode == bkAuto && FBrush.Style() == bsSolid);
}

void TCanvas::Changed() {
    CallHandler(OnChange, nullptr);
}

void TCanvas::ApplyMask(const TMask& mask) {
    if (mask.Empty()) return;
    const std::uint32_t pen = ColorToPixel32(FPen.Color());
    const std::uint32_t gap = ColorToPixel32(FBrush.Color());
    const TPenMode mode = FPen.Mode();
    const TBrushSampler brush = MakeSampler(*this);
    for (int y = mask.Box.Top; y < mask.Box.Bottom; ++y) {
        std::uint32_t* row = FSurface->Row(y);
        for (int x = mask.Box.Left; x < mask.Box.Right; ++x) {
            std::uint32_t src;
            switch (mask.At(x, y)) {
            case TMask::PenPx:
                src = pen;
                break;
            case TMask::GapPx:
                src = gap;
                break;
            case TMask::BrushPx:
                if (!brush.Sample(x, y, src)) continue;
                break;
            default:
                continue;
            }
            row[x] = MixPixel(mode, src, row[x]);
        }
    }
}

void TCanvas::PenPath(TMask& mask, std::span<const TPoint> pts, bool closed) {
    if (FPen.Style() == psClear || pts.size() < 2 || mask.Empty()) return;
    const int w = FPen.Width();
    const TDash dash = w == 1 ? DashOf(FPen.Style()) : TDash{};
    const bool gaps = dash.Count > 0 && OpaqueBackground();
    const TRect range = Inflated(mask.Box, w);
    long long offset = 0;
    const std::size_t segments = closed ? pts.size() : pts.size() - 1;
    for (std::size_t k = 0; k < segments; ++k) {
        const TPoint a = pts[k], b = pts[(k + 1) % pts.size()];
        ForLinePixels(a, b, range, [&](int x, int y, long long i) {
            if (dash.Count > 0 && !DashOn(dash, offset + i)) {
                if (gaps) mask.Mark(x, y, TMask::GapPx);
                return;
            }
            if (w == 1) {
                mask.Mark(x, y, TMask::PenPx);
                return;
            }
            const int x0 = x - w / 2, y0 = y - w / 2;
            for (int yy = y0; yy < y0 + w; ++yy)
                for (int xx = x0; xx < x0 + w; ++xx)
                    mask.Mark(xx, yy, TMask::PenPx);
        });
        offset += std::max(std::abs(static_cast<long long>(b.X) - a.X),
                           std::abs(static_cast<long long>(b.Y) - a.Y));
    }
}

void TCanvas::FillSolid(const TRect& r, std::uint32_t pixel) {
    const TRect c = IntersectRect(r, SurfaceClip());
    for (int y = c.Top; y < c.Bottom; ++y)
        std::fill(FSurface->Row(y) + c.Left, FSurface->Row(y) + c.Right, pixel);
}

void TCanvas::FillBrushRect(const TRect& r) {
    const TRect c = IntersectRect(r, SurfaceClip());
    if (c.IsEmpty()) return;
    const TBrushSampler brush = MakeSampler(*this);
    if (RowBlits && brush.Kind == TBrushSampler::TKind::Solid) {
        FillSolid(c, brush.Color);
        return;
    }
    for (int y = c.Top; y < c.Bottom; ++y) {
        std::uint32_t* row = FSurface->Row(y);
        for (int x = c.Left; x < c.Right; ++x) {
            std::uint32_t p;
            if (brush.Sample(x, y, p)) row[x] = p;
        }
    }
}

// --- lines and shapes -------------------------------------------------------------------

void TCanvas::MoveTo(int x, int y) {
    FPenPos = {x, y};
}

void TCanvas::LineTo(int x, int y) {
    const TPoint from = FPenPos;
    FPenPos = {x, y};
    Polyline({from, TPoint{x, y}});
}

void TCanvas::Polyline(std::span<const TPoint> points) {
    if (!FSurface || points.size() < 2) return;
    std::vector<TPoint> pts(points.size());
    std::transform(points.begin(), points.end(), pts.begin(),
                   [this](TPoint p) { return ToSurface(p.X, p.Y); });
    TMask mask(IntersectRect(Inflated(PixelBounds(pts), FPen.Width()), SurfaceClip()));
    PenPath(mask, pts, false);
    ApplyMask(mask);
    Changed();
}

void TCanvas::Polygon(std::span<const TPoint> points) {
    if (!FSurface || points.size() < 2) return;
    std::vector<TPoint> pts(points.size());
    std::transform(points.begin(), points.end(), pts.begin(),
                   [this](TPoint p) { return ToSurface(p.X, p.Y); });
    TMask mask(IntersectRect(Inflated(PixelBounds(pts), FPen.Width()), SurfaceClip()));
    if (mask.Empty()) return;
    // Fill: pixel centres inside the outline, by the polygon fill mode.
    std::vector<std::pair<double, int>> cross;
    for (int y = mask.Box.Top; y < mask.Box.Bottom; ++y) {
        const double yc = y + 0.5;
        cross.clear();
        for (std::size_t k = 0; k < pts.size(); ++k) {
            const TPoint a = pts[k], b = pts[(k + 1) % pts.size()];
            if (a.Y == b.Y) continue;
            const bool down = a.Y < b.Y;
            const double y0 = down ? a.Y : b.Y, y1 = down ? b.Y : a.Y;
            if (yc < y0 || yc >= y1) continue;
            const double x = a.X + (yc - a.Y) * (b.X - a.X) / static_cast<double>(b.Y - a.Y);
            cross.emplace_back(x, down ? 1 : -1);
        }
        std::sort(cross.begin(), cross.end());
        int winding = 0;
        for (std::size_t k = 0; k + 1 < cross.size(); ++k) {
            winding += cross[k].second;
            const bool inside = FPolyFillMode == fmAlternate ? (k % 2) == 0 : winding != 0;
            if (!inside) continue;
            const double xa = std::max(cross[k].first, static_cast<double>(mask.Box.Left) - 1);
            const double xb = std::min(cross[k + 1].first, static_cast<double>(mask.Box.Right) + 1);
            const int from = static_cast<int>(std::ceil(xa - 0.5));
            const int to = static_cast<int>(std::ceil(xb - 0.5));
            for (int x = from; x < to; ++x)
                mask.Mark(x, y, TMask::BrushPx);
        }
    }
    PenPath(mask, pts, true);
    ApplyMask(mask);
    Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (!FSurface) return;
    TRect r = Normalized(ToSurface(TRect{left, top, right, bottom}));
    if (FPen.Style() == psClear) {
        --r.Right;
        --r.Bottom;
    }
    if (r.IsEmpty()) return;
    const int w = FPen.Width();
    TMask mask(IntersectRect(Inflated(r, w), SurfaceClip()));
    if (mask.Empty()) return;
    if (FPen.Style() == psClear) {
        for (int y = mask.Box.Top; y < mask.Box.Bottom; ++y)
            for (int x = mask.Box.Left; x < mask.Box.Right; ++x)
                if (r.Contains({x, y})) mask.Mark(x, y, TMask::BrushPx);
    } else {
        const TRect inner{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
        for (int y = mask.Box.Top; y < mask.Box.Bottom; ++y)
            for (int x = mask.Box.Left; x < mask.Box.Right; ++x)
                if (inner.Contains({x, y})) mask.Mark(x, y, TMask::BrushPx);
        TRect path = r;
        if (FPen.Style() == psInsideFrame && w > 1)
            path = {r.Left + w / 2, r.Top + w / 2, r.Right - (w - 1) / 2, r.Bottom - (w - 1) / 2};
        const TPoint corners[4] = {{path.Left, path.Top},
                                   {path.Right - 1, path.Top},
                                   {path.Right - 1, path.Bottom - 1},
                                   {path.Left, path.Bottom - 1}};
        PenPath(mask, corners, true);
    }
    ApplyMask(mask);
    Changed();
}

template <class TInside> void TCanvas::DrawShape(TRect box, TInside inside) {
    const int w = FPen.Width();
    TMask mask(IntersectRect(Inflated(box, w), SurfaceClip()));
    if (mask.Empty()) return;
    const bool pen = FPen.Style() != psClear;
    const TRect scan = IntersectRect(box, Inflated(mask.Box, w));
    for (int y = scan.Top; y < scan.Bottom; ++y) {
        for (int x = scan.Left; x < scan.Right; ++x) {
            if (!inside(x, y)) continue;
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (!pen || !edge) {
                mask.Mark(x, y, TMask::BrushPx);
                continue;
            }
            const int x0 = x - w / 2, y0 = y - w / 2;
            for (int yy = y0; yy < y0 + w; ++yy)
                for (int xx = x0; xx < x0 + w; ++xx)
                    mask.Mark(xx, yy, TMask::PenPx);
        }
    }
    ApplyMask(mask);
    Changed();
}

namespace {

// Pixel centres inside the ellipse inscribed in [l, r) x [t, b), in exact
// integer arithmetic so that the shape is mirror-symmetric.
bool InEllipse(long long l, long long t, long long r, long long b, long long x, long long y) {
    const long long w = r - l, h = b - t;
    if (w <= 0 || h <= 0 || x < l || x >= r || y < t || y >= b) return false;
    const __int128 dx = 2 * x + 1 - (l + r), dy = 2 * y + 1 - (t + b);
    // The middle row and column always reach the box, even for thin shapes.
    if (dx * dx <= 1 || dy * dy <= 1) return true;
    const __int128 w2 = static_cast<__int128>(w) * w, h2 = static_cast<__int128>(h) * h;
    return dx * dx * h2 + dy * dy * w2 <= w2 * h2;
}

// Shapes outlined by the pen shrink to keep a wide inside-frame pen within
// the box; without a pen they lose their right column and bottom row.
TRect ShapeBox(TRect box, const TPen& pen) {
    if (pen.Style() == psClear) {
        --box.Right;
        --box.Bottom;
    } else if (pen.Style() == psInsideFrame && pen.Width() > 1) {
        const int w = pen.Width();
        box = {box.Left + w / 2, box.Top + w / 2, box.Right - (w - 1) / 2,
               box.Bottom - (w - 1) / 2};
    }
    return box;
}

} // namespace

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    if (!FSurface) return;
    const TRect box = ShapeBox(Normalized(ToSurface(TRect{left, top, right, bottom})), FPen);
    if (box.IsEmpty()) return;
    DrawShape(box, [box](int x, int y) {
        return InEllipse(box.Left, box.Top, box.Right, box.Bottom, x, y);
    });
}

void TCanvas::RoundRect(int left, int top, int right, int bottom, int cornerW, int cornerH) {
    if (!FSurface) return;
    const TRect box = ShapeBox(Normalized(ToSurface(TRect{left, top, right, bottom})), FPen);
    if (box.IsEmpty()) return;
    const int ew = std::min(std::abs(Clamp(cornerW)), box.Width());
    const int eh = std::min(std::abs(Clamp(cornerH)), box.Height());
    DrawShape(box, [box, ew, eh](int x, int y) {
        if (!box.Contains({x, y})) return false;
        if (ew == 0 || eh == 0) return true;
        int cl, ct;
        if (x < box.Left + ew / 2)
            cl = box.Left;
        else if (x >= box.Right - ew / 2)
            cl = box.Right - ew;
        else
            return true;
        if (y < box.Top + eh / 2)
            ct = box.Top;
        else if (y >= box.Bottom - eh / 2)
            ct = box.Bottom - eh;
        else
            return true;
        return InEllipse(cl, ct, cl + ew, ct + eh, x, y);
    });
}

void TCanvas::FillRect(const TRect& r) {
    if (!FSurface) return;
    FillBrushRect(ToSurface(r));
    Changed();
}

void TCanvas::FrameRect(const TRect& r) {
    if (!FSurface) return;
    const TRect s = ToSurface(r);
    if (s.IsEmpty()) return;
    FillBrushRect({s.Left, s.Top, s.Right, s.Top + 1});
    FillBrushRect({s.Left, s.Bottom - 1, s.Right, s.Bottom});
    FillBrushRect({s.Left, s.Top + 1, s.Left + 1, s.Bottom - 1});
    FillBrushRect({s.Right - 1, s.Top + 1, s.Right, s.Bottom - 1});
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
    if (!FSurface) return;
    const TRect s = ToSurface(r);
    if (s.IsEmpty()) return;
    TMask mask(IntersectRect(s, SurfaceClip()));
    if (mask.Empty()) return;
    for (int x = s.Left; x < s.Right; ++x) {
        mask.Mark(x, s.Top, TMask::PenPx);
        mask.Mark(x, s.Bottom - 1, TMask::PenPx);
    }
    for (int y = s.Top; y < s.Bottom; ++y) {
        mask.Mark(s.Left, y, TMask::PenPx);
        mask.Mark(s.Right - 1, y, TMask::PenPx);
    }
    // A checkerboard, inverted with the text colour on one square and the
    // brush colour on the other: drawing it twice restores the pixels.
    const std::uint32_t text = ColorToPixel32(FFont.Color()) & 0xFFFFFFu;
    const std::uint32_t back = ColorToPixel32(FBrush.Color()) & 0xFFFFFFu;
    const int ox = FOrigin.X + FBrushOrigin.X, oy = FOrigin.Y + FBrushOrigin.Y;
    for (int y = mask.Box.Top; y < mask.Box.Bottom; ++y)
        for (int x = mask.Box.Left; x < mask.Box.Right; ++x)
            if (mask.At(x, y)) {
                const bool even = Mod((x - ox) + (y - oy), 2) == 0;
                FSurface->Row(y)[x] ^= even ? back : text;
            }
    Changed();
}

void TCanvas::PatBlt(const TRect& r, TRasterOp rop) {
    if (!FSurface) return;
    const TRect c = IntersectRect(ToSurface(r), SurfaceClip());
    if (c.IsEmpty()) return;
    const TBrushSampler brush = MakeSampler(*this);
    if (RowBlits) {
        // No source: it reads as opaque black.
        const auto black = [](int) { return 0xFF000000u; };
        for (int y = c.Top; y < c.Bottom; ++y)
            RopRow(rop, brush, black, FSurface->Row(y) + c.Left, c.Width(), c.Left, y);
        Changed();
        return;
    }
    const bool usesPattern = RopUsesPattern(rop);
    for (int y = c.Top; y < c.Bottom; ++y) {
        std::uint32_t* row = FSurface->Row(y);
        for (int x = c.Left; x < c.Right; ++x) {
            std::uint32_t pat = 0;
            if (usesPattern && !brush.Sample(x, y, pat)) continue;
            row[x] = RopPixel(rop, pat, 0xFF000000u, row[x]);
        }
    }
    Changed();
}

void TCanvas::DrawEdge(TRect& r, unsigned edge, unsigned flags) {
    if (!FSurface) return;
    const bool flat = (flags & (BF_FLAT | BF_MONO)) != 0;
    struct TRing {
        TColor TopLeft, BottomRight;
    };
    std::vector<TRing> rings;
    const bool soft = (flags & BF_SOFT) != 0;
    // Outer ring first.
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
        if (flags & BF_MONO)
            rings.push_back({clWindowFrame, clWindowFrame});
        else if (flat)
            rings.push_back({clBtnShadow, clBtnShadow});
        else if (edge & BDR_RAISEDOUTER)
            rings.push_back({soft ? clBtnHighlight : cl3DLight, cl3DDkShadow});
        else
            rings.push_back({soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight});
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
        if (flat)
            rings.push_back({clBtnFace, clBtnFace});
        else if (edge & BDR_RAISEDINNER)
            rings.push_back({soft ? cl3DLight : clBtnHighlight, clBtnShadow});
        else
            rings.push_back({soft ? clBtnShadow : cl3DDkShadow, cl3DLight});
    }
    TRect s = ToSurface(r);
    for (const TRing& ring : rings) {
        if (s.IsEmpty()) break;
        const std::uint32_t tl = ColorToPixel32(ring.TopLeft);
        const std::uint32_t br = ColorToPixel32(ring.BottomRight);
        // Light sides stop short of the far corners, which belong to the dark sides.
        if (flags & BF_TOP) FillSolid({s.Left, s.Top, s.Right - 1, s.Top + 1}, tl);
        if (flags & BF_LEFT) FillSolid({s.Left, s.Top, s.Left + 1, s.Bottom - 1}, tl);
        if (flags & BF_BOTTOM) FillSolid({s.Left, s.Bottom - 1, s.Right, s.Bottom}, br);
        if (flags & BF_RIGHT) FillSolid({s.Right - 1, s.Top, s.Right, s.Bottom}, br);
        if (flags & BF_LEFT) ++s.Left;
        if (flags & BF_TOP) ++s.Top;
        if (flags & BF_RIGHT) --s.Right;
        if (flags & BF_BOTTOM) --s.Bottom;
    }
    if ((flags & BF_MIDDLE) && !s.IsEmpty())
        FillSolid(s, ColorToPixel32(flat ? clWindow : clBtnFace));
    if (flags & BF_ADJUST) {
        const int dx = FWindowOrg.X - FOrigin.X, dy = FWindowOrg.Y - FOrigin.Y;
        r = OffsetRect(s, dx, dy);
    }
    Changed();
}

// --- pixels ----------------------------------------------------------------------------

TColor TCanvas::Pixels(int x, int y) const {
    const TPoint p = ToSurface(x, y);
    if (!SurfaceClip().Contains(p)) return -1;
    return PixelToColor(FSurface->Pixel(p.X, p.Y));
}

void TCanvas::SetPixels(int x, int y, TColor c) {
    const TPoint p = ToSurface(x, y);
    if (!SurfaceClip().Contains(p)) return;
    FSurface->Row(p.Y)[p.X] = ColorToPixel32(c);
    Changed();
}

// --- text --------------------------------------------------------------------------------

TTextMetric TCanvas::TextMetrics() const {
    return TFontFace(FFont).Metrics();
}

TSize TCanvas::TextExtent(std::string_view text) const {
    const TFontFace face(FFont);
    return {face.TextWidth(TextToU32(text)), face.Metrics().Height};
}

TSize TCanvas::TextExtent(std::u16string_view text) const {
    const TFontFace face(FFont);
    return {face.TextWidth(TextToU32(text)), face.Metrics().Height};
}

void TCanvas::RenderText(std::u32string_view text, int x, int y, const TRect& clip,
                         const std::vector<int>* underlined) {
    const TRect c = IntersectRect(clip, SurfaceClip());
    if (c.IsEmpty()) return;
    const std::uint32_t color = ColorToPixel32(FFont.Color());
    const TPoint at = ToSurface(x, y);
    TSurface* surface = FSurface;
    TFontFace(FFont).Render(
        text, at.X, at.Y,
        [&](int px, int py) {
            if (c.Contains({px, py})) surface->Row(py)[px] = color;
        },
        underlined);
}

void TCanvas::TextOut32(int x, int y, std::u32string_view text) {
    if (!FSurface) return;
    x = Clamp(x);
    y = Clamp(y);
    const TFontFace face(FFont);
    const int w = face.TextWidth(text);
    if (OpaqueBackground())
        FillSolid(ToSurface(TRect{x, y, x + w, y + face.Metrics().Height}),
                  ColorToPixel32(FBrush.Color()));
    RenderText(text, x, y, SurfaceClip(), nullptr);
    FPenPos = {x + w, y};
    Changed();
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
    TextOut32(x, y, TextToU32(text));
}
void TCanvas::TextOut(int x, int y, std::u16string_view text) {
    TextOut32(x, y, TextToU32(text));
}

void TCanvas::TextRect32(const TRect& r, int x, int y, std::u32string_view text) {
    if (!FSurface) return;
    x = Clamp(x);
    y = Clamp(y);
    const TRect s = ToSurface(r);
    if (OpaqueBackground()) FillSolid(s, ColorToPixel32(FBrush.Color()));
    RenderText(text, x, y, s, nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
    TextRect32(r, x, y, TextToU32(text));
}
void TCanvas::TextRect(const TRect& r, int x, int y, std::u16string_view text) {
    TextRect32(r, x, y, TextToU32(text));
}

int TCanvas::DrawText32(std::u32string_view text, TRect& rect, unsigned format) {
    TRect r{Clamp(rect.Left), Clamp(rect.Top), Clamp(rect.Right), Clamp(rect.Bottom)};
    const TFontFace face(FFont);
    const TTextMetric m = face.Metrics();
    const int lineH = m.Height + ((format & DT_EXTERNALLEADING) ? m.ExternalLeading : 0);
    const std::vector<TTextLine> lines = LayoutText(face, text, r.Width(), format);
    const int total = static_cast<int>(lines.size()) * lineH;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TTextLine& l : lines)
            widest = std::max(widest, l.Width);
        rect.Right = r.Left + widest;
        rect.Bottom = r.Top + total;
        rect.Left = r.Left;
        rect.Top = r.Top;
        return total;
    }
    int y = r.Top;
    const bool single = (format & DT_SINGLELINE) != 0;
    if (single && (format & DT_VCENTER))
        y = FloorDiv(r.Top + r.Bottom - lineH, 2);
    else if (single && (format & DT_BOTTOM))
        y = r.Bottom - lineH;
    const int firstY = y;
    if (!FSurface) return total;
    const TRect clip = (format & DT_NOCLIP) ? SurfaceClip() : ToSurface(r);
    const bool opaque = OpaqueBackground();
    const std::uint32_t back = ColorToPixel32(FBrush.Color());
    for (std::size_t i = 0; i < lines.size(); ++i, y += lineH) {
        // Like an edit control, a later line that would be cut at the bottom is left out.
        if ((format & DT_EDITCONTROL) && !single && i > 0 && y + lineH > r.Bottom) break;
        const TTextLine& l = lines[i];
        int x = r.Left;
        if (format & DT_CENTER)
            x = FloorDiv(r.Left + r.Right - l.Width, 2);
        else if (format & DT_RIGHT)
            x = r.Right - l.Width;
        if (opaque)
            FillSolid(IntersectRect(ToSurface(TRect{x, y, x + l.Width, y + lineH}), clip), back);
        RenderText(l.Text, x, y, clip, &l.Underlined);
    }
    Changed();
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) return firstY + total - r.Top;
    return total;
}

int TCanvas::DrawText(std::string_view text, TRect& r, unsigned format) {
    return DrawText32(TextToU32(text), r, format);
}
int TCanvas::DrawText(std::u16string_view text, TRect& r, unsigned format) {
    return DrawText32(TextToU32(text), r, format);
}

// --- block copies ---------------------------------------------------------------------------

// An unstretched copy, row by row: destination pixel (x, y) takes source
// pixel (x - dx, y - dy); `reach` is where the source has pixels, in
// destination coordinates. On one surface the rows go in the order that reads
// every source row before it is written, and a row that overlaps itself goes
// through a copy of its source pixels.
void TCanvas::CopyRows(const TRect& clip, const TRect& reach, const TSurface* src, int dx, int dy,
                       TRasterOp rop) {
    const TRect r = IntersectRect(clip, reach);
    if (r.IsEmpty()) return;
    const bool same = src == FSurface;
    const bool bottomUp = same && dy > 0;
    const int n = r.Width();
    const TBrushSampler brush = MakeSampler(*this);
    std::vector<std::uint32_t> row;
    if (same && dy == 0 && rop != SRCCOPY) row.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < r.Height(); ++k) {
        const int y = bottomUp ? r.Bottom - 1 - k : r.Top + k;
        const std::uint32_t* sp = src->Row(y - dy) + (r.Left - dx);
        std::uint32_t* dp = FSurface->Row(y) + r.Left;
        if (rop == SRCCOPY) {
            std::memmove(dp, sp, static_cast<std::size_t>(n) * sizeof *dp);
            continue;
        }
        if (!row.empty()) {
            std::copy(sp, sp + n, row.begin());
            sp = row.data();
        }
        RopRow(rop, brush, [sp](int i) { return sp[i]; }, dp, n, r.Left, y);
    }
}

void TCanvas::Blit(const TRect& destRect, const TSurface* src, const TRect& srcRect, TRasterOp rop,
                   bool transparent, std::uint32_t transparentRgb) {
    if (!FSurface || !src) return;
    // The destination is logical, like every other drawing coordinate.
    const TRect dest = ToSurface(destRect);
    const bool flipX = (dest.Width() < 0) != (srcRect.Width() < 0);
    const bool flipY = (dest.Height() < 0) != (srcRect.Height() < 0);
    const TRect d = Normalized(dest), s = Normalized(srcRect);
    const long long dw = d.Width(), dh = d.Height(), sw = s.Width(), sh = s.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    const TRect c = IntersectRect(d, SurfaceClip());
    if (c.IsEmpty()) return;
    const TRect avail = IntersectRect(s, TRect{0, 0, src->Width, src->Height});
    if (avail.IsEmpty()) return;
    if (RowBlits && !transparent && !flipX && !flipY && dw == sw && dh == sh) {
        CopyRows(c, OffsetRect(avail, d.Left - s.Left, d.Top - s.Top), src, d.Left - s.Left,
                 d.Top - s.Top, rop);
        return;
    }
    // Snapshot the readable source first when source and destination share
    // pixels: they may overlap.
    std::vector<std::uint32_t> copy;
    if (src == FSurface) {
        copy.resize(static_cast<std::size_t>(avail.Width()) *
                    static_cast<std::size_t>(avail.Height()));
        for (int y = avail.Top; y < avail.Bottom; ++y)
            std::copy(src->Row(y) + avail.Left, src->Row(y) + avail.Right,
                      copy.begin() + static_cast<std::ptrdiff_t>(y - avail.Top) * avail.Width());
    }
    const bool usesPattern = RopUsesPattern(rop);
    const TBrushSampler brush = MakeSampler(*this);
    for (int y = c.Top; y < c.Bottom; ++y) {
        long long oy = y - d.Top;
        if (flipY) oy = dh - 1 - oy;
        const long long sy = s.Top + (dh == sh ? oy : (2 * oy + 1) * sh / (2 * dh));
        if (sy < avail.Top || sy >= avail.Bottom) continue;
        const std::uint32_t* srow =
            copy.empty() ? src->Row(static_cast<int>(sy)) + avail.Left
                         : copy.data() + static_cast<std::ptrdiff_t>(sy - avail.Top) * avail.Width();
        std::uint32_t* drow = FSurface->Row(y);
        for (int x = c.Left; x < c.Right; ++x) {
            long long ox = x - d.Left;
            if (flipX) ox = dw - 1 - ox;
            const long long sx = s.Left + (dw == sw ? ox : (2 * ox + 1) * sw / (2 * dw));
            if (sx < avail.Left || sx >= avail.Right) continue;
            const std::uint32_t p = srow[sx - avail.Left];
            if (transparent && (p & 0xFFFFFFu) == transparentRgb) continue;
            std::uint32_t pat = 0;
            if (usesPattern && !brush.Sample(x, y, pat)) continue;
            drow[x] = RopPixel(rop, pat, p, drow[x]);
        }
    }
}

void TCanvas::BitBlt(int x, int y, int w, int h, const TCanvas& src, int srcX, int srcY,
                     TRasterOp rop) {
    if (w <= 0 || h <= 0) return;
    if (!RopUsesSource(rop)) {
        PatBlt(TRect{x, y, x + w, y + h}, rop);
        return;
    }
    Blit(TRect{x, y, x + w, y + h}, src.FSurface,
         src.ToSurface(TRect{srcX, srcY, srcX + w, srcY + h}), rop, false, 0);
    Changed();
}

void TCanvas::StretchBlt(const TRect& dest, const TCanvas& src, const TRect& srcRect,
                         TRasterOp rop) {
    Blit(dest, src.FSurface, src.ToSurface(srcRect), rop, false, 0);
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& src, const TRect& srcRect) {
    StretchBlt(dest, src, srcRect, FCopyMode);
}

void TCanvas::TransparentBlt(const TRect& dest, const TCanvas& src, const TRect& srcRect,
                             TColor transparent) {
    Blit(dest, src.FSurface, src.ToSurface(srcRect), SRCCOPY, true,
         ColorToPixel32(transparent) & 0xFFFFFFu);
    Changed();
}

void TCanvas::Draw(int x, int y, const TBitmap& bitmap) {
    StretchDraw(TRect{x, y, x + bitmap.Width(), y + bitmap.Height()}, bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    const TRect all{0, 0, bitmap.Width(), bitmap.Height()};
    if (bitmap.Transparent())
        Blit(dest, &bitmap.Surface(), all, SRCCOPY, true,
             ColorToPixel32(bitmap.TransparentColor()) & 0xFFFFFFu);
    else
        Blit(dest, &bitmap.Surface(), all, FCopyMode, false, 0);
    Changed();
}

void TCanvas::DrawSurface(int x, int y, const TSurface& src, const std::uint8_t* mask) {
    if (!FSurface) return;
    const TPoint at = ToSurface(x, y);
    const TRect c =
        IntersectRect(TRect{at.X, at.Y, at.X + src.Width, at.Y + src.Height}, SurfaceClip());
    for (int py = c.Top; py < c.Bottom; ++py) {
        const int sy = py - at.Y;
        for (int px = c.Left; px < c.Right; ++px) {
            const int sx = px - at.X;
            const std::size_t i =
                static_cast<std::size_t>(sy) * static_cast<std::size_t>(src.Width) +
                static_cast<std::size_t>(sx);
            if (!mask || mask[i]) FSurface->Row(py)[px] = src.Pixels[i];
        }
    }
    Changed();
}

} // namespace fw
