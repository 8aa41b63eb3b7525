#include "Bitmap32.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace vel {
namespace {

using Pixels = std::set<std::pair<int, int>>;

// The pixels of a bitmap that are not 0.
Pixels Drawn(const TBitmap32& b) {
    Pixels out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != 0) out.insert({x, y});
    return out;
}

// Restores the processor's blend set after a test forces one.
class BlendSetScope {
public:
    explicit BlendSetScope(TBlendSet s) : Saved(BlendSet()) { SetBlendSet(s); }
    ~BlendSetScope() { SetBlendSet(Saved); }

private:
    TBlendSet Saved;
};

TEST(Bitmap32Routines, MulDivRoundsHalvesAwayFromZeroAndAnswersMinusOneOnOverflow) {
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(-7, 1, 2), -4);
    EXPECT_EQ(MulDiv(7, -1, -2), 4);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(2, 1, 3), 1);
    EXPECT_EQ(MulDiv(1, 1, 3), 0);
    EXPECT_EQ(MulDiv(10, 10, 3), 33);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, 1), -1);
    EXPECT_EQ(MulDiv(1 << 30, 4, 2), -1); // 2^31 does not fit
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
}

TEST(Bitmap32Routines, Gray32AndRectangleHelpers) {
    EXPECT_EQ(Gray32(128, 255), 0xFF808080u);
    EXPECT_EQ(Gray32(1, 0), 0x00010101u);
    EXPECT_EQ(Gray32(0xFF), 0xFFFFFFFFu);
    fw::TRect r;
    EXPECT_TRUE(IntersectRect(r, MakeRect(0, 0, 10, 10), MakeRect(10, 2, 20, 5)));
    EXPECT_EQ(r, MakeRect(10, 2, 10, 5)); // touching edges still intersect, emptily
    EXPECT_TRUE(IsRectEmpty(r));
    EXPECT_FALSE(IntersectRect(r, MakeRect(0, 0, 10, 10), MakeRect(11, 0, 20, 5)));
    EXPECT_EQ(r, MakeRect(0, 0, 0, 0));
    OffsetRect(r, 3, -2);
    EXPECT_EQ(r, MakeRect(3, -2, 3, -2));
    EXPECT_EQ(MakePoint(1, 2), (fw::TPoint{1, 2}));
}

// The clipper as first written, on 32-bit MulDiv, for coordinates where it
// cannot overflow.
bool ClipLine32(int& X1, int& Y1, int& X2, int& Y2, int MinX, int MinY, int MaxX, int MaxY) {
    auto xc = [&](int x) { return (x < MinX ? 1 : 0) | (x > MaxX ? 2 : 0); };
    auto cd = [&](int x, int y) { return xc(x) | (y < MinY ? 4 : 0) | (y > MaxY ? 8 : 0); };
    int c1 = cd(X1, Y1), c2 = cd(X2, Y2);
    if (!(c1 & c2) && (c1 | c2)) {
        if (c1 & 12) {
            const int yc = c1 < 8 ? MinY : MaxY;
            X1 += MulDiv(yc - Y1, X2 - X1, Y2 - Y1);
            Y1 = yc;
            c1 = xc(X1);
        }
        if (c2 & 12) {
            const int yc = c2 < 8 ? MinY : MaxY;
            X2 += MulDiv(yc - Y2, X1 - X2, Y1 - Y2);
            Y2 = yc;
            c2 = xc(X2);
        }
        if (!(c1 & c2) && (c1 | c2)) {
            if (c1) {
                const int x = c1 == 1 ? MinX : MaxX;
                Y1 += MulDiv(x - X1, Y2 - Y1, X2 - X1);
                X1 = x;
                c1 = 0;
            }
            if (c2) {
                const int x = c2 == 1 ? MinX : MaxX;
                Y2 += MulDiv(x - X2, Y1 - Y2, X1 - X2);
                X2 = x;
                c2 = 0;
            }
        }
    }
    return c1 == 0 && c2 == 0;
}

