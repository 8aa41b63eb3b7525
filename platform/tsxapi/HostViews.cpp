#include "HostViews.h"

#include <algorithm>
#include <cmath>

#include "HostState.h"
#include "Png.h"

namespace tsxhost::detail {

Point2 Project(int view, const CtsxVec3f& p) {
    switch (view) {
    case 1:
        return {p.x, p.y};
    case 2:
        return {p.y, p.z};
    case 3:
        return {p.x - 0.5 * p.y, p.z - 0.3 * p.y};
    default:
        return {p.x, p.z};
    }
}

std::uint32_t PenColour(int pen) {
    switch (pen) {
    case e_tsxPEN_BACKGROUND:
        return 0xFF303030;
    case e_tsxPEN_GRID:
        return 0xFF505050;
    case e_tsxPEN_ACTIVE:
        return 0xFFFFFFFF;
    case e_tsxPEN_SCENE:
        return 0xFFB0B0B0;
    case e_tsxPEN_ACTIVESUB:
        return 0xFFFFFF80;
    case e_tsxPEN_INACTIVESUB:
        return 0xFF808040;
    case e_tsxPEN_CONTROL:
        return 0xFF40C0C0;
    case e_tsxPEN_ACTIVECONTROL:
        return 0xFF80FFFF;
    case e_tsxPEN_RED:
        return 0xFFFF3030;
    case e_tsxPEN_GREEN:
        return 0xFF30FF30;
    case e_tsxPEN_BLUE:
        return 0xFF4080FF;
    default:
        return 0xFFFF00FF;
    }
}

} // namespace tsxhost::detail

namespace tsxhost {

using namespace detail;

void SetViewCount(int count) {
    S().views.assign(static_cast<std::size_t>(std::clamp(count, 1, 16)), View{});
}

int ViewCount() {
    return static_cast<int>(S().views.size());
}

bool ViewsDirty() {
    const auto& v = S().views;
    return std::any_of(v.begin(), v.end(), [](const View& x) { return x.dirty; });
}

int IdleRedraw() {
    State& s = S();
    int redrawn = 0;
    for (std::size_t v = 0; v < s.views.size(); ++v) {
        if (!s.views[v].dirty) continue;
        s.views[v].dirty = false;
        s.views[v].lines.clear();
        ++redrawn;
        std::vector<std::uint64_t> ids;
        for (Node* n : WalkScene())
            if (n->type >= TSX_TYPE_EXTFIRST) ids.push_back(n->id);
        s.drawingView = static_cast<int>(v);
        TScopeExit leave{[&s] { s.drawingView = -1; }};
        for (std::uint64_t id : ids) {
            auto it = s.nodes.find(id);
            if (it == s.nodes.end()) continue;
            Node* n = it->second.get();
            auto index = static_cast<std::size_t>(n->type - TSX_TYPE_EXTFIRST);
            if (index >= s.extTypes.size() || !s.extTypes[index].cb.onDraw) continue;
            int mode = e_tsxEDIT_INACTIVE;
            if (s.selection == n)
                mode = e_tsxEDIT_ACTIVE;
            else if (s.selection && IsAncestor(s.selection, n))
                mode = e_tsxEDIT_ACTIVESUB;
            CtsxRect rect{0, 0, 640, 480};
            s.pen = e_tsxPEN_SCENE;
            s.extTypes[index].cb.onDraw(Handle(n), mode, &rect);
        }
    }
    return redrawn;
}

const std::vector<DrawnLines>& ViewLines(int view) {
    static const std::vector<DrawnLines> none;
    const auto& v = S().views;
    return view >= 0 && view < static_cast<int>(v.size()) ? v[static_cast<std::size_t>(view)].lines
                                                          : none;
}

namespace {

struct Seg {
    Point2 a, b;
    std::uint32_t colour;
};

// What a view shows: the edges of the visible meshes, then the lines the
// extension objects drew in it, projected by its camera.
std::vector<Seg> ViewSegments(int view) {
    std::vector<Seg> segs;
    for (Node* n : WalkScene()) {
        const Mesh* m = n->mesh ? n->mesh.get() : (n->cage ? n->cage->mesh.get() : nullptr);
        if (!m || !Visible(n)) continue;
        const Affine w = World(n);
        for (const auto& f : m->faces) {
            for (std::size_t i = 0; i < f.size(); ++i) {
                CtsxVec3f p = ToF(Apply(w, ToVec(m->vxs[static_cast<std::size_t>(f[i])])));
                CtsxVec3f q =
                    ToF(Apply(w, ToVec(m->vxs[static_cast<std::size_t>(f[(i + 1) % f.size()])])));
                segs.push_back({Project(view, p), Project(view, q), 0xFF707070});
            }
        }
    }
    for (const DrawnLines& l : ViewLines(view))
        for (std::size_t i = 0; i + 1 < l.points.size(); ++i)
            segs.push_back(
                {Project(view, l.points[i]), Project(view, l.points[i + 1]), PenColour(l.pen)});
    return segs;
}

// The camera that fits what is drawn into the picture, with a margin.
Camera FitCamera(int view, const std::vector<Seg>& segs, int width, int height) {
    double x0 = -1, x1 = 1, y0 = -1, y1 = 1;
    if (!segs.empty()) {
        x0 = y0 = 1e300, x1 = y1 = -1e300;
        for (const Seg& s : segs)
            for (const Point2& p : {s.a, s.b})
                x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y),
                y1 = std::max(y1, p.y);
    }
    const double spanX = std::max(x1 - x0, 1e-6), spanY = std::max(y1 - y0, 1e-6);
    Camera c;
    c.view = view, c.width = width, c.height = height;
    c.scale = 0.9 * std::min(width / spanX, height / spanY);
    c.cx = (x0 + x1) / 2, c.cy = (y0 + y1) / 2;
    return c;
}

Point2 ToPixel(const Camera& c, const Point2& p) {
    return {c.width / 2.0 + (p.x - c.cx) * c.scale, c.height / 2.0 - (p.y - c.cy) * c.scale};
}

std::vector<std::uint32_t> Rasterise(const std::vector<Seg>& segs, const Camera& c) {
    const int width = c.width, height = c.height;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height, PenColour(0));
    auto plot = [&](long x, long y, std::uint32_t colour) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            px[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] = colour;
    };
    for (const Seg& s : segs) {
        const Point2 a = ToPixel(c, s.a), b = ToPixel(c, s.b);
        long ax = std::lround(a.x), ay = std::lround(a.y), bx = std::lround(b.x),
             by = std::lround(b.y);
        long dx = std::labs(bx - ax), dy = -std::labs(by - ay);
        long stepX = ax < bx ? 1 : -1, stepY = ay < by ? 1 : -1, err = dx + dy;
        for (long guard = 0; guard < 4 * (width + height); ++guard) {
            plot(ax, ay, s.colour);
            if (ax == bx && ay == by) break;
            long e2 = 2 * err;
            if (e2 >= dy) err += dy, ax += stepX;
            if (e2 <= dx) err += dx, ay += stepY;
        }
    }
    return px;
}

