#include "PictureClip.h"

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace vel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