TEST(Bitmap32Routines, ClipLineKeepsOrdinaryClipsAndStaysInsideForHugeOnes) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-300, 300);
    for (int i = 0; i < 20000; ++i) {
        int a[4] = {coord(rng), coord(rng), coord(rng), coord(rng)};
        int b[4] = {a[0], a[1], a[2], a[3]};
        const bool got = ClipLine(a[0], a[1], a[2], a[3], 0, 0, 49, 39);
        const bool want = ClipLine32(b[0], b[1], b[2], b[3], 0, 0, 49, 39);
        ASSERT_EQ(got, want) << i;
        if (!got) continue;
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(a[k], b[k]) << i;
        ASSERT_TRUE(a[0] >= 0 && a[0] <= 49 && a[2] >= 0 && a[2] <= 49);
        ASSERT_TRUE(a[1] >= 0 && a[1] <= 39 && a[3] >= 0 && a[3] <= 39);
    }
    int x1 = -2000000000, y1 = -2000000000, x2 = 2000000000, y2 = 2000000000;
    ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 0, 0, 9, 9));
    EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{0, 0, 9, 9}));
    x1 = INT_MIN, y1 = 3, x2 = INT_MAX, y2 = 6;
    ASSERT_TRUE(ClipLine(x1, y1, x2, y2, 0, 0, 9, 9));
    EXPECT_TRUE(x1 == 0 && x2 == 9 && y1 >= 0 && y1 <= 9 && y2 >= 0 && y2 <= 9);
    x1 = -5, y1 = -3, x2 = 20, y2 = -1; // wholly above
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 0, 0, 9, 9));
    x1 = -1, y1 = -1, x2 = 1, y2 = 1; // an empty rectangle holds nothing
    EXPECT_FALSE(ClipLine(x1, y1, x2, y2, 0, 0, -1, -1));
}

TEST(Bitmap32Lines, UnclippedLinesDrawTheExactPixelSets) {
    TBitmap32 b;
    b.SetSize(8, 8);
    b.Line(0, 0, 3, 0, 1, false);
    EXPECT_EQ(Drawn(b), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    b.Clear(0);
    b.Line(0, 0, 3, 0, 1, true);
    EXPECT_EQ(Drawn(b), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    b.Clear(0);
    b.Line(3, 0, 0, 0, 1, false); // leftwards: the start is drawn, the end not
    EXPECT_EQ(Drawn(b), (Pixels{{1, 0}, {2, 0}, {3, 0}}));
    b.Clear(0);
    b.Line(2, 5, 2, 2, 1, false);
    EXPECT_EQ(Drawn(b), (Pixels{{2, 3}, {2, 4}, {2, 5}}));
    b.Clear(0);
    b.Line(0, 0, 5, 2, 1, true);
    EXPECT_EQ(Drawn(b), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}}));
    b.Clear(0);
    b.Line(5, 2, 0, 0, 1, true);
    EXPECT_EQ(Drawn(b), (Pixels{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 1}, {0, 0}}));
    b.Clear(0);
    b.Line(0, 0, 2, 5, 1, false);
    EXPECT_EQ(Drawn(b), (Pixels{{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}));
    b.Clear(0);
    b.Line(4, 4, 4, 4, 1, false);
    EXPECT_TRUE(Drawn(b).empty());
    b.Line(4, 4, 4, 4, 1, true);
    EXPECT_EQ(Drawn(b), (Pixels{{4, 4}}));
}

TEST(Bitmap32Lines, ClippedLinesStayInsideAndDropTheirEndWithoutL) {
    TBitmap32 b;
    b.SetSize(10, 10);
    b.LineS(-10, 5, 20, 5, 1, true);
    Pixels row;
    for (int x = 0; x < 10; ++x)
        row.insert({x, 5});
    EXPECT_EQ(Drawn(b), row);
    b.Clear(0);
    b.LineS(-10, 5, 20, 5, 1, false);
    row.erase({9, 5});
    EXPECT_EQ(Drawn(b), row);
    b.Clear(0);
    b.LineS(-5, -3, 20, -1, 1, true);
    EXPECT_TRUE(Drawn(b).empty());
    b.LineS(-2000000000, -2000000000, 2000000000, 2000000000, 1, true);
    Pixels diagonal;
    for (int i = 0; i < 10; ++i)
        diagonal.insert({i, i});
    EXPECT_EQ(Drawn(b), diagonal);
    TBitmap32 empty; // no pixels to write to
    empty.SetSize(0, 5);
    empty.LineS(-1, 2, 0, 2, 1, true);
}

