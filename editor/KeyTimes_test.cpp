#include "KeyTimes.h"

#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace vel {
namespace {

// A host's key answers made to order: the key times it holds, and what it
// answers for the next key after a time.
struct TFakeKeys {
    std::vector<float> Times;
    std::function<float(float)> NextOf;
    mutable int Asked = 0;
    float First() const { return Times.empty() ? -1.0f : Times.front(); }
    float Next(float Time) const {
        ++Asked;
        if (NextOf) return NextOf(Time);
        for (float t : Times)
            if (t > Time) return t;
        return -1.0f;
    }
    bool Has(float Time) const {
        for (float t : Times)
            if (t == Time) return true;
        return false;
    }
};

TFakeKeys Holding(std::vector<float> Times) {
    TFakeKeys keys;
    keys.Times = std::move(Times);
    return keys;
}

std::vector<float> Walked(const TFakeKeys& Keys) {
    std::vector<float> out;
    WalkKeys(Keys, [&out](float t) {
        out.push_back(t);
        return out.size() < 100; // a walk that would not end stops the test, not the run
    });
    return out;
}

TEST(KeyTimesTest, KeysBeforeZeroAndAtMinusOneAreWalkedAndTheHostsNoneIsNot) {
    EXPECT_EQ(Walked(Holding({-2, 4, 8})), (std::vector<float>{-2, 4, 8}));
    EXPECT_EQ(Walked(Holding({-3, -1, 0})), (std::vector<float>{-3, -1, 0}));
    EXPECT_EQ(Walked(Holding({-1})), (std::vector<float>{-1}));
    EXPECT_TRUE(Walked(Holding({})).empty());
}

TEST(KeyTimesTest, AHostWhoseNextKeyDoesNotMoveForwardEndsTheWalk) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const std::function<float(float)>& next : std::vector<std::function<float(float)>>{
             [](float t) { return t; },           // the same key again
             [](float t) { return t - 1; },       // going back
             [nan](float) { return nan; },        // no number
             [](float) { return -5.0f; },         // an earlier key
             [inf](float) { return inf; }}) {     // past every time
        TFakeKeys keys{{-2, 4, 8}, next};
        const std::vector<float> walked = Walked(keys);
        EXPECT_EQ(walked, (std::vector<float>{-2})) << next(3);
        EXPECT_EQ(keys.Asked, 1);
    }
    // A host whose first key is no number or no time at all: no walk.
    EXPECT_TRUE(Walked(Holding({nan})).empty());
    EXPECT_TRUE(Walked(Holding({-inf, 1})).empty());
}

} // namespace
} // namespace vel