bool ValidSize(int width, int height) {
    return width > 0 && height > 0 && width <= 8192 && height <= 8192;
}

bool HasActiveView() {
    const State& s = S();
    return s.activeView >= 0 && s.activeView < static_cast<int>(s.views.size());
}

// The picture is drawn afresh from the scene; a view waiting for its redraw
// is redrawn first, as the host shows the user no stale view.
std::vector<std::uint32_t> ActivePicture() {
    State& s = S();
    if (s.views[static_cast<std::size_t>(s.activeView)].dirty && s.drawingView < 0) IdleRedraw();
    const std::vector<Seg> segs = ViewSegments(s.activeView);
    s.activeCamera = FitCamera(s.activeView, segs, s.pictureWidth, s.pictureHeight);
    s.activeCameraSet = true;
    return Rasterise(segs, s.activeCamera);
}

Point2 ActiveViewPixel(const CtsxVec3f& world) {
    State& s = S();
    if (!s.activeCameraSet) ActivePicture();
    return ToPixel(s.activeCamera, Project(s.activeView, world));
}

} // namespace

bool RenderViewPng(int view, const std::string& path, int width, int height) {
    if (!ValidSize(width, height)) return false;
    const std::vector<Seg> segs = ViewSegments(view);
    const std::vector<std::uint32_t> px = Rasterise(segs, FitCamera(view, segs, width, height));
    return fw::WritePng(path, width, height, px.data());
}

void SetActiveView(int view) {
    S().activeView = view;
    S().activeCameraSet = false;
}

int ActiveView() {
    return S().activeView;
}

void SetPictureSize(int width, int height) {
    if (!ValidSize(width, height)) return;
    S().pictureWidth = width, S().pictureHeight = height;
    S().activeCameraSet = false;
}

bool ActiveViewPng(const std::string& path) {
    if (!HasActiveView()) return false;
    const std::vector<std::uint32_t> px = ActivePicture();
    return fw::WritePng(path, S().pictureWidth, S().pictureHeight, px.data());
}

} // namespace tsxhost

extern "C" {

using namespace tsxhost;
using namespace tsxhost::detail;

tsxBOOL tsxAViewGetPicture(int* width, int* height, uint32_t* pixels) {
    TSX_LOG(width, height, pixels);
    if (!HasActiveView()) return 0;
    const std::vector<std::uint32_t> px = ActivePicture();
    if (width) *width = S().pictureWidth;
    if (height) *height = S().pictureHeight;
    if (pixels) std::copy(px.begin(), px.end(), pixels);
    return 1;
}

tsxBOOL tsxAViewProject(const CtsxVec3f* world, float* x, float* y) {
    TSX_LOG(world, x, y);
    if (!world || !x || !y || !HasActiveView()) return 0;
    const Point2 p = ActiveViewPixel(*world);
    *x = static_cast<float>(p.x), *y = static_cast<float>(p.y);
    return 1;
}

} // extern "C"