TEST(Bitmap32Fills, FillsExcludeRightAndBottomAndClipWhenAsked) {
    TBitmap32 b;
    b.SetSize(10, 10);
    int changes = 0;
    b.OnChange = [&](fw::TObject*) { ++changes; };
    b.FillRectS(-5, -5, 3, 3, 1);
    Pixels square;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            square.insert({x, y});
    EXPECT_EQ(Drawn(b), square);
    EXPECT_EQ(changes, 1);
    b.FillRectS(5, 5, 5, 9, 1);
    b.FillRectS(10, 0, 12, 3, 1);
    b.FillRectS(0, -4, 3, 0, 1);
    EXPECT_EQ(Drawn(b), square);
    EXPECT_EQ(changes, 1);
    b.FillRectS(8, 8, 100, 100, 1);
    EXPECT_EQ(b.Pixel(9, 9), 1u);
    b.Clear(0);
    b.HorzLine(2, 1, 4, 7);
    b.VertLine(0, 6, 5, 7); // bottom above top: nothing
    b.VertLine(0, 2, 3, 7);
    EXPECT_EQ(Drawn(b), (Pixels{{2, 1}, {3, 1}, {4, 1}, {0, 2}, {0, 3}}));
    std::vector<TColor32> cells(4, 9);
    FillLongword(cells.data(), 0, 1);
    FillLongword(cells.data(), -3, 1);
    FillLongword(cells.data(), 2, 5);
    EXPECT_EQ(cells, (std::vector<TColor32>{5, 5, 9, 9}));
}

TEST(Bitmap32Size, EmptySidesResizingAndFreshPixels) {
    TBitmap32 b;
    int resized = 0, handles = 0;
    b.OnResize = [&](fw::TObject*) { ++resized; };
    b.OnHandleChanged = [&](fw::TObject*) { ++handles; };
    EXPECT_TRUE(b.SetSize(0, 5));
    EXPECT_EQ(b.Handle(), nullptr);
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_TRUE(b.Empty());
    b.Clear(1); // nothing to clear
    EXPECT_FALSE(b.SetSize(0, 5));
    EXPECT_EQ(resized, 1);
    EXPECT_TRUE(b.SetSize(4, 3));
    EXPECT_EQ(b.BitmapInfo().biWidth, 4);
    EXPECT_EQ(b.BitmapInfo().biHeight, -3);
    EXPECT_EQ(b.BitmapInfo().biBitCount, 32);
    b.Clear(0xFFFFFFFF);
    b.SetSize(5, 3);
    EXPECT_TRUE(Drawn(b).empty()); // new pixels are 0
    EXPECT_EQ(handles, 3);
    EXPECT_TRUE(b.SetSize(-4, 7));
    EXPECT_EQ(b.Width(), 0);
    EXPECT_THROW(b.SetSize(40000, 2), std::runtime_error);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    b.SetMasterAlpha(300);
    EXPECT_EQ(b.MasterAlpha(), 255u);
}

