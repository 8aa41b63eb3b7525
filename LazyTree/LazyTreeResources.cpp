// The unit's pictures. There are no picture resources in this system, so the
// check boxes, utility glyphs and panning pictures are drawn here, once, into
// strips of 16 x 16 (32 x 32 for panning) cells on a fuchsia background; a
// resource file of the same name takes their place when one exists.
#include "LazyTreeResources.h"

#include "LazyTrees.h"

#include "Canvas.h"
#include "Graphics.h"
#include "NoDestroy.h"
#include "Resources.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>

namespace vel {

namespace {

constexpr int Cell = 16;
constexpr int CheckImageCount = 25;
constexpr fw::TColor Transparent = fw::clFuchsia;
// Drawn in these; the remapping turns them into the system colours.
constexpr fw::TColor White = 0xFFFFFF, Silver = 0xC0C0C0, Grey = 0x808080;
constexpr fw::TColor DarkGrey = 0x404040, Black = 0x000000;

// 1 marks a pixel of the mark, rows top down.
using TPattern = std::vector<const char*>;

const TPattern CheckMark = {"......#", ".....##", "#...###", "##.###.",
                            "#####..", ".###...", "..#...."};
const TPattern TickMark = {"........##", ".......###", "......###.", "##...###..",
                           "###.###...", ".#####....", "..###.....", "...#......"};

void Plot(fw::TCanvas& C, int X, int Y, const TPattern& P, fw::TColor Color) {
    for (std::size_t Row = 0; Row < P.size(); ++Row)
        for (int Col = 0; P[Row][Col]; ++Col)
            if (P[Row][Col] == '#') C.SetPixels(X + Col, Y + static_cast<int>(Row), Color);
}

enum class TFrame : std::uint8_t { Single, Sunken, XP };

// What one check set looks like.
struct TCheckLook {
    TFrame Frame;
    fw::TColor FrameColor;
    std::array<fw::TColor, 4> Fill; // normal, hot, pressed, disabled
    fw::TColor Mark;
    fw::TColor MarkDisabled;
    bool Tick;
    fw::TColor HotRing; // clNone: no inner ring when hot
};

// Box states by image index: 0 normal, 1 hot, 2 pressed, 3 disabled.
int StateOf(int Index) {
    return (Index - 1) % 4;
}

void DrawFrame(fw::TCanvas& C, const fw::TRect& B, const TCheckLook& L, int State, bool Round) {
    C.Pen().SetStyle(fw::psSolid);
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(L.Fill[static_cast<std::size_t>(State)]);
    if (Round) {
        C.Pen().SetColor(L.Frame == TFrame::Sunken ? Grey : L.FrameColor);
        C.Ellipse(B);
        if (L.Frame == TFrame::Sunken) {
            // The lower right half of the ring lit, as a sunken button.
            C.Pen().SetColor(White);
            C.Brush().SetStyle(fw::bsClear);
            C.Ellipse(B.Left + 1, B.Top + 1, B.Right + 1, B.Bottom + 1);
            C.Pen().SetColor(Grey);
            C.Ellipse(B);
            C.Brush().SetStyle(fw::bsSolid);
        }
    } else if (L.Frame == TFrame::Sunken) {
        C.FillRect(B);
        fw::TRect E = B;
        C.DrawEdge(E, fw::EDGE_SUNKEN, fw::BF_RECT);
    } else {
        C.Pen().SetColor(State == 3 && L.Frame == TFrame::XP ? 0xBBC8CA : L.FrameColor);
        C.Rectangle(B);
    }
    if (State == 1 && L.HotRing != fw::clNone) {
        C.Brush().SetColor(L.HotRing);
        const fw::TRect Ring{B.Left + 1, B.Top + 1, B.Right - 1, B.Bottom - 1};
        if (!Round) C.FrameRect(Ring);
    }
}

void DrawCheckCell(fw::TCanvas& C, int Index, const TCheckLook& L) {
    if (Index == 0) return;
    const int X = Index * Cell;
    const fw::TRect B{X + 1, 2, X + 14, 15};
    const int State = StateOf(Index);
    const fw::TColor Mark = State == 3 ? L.MarkDisabled : L.Mark;
    if (Index >= 21) { // a push button
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(State == 1 ? White : Silver);
        C.FillRect(B);
        fw::TRect E = B;
        if (State == 3) {
            C.Brush().SetColor(Grey);
            C.FrameRect(B);
        } else {
            C.DrawEdge(E, State == 2 ? fw::EDGE_SUNKEN : fw::EDGE_RAISED, fw::BF_RECT);
        }
        return;
    }
    const bool Radio = Index <= 8;
    DrawFrame(C, B, L, State, Radio);
    const bool Checked = (Index >= 5 && Index <= 8) || (Index >= 13 && Index <= 16);
    const bool Mixed = Index >= 17;
    if (Radio && Checked) {
        C.Pen().SetColor(Mark);
        C.Brush().SetColor(Mark);
        C.Ellipse(B.Left + 4, B.Top + 4, B.Left + 9, B.Top + 9);
    } else if (Checked) {
        if (L.Tick)
            Plot(C, B.Left + 2, B.Top - 1, TickMark, Mark);
        else
            Plot(C, B.Left + 3, B.Top + 3, CheckMark, Mark);
    } else if (Mixed) {
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(State == 3 ? L.MarkDisabled : Grey);
        C.FillRect({B.Left + 3, B.Top + 3, B.Left + 10, B.Top + 10});
    }
}

// A constant table: nothing to free when the module holding the trees unloads.
// clang-format off
const std::pair<const char*, TCheckLook> Looks[] = {
    {"LT_CHECK_LIGHT",
     {TFrame::Single, Grey, {White, 0xFFF0E6, Silver, Silver}, Black, Grey, false, fw::clNone}},
    {"LT_CHECK_DARK",
     {TFrame::Sunken, Grey, {White, 0xFFF0E6, Silver, Silver}, Black, Grey, false, fw::clNone}},
    {"LT_TICK_LIGHT",
     {TFrame::Single, Grey, {White, 0xFFF0E6, Silver, Silver}, 0x208020, Grey, true,
      fw::clNone}},
    {"LT_TICK_DARK",
     {TFrame::Sunken, Grey, {White, 0xFFF0E6, Silver, Silver}, 0x208020, Grey, true,
      fw::clNone}},
    {"LT_FLAT",
     {TFrame::Single, Black, {White, White, Silver, Silver}, Black, Grey, false, fw::clNone}},
    {"LT_XP",
     {TFrame::XP, 0x80511C, {0xF0F4F4, 0xF0F4F4, 0xA7B0B0, White}, 0x21A121, 0xBBC8CA, false,
      0x30B3F8}},
};
// clang-format on

const TCheckLook* LookOf(const std::string& Name) {
    for (const auto& [Key, Look] : Looks)
        if (Name == Key) return &Look;
    return nullptr;
}

// Sort triangles, drop marks and the XP header's hot strip.
void DrawUtilities(fw::TCanvas& C) {
    auto Triangle = [&](int I, bool Up, fw::TColor Fill, fw::TColor Edge) {
        const int X = I * Cell;
        C.Pen().SetColor(Edge);
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(Fill);
        if (Up)
            C.Polygon({fw::TPoint{X + 4, 10}, fw::TPoint{X + 12, 10}, fw::TPoint{X + 8, 6}});
        else
            C.Polygon({fw::TPoint{X + 4, 6}, fw::TPoint{X + 12, 6}, fw::TPoint{X + 8, 10}});
    };
    auto DropMark = [&](int I, bool Left) {
        const int X = I * Cell + (Left ? 0 : Cell - 2);
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(0x800000);
        C.FillRect({X, 2, X + 2, 14});
        const int CapLeft = Left ? X : X - 3, CapRight = Left ? X + 5 : X + 2;
        C.FillRect({CapLeft, 2, CapRight, 4});
        C.FillRect({CapLeft, 12, CapRight, 14});
    };
    DropMark(uiDropMarkLeft, true);
    DropMark(uiDropMarkRight, false);
    Triangle(uiSortDescending, false, Grey, DarkGrey);
    Triangle(uiSortAscending, true, Grey, DarkGrey);
    Triangle(uiSortDescendingThemed, false, 0xC8C8C8, Grey);
    Triangle(uiSortAscendingThemed, true, 0xC8C8C8, Grey);
    const fw::TColor Outer = 0x1E96E5, Inner = 0x3CC7F8;
    for (int I : {uiHotStripLeft, uiHotStripMiddle, uiHotStripRight}) {
        const int X = I * Cell;
        for (int Row = 0; Row < 3; ++Row) {
            C.Brush().SetColor(Row == 1 ? Inner : Outer);
            int L = X, R = X + Cell;
            // The ends are rounded: their outer rows start one pixel in.
            if (Row != 1 && I == uiHotStripLeft) ++L;
            if (Row != 1 && I == uiHotStripRight) --R;
            C.FillRect({L, 13 + Row, R, 14 + Row});
        }
    }
}

void DrawPanning(fw::TCanvas& C, bool Horizontal, bool Vertical) {
    C.Pen().SetColor(Black);
    C.Brush().SetStyle(fw::bsSolid);
    C.Brush().SetColor(White);
    C.Ellipse(2, 2, 30, 30);
    C.Brush().SetColor(Black);
    C.Ellipse(14, 14, 18, 18);
    if (Vertical) {
        C.Polygon({fw::TPoint{12, 10}, fw::TPoint{20, 10}, fw::TPoint{16, 5}});
        C.Polygon({fw::TPoint{12, 22}, fw::TPoint{20, 22}, fw::TPoint{16, 27}});
    }
    if (Horizontal) {
        C.Polygon({fw::TPoint{10, 12}, fw::TPoint{10, 20}, fw::TPoint{5, 16}});
        C.Polygon({fw::TPoint{22, 12}, fw::TPoint{22, 20}, fw::TPoint{27, 16}});
    }
}

// The unit's own drawing of a picture; empty for an unknown name.
std::unique_ptr<fw::TBitmap> DrawInternalImage(const std::string& Name) {
    auto B = std::make_unique<fw::TBitmap>();
    fw::TCanvas& C = B->Canvas();
    auto Fill = [&](int W, int H) {
        B->SetSize(W, H);
        C.Brush().SetStyle(fw::bsSolid);
        C.Brush().SetColor(Transparent);
        C.FillRect({0, 0, W, H});
    };
    if (Name == "LT_UTILITIES") {
        Fill(9 * Cell, Cell);
        DrawUtilities(C);
    } else if (Name == "LT_MOVEALL" || Name == "LT_MOVEEW" || Name == "LT_MOVENS") {
        Fill(32, 32);
        DrawPanning(C, Name != "LT_MOVENS", Name != "LT_MOVEEW");
    } else if (const TCheckLook* L = LookOf(Name)) {
        Fill(CheckImageCount * Cell, Cell);
        for (int I = 0; I < CheckImageCount; ++I)
            DrawCheckCell(C, I, *L);
    } else {
        B->SetSize(0, 0);
    }
    return B;
}

void Remap(fw::TBitmap& B) {
    const std::uint32_t W = fw::ColorToPixel(White), S = fw::ColorToPixel(Silver),
                        G = fw::ColorToPixel(Grey);
    const std::uint32_t NW = fw::ColorToPixel(fw::ColorToRGB(fw::clWindow));
    const std::uint32_t NS = fw::ColorToPixel(fw::ColorToRGB(fw::clBtnFace));
    const std::uint32_t NG = fw::ColorToPixel(fw::ColorToRGB(fw::clBtnShadow));
    for (std::uint32_t& P : B.Surface().Pixels) {
        const std::uint32_t O = P | 0xFF000000u;
        if (O == W)
            P = NW;
        else if (O == S)
            P = NS;
        else if (O == G)
            P = NG;
    }
}

struct TGlobals {
    bool Initialized = false;
    std::map<TCheckImageKind, std::unique_ptr<fw::TImageList>> Checks;
    std::unique_ptr<fw::TImageList> Utilities;
    std::mutex ImageLoadLock;
};

// Never destroyed: trees freed at exit may still look at the lists.
TGlobals& Globals() {
    static fw::TNoDestroy<TGlobals> G;
    return *G;
}

const char* ResourceOf(TCheckImageKind K) {
    switch (K) {
    case ckLightCheck:
        return "LT_CHECK_LIGHT";
    case ckDarkCheck:
        return "LT_CHECK_DARK";
    case ckLightTick:
        return "LT_TICK_LIGHT";
    case ckDarkTick:
        return "LT_TICK_DARK";
    case ckFlat:
        return "LT_FLAT";
    case ckXP:
        return "LT_XP";
    default:
        return nullptr;
    }
}

void BuildCheckLists() {
    TGlobals& G = Globals();
    for (TCheckImageKind K : {ckLightCheck, ckDarkCheck, ckLightTick, ckDarkTick, ckFlat, ckXP}) {
        auto& L = G.Checks[K];
        if (!L) L = std::make_unique<fw::TImageList>(nullptr, Cell, Cell);
        LoadInternalImages(*L, ResourceOf(K), K != ckXP);
    }
    for (TCheckImageKind K : {ckSystem, ckSystemFlat}) {
        auto& L = G.Checks[K];
        if (!L) L = std::make_unique<fw::TImageList>(nullptr, Cell, Cell);
        CreateSystemImageSet(*L, K == ckSystemFlat);
    }
}

} // namespace

void LoadInternalImages(fw::TImageList& ImageList, const std::string& ResourceName,
                        bool ColorRemapping) {
    std::lock_guard Lock(Globals().ImageLoadLock);
    std::unique_ptr<fw::TBitmap> B;
    try {
        B = fw::LoadBitmapResource(ResourceName);
    } catch (const std::exception&) {
        B = DrawInternalImage(ResourceName);
    }
    if (!B || B->Height() < 1)
        throw ELazyTreeAssertion("Internal image \"" + ResourceName +
                                 "\" is missing or corrupt.");
    if (ColorRemapping) Remap(*B);
    ImageList.Clear();
    ImageList.SetSize(B->Height(), B->Height());
    ImageList.AddMasked(*B, B->Canvas().Pixels(0, 0));
}

void CreateSystemImageSet(fw::TImageList& ImageList, bool Flat) {
    constexpr fw::TColor Mask = fw::clRed;
    fw::TBitmap B(CheckImageCount * Cell, Cell);
    fw::TCanvas& C = B.Canvas();
    C.Brush().SetColor(Mask);
    C.FillRect({0, 0, B.Width(), Cell});
    // The frame-control look: sunken 3D boxes, or flat black ones; no hot look.
    TCheckLook L{Flat ? TFrame::Single : TFrame::Sunken,
                 Black,
                 {fw::ColorToRGB(fw::clWindow), fw::ColorToRGB(fw::clWindow),
                  fw::ColorToRGB(fw::clBtnFace), fw::ColorToRGB(fw::clBtnFace)},
                 Black,
                 fw::ColorToRGB(fw::clBtnShadow),
                 false,
                 fw::clNone};
    for (int I = 1; I <= 20; ++I)
        DrawCheckCell(C, I, L);
    // The buttons come from the dark (or flat) set, centred in the cell.
    std::unique_ptr<fw::TBitmap> Source = DrawInternalImage(Flat ? "LT_FLAT" : "LT_CHECK_DARK");
    Remap(*Source);
    for (int I = 21; I < CheckImageCount; ++I)
        C.CopyRect({I * Cell, 0, I * Cell + Cell, Cell}, Source->Canvas(),
                   {I * Cell, 0, I * Cell + Cell, Cell});
    // The copied cells carry fuchsia where the dark set is transparent.
    for (int Y = 0; Y < Cell; ++Y)
        for (int X = 21 * Cell; X < B.Width(); ++X)
            if (C.Pixels(X, Y) == Transparent) C.SetPixels(X, Y, Mask);
    ImageList.Clear();
    ImageList.SetSize(Cell, Cell);
    ImageList.SetBkColor(fw::clNone);
    ImageList.AddMasked(B, Mask);
}

void InitializeGlobalStructures() {
    TGlobals& G = Globals();
    if (G.Initialized) return;
    G.Initialized = true;
    BuildCheckLists();
    G.Utilities = std::make_unique<fw::TImageList>(nullptr, Cell, Cell);
    LoadInternalImages(*G.Utilities, "LT_UTILITIES");
}

void FinalizeGlobalStructures() {
    TGlobals& G = Globals();
    G.Checks.clear();
    G.Utilities.reset();
    G.Initialized = false;
}

bool GlobalsInitialized() {
    return Globals().Initialized;
}

fw::TImageList* CheckImageList(TCheckImageKind Kind) {
    InitializeGlobalStructures();
    auto It = Globals().Checks.find(Kind);
    return It == Globals().Checks.end() ? nullptr : It->second.get();
}

fw::TImageList& UtilityImages() {
    InitializeGlobalStructures();
    return *Globals().Utilities;
}

void RebuildCheckImages() {
    if (!Globals().Initialized) return;
    BuildCheckLists();
    LoadInternalImages(*Globals().Utilities, "LT_UTILITIES");
}

std::unique_ptr<fw::TBitmap> LoadPanningImage(const std::string& Name) {
    try {
        return fw::LoadBitmapResource(Name);
    } catch (const std::exception&) {
        return DrawInternalImage(Name);
    }
}

std::vector<bool> CreatePanningRegion(const fw::TBitmap& Image) {
    if (Image.Width() < 1 || Image.Height() < 1)
        throw ELazyTreeAssertion("Invalid wheel panning image.");
    std::vector<bool> Region(static_cast<std::size_t>(Image.Width() * Image.Height()));
    for (int Y = 0; Y < Image.Height(); ++Y)
        for (int X = 0; X < Image.Width(); ++X)
            Region[static_cast<std::size_t>(Y * Image.Width() + X)] =
                (Image.Surface().Pixel(X, Y) & 0xFFFFFFu) != 0xFF00FFu;
    return Region;
}

std::uint32_t GetRGBColor(fw::TColor Color) {
    if (Color == fw::clNone) return 0xFFFFFFFFu;
    if (Color == fw::clDefault) return 0xFF000000u;
    return static_cast<std::uint32_t>(fw::ColorToRGB(Color));
}

} // namespace vel
