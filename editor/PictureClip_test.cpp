#include "PictureClip.h"

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace vel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A line cut at the left edge: its new end is the product and the sum
// rounded one by one (an x86-64-v3 run builds the clipping again for a level
// that could fuse them).
TEST(PictureClipTest, CutEndsRoundAsWritten) {
    const TPictureArea area{0, 0, 99, 49};
    std::mt19937 random(3);
    std::uniform_real_distribution<double> left(-90, -1), inside(1, 48);
    for (int i = 0; i < 1000; ++i) {
        double x1 = left(random), y1 = inside(random), x2 = inside(random), y2 = inside(random);
        const double dy = y2 - y1, t = x1 / (x1 - x2);
        volatile double step = t * dy;
        const double expected = y1 + step;
        ASSERT_TRUE(ClipToPicture(x1, y1, x2, y2, area));
        ASSERT_EQ(y1, expected) << i;
    }
}

TEST(PictureClipTest, LinesAreCutToThePictureKeepingTheirDirection) {
    const TPictureArea area{0, 0, 99, 49};
    double x1 = 10, y1 = 10, x2 = 20, y2 = 30; // inside: untouched
    ASSERT_TRUE(ClipToPicture(x1, y1, x2, y2, area));
    EXPECT_EQ(x1, 10);
    EXPECT_EQ(y2, 30);
    x1 = -50, y1 = 25, x2 = 1e12, y2 = 25; // across, far out on the right
    ASSERT_TRUE(ClipToPicture(x1, y1, x2, y2, area));
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(x2, 99);
    EXPECT_EQ(y1, 25);
    x1 = 50, y1 = 25, x2 = 50 + 3e38, y2 = 25 + 3e38; // the diagonal from the middle
    ASSERT_TRUE(ClipToPicture(x1, y1, x2, y2, area));
    EXPECT_NEAR(x2, 74, 1e-6);
    EXPECT_NEAR(y2, 49, 1e-6);
    x1 = -10, y1 = -10, x2 = -1, y2 = 200; // wholly on the left
    EXPECT_FALSE(ClipToPicture(x1, y1, x2, y2, area));
    for (double bad : {kInf, -kInf, kNaN}) {
        x1 = 10, y1 = 10, x2 = bad, y2 = 10;
        EXPECT_FALSE(ClipToPicture(x1, y1, x2, y2, area)) << bad;
        x1 = 10, y1 = bad, x2 = 10, y2 = 10;
        EXPECT_FALSE(ClipToPicture(x1, y1, x2, y2, area)) << bad;
    }
    EXPECT_EQ(PixelOf(1e300, -3, 102), 102);
    EXPECT_EQ(PixelOf(-kInf, -3, 102), -3);
    EXPECT_EQ(PixelOf(kNaN, -3, 102), -3);
    EXPECT_EQ(PixelOf(4.6, -3, 102), 5);
}

} // namespace
} // namespace vel