TEST(Bitmap32Blends, PlainSetPinnedValues) {
    EXPECT_EQ(plain::Blend(0x80FF0000, 0xFF0000FF), 0xBF80007Fu);
    EXPECT_EQ(plain::Blend(0xFFFFFFFF, 0), 0xFFFFFFFFu);
    EXPECT_EQ(plain::Blend(0x00FFFFFF, 0x12345678), 0x12345678u);
    EXPECT_EQ(plain::Combine(0xFFFFFFFF, 0xFF000000, 100), 0xFE646464u);
    EXPECT_EQ(plain::Combine(0xFFFFFFFF, 0x11223344, 0), 0x11223344u);
    EXPECT_EQ(plain::Combine(0xFFFFFFFF, 0x11223344, 255), 0xFFFFFFFFu);
    TColor32 b = 0xFF000000;
    plain::CombineMem(0xFFFFFFFF, b, 100);
    EXPECT_EQ(b & 0xFFFFFF, 0x646464u);
    plain::BlendMem(0x80FF0000, b = 0xFF0000FF);
    EXPECT_EQ(b, 0xBF80007Fu);
    EXPECT_EQ(plain::BlendEx(0xC0FFFFFF, 0xFF202020, 200) & 0xFFFFFF, 0xA2A2A2u);
    EXPECT_EQ(plain::BlendEx(0x00FFFFFF, 0xFF202020, 255), 0xFF202020u);
    EXPECT_EQ(plain::BlendEx(0xFFFFFFFF, 0xFF202020, 0), 0xFF202020u); // a = 0
    TColor32 line[1] = {0xFF000000};
    const TColor32 src[1] = {0x0AFFFFFF};
    plain::BlendLineEx(src, line, 1, 50);
    EXPECT_EQ(line[0] & 0xFFFFFF, 0x010101u);
}

TEST(Bitmap32Blends, WideLaneSetPinnedValues) {
    EXPECT_EQ(wide::Blend(0x80FF0000, 0xFF0000FF), 0xC0800080u);
    EXPECT_EQ(wide::Blend(0xFFFFFFFF, 0), 0xFEFEFEFEu); // no shortcut for opaque
    EXPECT_EQ(wide::Combine(0xFFFFFFFF, 0xFF000000, 100), 0xFF646464u);
    EXPECT_EQ(wide::Combine(0xFFFFFFFF, 0, 255), 0xFEFEFEFEu);
    EXPECT_EQ(wide::Combine(0xFFFFFFFF, 0x11223344, 0), 0x11223344u);
    TColor32 b = 0;
    wide::CombineMem(0xFFFFFFFF, b, 255);
    EXPECT_EQ(b, 0xFFFFFFFFu);
    wide::BlendMem(0xFFFFFFFF, b = 0);
    EXPECT_EQ(b, 0xFFFFFFFFu);
    wide::BlendMem(0x80FF0000, b = 0xFF0000FF);
    EXPECT_EQ(b, 0xC0800080u);
    EXPECT_EQ(wide::BlendEx(0xC0FFFFFF, 0xFF202020, 200), 0xDAA3A3A3u);
    wide::BlendMemEx(0x0AFFFFFF, b = 0xFF000000, 50);
    EXPECT_EQ(b, 0xFE010101u);
    TColor32 line[1] = {0xFF000000};
    const TColor32 src[1] = {0x0AFFFFFF};
    wide::BlendLineEx(src, line, 1, 50); // the line weighs ((alpha + 1) × M) shr 8
    EXPECT_EQ(line[0], 0xFD020202u);
}

TEST(Bitmap32Blends, SelectedSetAnswersThroughTheCommonNames) {
    EXPECT_EQ(DetectBlendSet(),
#if defined(__x86_64__)
              TBlendSet::WideLane
#else
              TBlendSet::Plain
#endif
    );
    {
        BlendSetScope s(TBlendSet::Plain);
        EXPECT_EQ(Blend(0x80FF0000, 0xFF0000FF), 0xBF80007Fu);
    }
    BlendSetScope s(TBlendSet::WideLane);
    EXPECT_EQ(Blend(0x80FF0000, 0xFF0000FF), 0xC0800080u);
}

TEST(Bitmap32Blends, LineBlendsMatchThePerPixelFormsForEverySet) {
    std::mt19937 rng(11);
    for (TBlendSet set : {TBlendSet::Plain, TBlendSet::WideLane}) {
        BlendSetScope scope(set);
        for (int n : {0, 1, 3, 4, 5, 16, 37}) {
            std::vector<TColor32> src(n), dst(n);
            for (int i = 0; i < n; ++i) {
                src[i] = rng();
                dst[i] = rng();
                if (i % 5 == 1) src[i] |= 0xFF000000; // opaque
                if (i % 7 == 2) src[i] &= 0x00FFFFFF; // transparent
            }
            auto want = dst, got = dst;
            reference::BlendLine(set, src.data(), want.data(), n);
            BlendLine(src.data(), got.data(), n);
            ASSERT_EQ(got, want) << n;
            for (TColor32 m : {0u, 1u, 77u, 254u, 255u}) {
                want = dst;
                got = dst;
                reference::BlendLineEx(set, src.data(), want.data(), n, m);
                BlendLineEx(src.data(), got.data(), n, m);
                ASSERT_EQ(got, want) << n << " " << m;
            }
        }
    }
}

TEST(Bitmap32Transfer, MasterAlphaZeroCustomWithoutHandlerAndClippedBlends) {
    TBitmap32 src, dst;
    src.SetSize(4, 4);
    dst.SetSize(6, 6);
    src.Clear(0x80FFFFFF);
    dst.Clear(0xFF000000);
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(0);
    src.DrawTo(dst, 0, 0);
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF000000u);
    src.SetDrawMode(dmCustom); // no handler: copied as is
    src.DrawTo(dst, 4, 4);
    EXPECT_EQ(dst.Pixel(4, 4), 0x80FFFFFFu);
    EXPECT_EQ(dst.Pixel(5, 5), 0x80FFFFFFu);
    EXPECT_EQ(dst.Pixel(3, 3), 0xFF000000u);
    dst.Clear(0xFF000000);
    std::vector<TColor32> masters;
    src.OnPixelCombine = [&](TColor32 F, TColor32& B, TColor32 M) {
        masters.push_back(M);
        B = F ^ 1;
    };
    src.SetMasterAlpha(9);
    src.DrawTo(dst, -2, 3); // only 2 x 3 pixels land
    EXPECT_EQ(masters.size(), 6u);
    EXPECT_EQ(masters[0], 9u);
    EXPECT_EQ(dst.Pixel(0, 3), 0x80FFFFFEu);
    EXPECT_EQ(dst.Pixel(2, 3), 0xFF000000u);
    BlendSetScope scope(TBlendSet::WideLane);
    dst.Clear(0xFF000000);
    src.SetDrawMode(dmBlend);
    src.SetMasterAlpha(255);
    src.DrawTo(dst, 1, 1);
    EXPECT_EQ(dst.Pixel(1, 1), wide::Blend(0x80FFFFFF, 0xFF000000));
    EXPECT_EQ(dst.Pixel(0, 0), 0xFF000000u);
    dst.Clear(0xFF000000);
    src.SetMasterAlpha(100);
    src.DrawTo(dst, 0, 0);
    TColor32 line[1] = {0xFF000000};
    const TColor32 one[1] = {0x80FFFFFF};
    wide::BlendLineEx(one, line, 1, 100);
    EXPECT_EQ(dst.Pixel(3, 3), line[0]);
    TBitmap32 empty;
    EXPECT_THROW(BlockTransfer(&empty, 0, 0, &src, MakeRect(0, 0, 1, 1), dmBlend), ETransformError);
    EXPECT_THROW(BlockTransfer(&dst, 0, 0, nullptr, MakeRect(0, 0, 1, 1), dmBlend),
                 ETransformError);
}

TEST(Bitmap32Transfer, OpaqueCopiesToCanvasesAndAssignments) {
    TBitmap32 a;
    a.SetSize(3, 2);
    a.Clear(0x40112233);
    a.SetMasterAlpha(77);
    a.SetDrawMode(dmBlend);
    TBitmap32 b;
    b.Assign(&a);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Pixel(2, 1), 0x40112233u);
    EXPECT_EQ(b.MasterAlpha(), 77u);
    EXPECT_EQ(b.DrawMode(), dmBlend);
    fw::TBitmap pic;
    a.AssignTo(pic);
    EXPECT_EQ(pic.PixelFormat(), fw::pf32bit);
    EXPECT_EQ(pic.Surface().Pixel(1, 1), 0x40112233u);
    b.Assign(pic); // 32-bit: alpha kept
    EXPECT_EQ(b.Pixel(0, 0), 0x40112233u);
    pic.SetPixelFormat(fw::pf24bit);
    b.Assign(pic);
    EXPECT_EQ(b.Pixel(0, 0) >> 24, 0xFFu);
    b.Assign(static_cast<const TBitmap32*>(nullptr));
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
    a.ResetAlpha();
    EXPECT_EQ(a.Pixel(1, 0), 0xFF112233u);
}

TEST(Bitmap32Data, StoredFormRoundTripsAndRefusesWhatItDoesNotHold) {
    TBitmap32 a;
    a.SetSize(2, 1);
    a.SetPixel(0, 0, 0x11223344);
    a.SetPixel(1, 0, 0xAABBCCDD);
    const std::vector<std::uint8_t> data = a.WriteData();
    EXPECT_EQ(data, (std::vector<std::uint8_t>{2, 0, 0, 0, 1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 0xDD,
                                               0xCC, 0xBB, 0xAA}));
    TBitmap32 b;
    b.SetSize(1, 1);
    b.Clear(5);
    b.ReadData(data);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(1, 0), 0xAABBCCDDu);
    auto bad = data;
    bad.pop_back();
    TBitmap32 c;
    c.SetSize(1, 1);
    EXPECT_THROW(c.ReadData(bad), EBitmap32DataError);
    bad = data;
    bad.push_back(0);
    EXPECT_THROW(c.ReadData(bad), EBitmap32DataError);
    bad = {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}; // 2^31-1 squared, no pixels
    EXPECT_THROW(c.ReadData(bad), EBitmap32DataError);
    bad = {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
    EXPECT_THROW(c.ReadData(bad), EBitmap32DataError);
    EXPECT_THROW(c.ReadData(std::vector<std::uint8_t>{1, 0, 0}), EBitmap32DataError);
    EXPECT_EQ(c.Width(), 1); // unchanged after every refusal
    c.ReadData(std::vector<std::uint8_t>{0, 0, 0, 0, 5, 0, 0, 0});
    EXPECT_EQ(c.Width(), 0);
    EXPECT_EQ(c.Height(), 5);
    EXPECT_FALSE(c.WantsData(nullptr));
    EXPECT_TRUE(a.WantsData(nullptr));
    EXPECT_FALSE(a.WantsData(&b));
    b.SetPixel(0, 0, 0);
    EXPECT_TRUE(a.WantsData(&b));
    TBitmap32 empty;
    EXPECT_FALSE(c.WantsData(&empty));
}

TEST(Bitmap32Data, APictureTooLargeToHoldIsRefusedAndKeepsTheOldOne) {
    TBitmap32 b;
    b.SetSize(2, 2);
    b.Clear(0xFF112233u);
    // Consistent data, but wider than any picture may be.
    const std::int32_t width = fw::MaxBitmapSide + 1;
    std::vector<std::uint8_t> data(8 + static_cast<std::size_t>(width) * 4, 0);
    for (int i = 0; i < 4; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(width >> (8 * i));
    data[4] = 1;
    EXPECT_THROW(b.ReadData(data), EBitmap32DataError);
    ASSERT_EQ(b.Width(), 2);
    ASSERT_FALSE(b.Empty());
    EXPECT_EQ(b.Pixel(1, 1), 0xFF112233u);
}

TEST(Bitmap32Persistent, UpdatesHoldBackChangesAndUnpairedEndsAreRefused) {
    TBitmap32 b;
    int changes = 0;
    b.OnChange = [&](fw::TObject*) { ++changes; };
    b.BeginUpdate();
    b.SetSize(2, 2);
    b.Clear(1);
    EXPECT_EQ(changes, 0);
    b.EndUpdate();
    b.Changed();
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(b.EndUpdate(), std::logic_error);
    b.Lock();
    b.Lock();
    EXPECT_EQ(b.LockCount(), 2);
    b.Unlock();
    b.Unlock();
    EXPECT_EQ(b.LockCount(), 0);
}

} // namespace
} // namespace vel
