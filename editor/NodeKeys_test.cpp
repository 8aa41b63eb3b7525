#include "NodeKeys.h"

#include <gtest/gtest.h>

#include <limits>

namespace vel {
namespace {

// Stand-ins for rows and host objects: only their addresses are kept.
TLazyNode Rows[4];
CtsxSobj Object(std::uintptr_t n) {
    return reinterpret_cast<CtsxSobj>(n << 3);
}

TEST(NodeKeysTest, AKeyFindsItsRowUntilTheRowGoesAndIsNotHandedOutAgain) {
    TNodeKeys keys;
    EXPECT_EQ(keys.Find(NoNodeKey), nullptr);
    const TNodeKey a = keys.Add({rkObject, Object(1)}, &Rows[0]);
    const TNodeKey b = keys.Add({rkBone, Object(2)}, &Rows[1]);
    const TNodeKey c = keys.Add({rkPose, Object(3), 7}, &Rows[2]);
    EXPECT_NE(a, NoNodeKey);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    ASSERT_NE(keys.Find(c), nullptr);
    EXPECT_EQ(keys.Find(c)->Kind, rkPose);
    EXPECT_EQ(keys.Find(c)->Index, 7);
    EXPECT_EQ(keys.NodeOf(b), &Rows[1]);

    keys.Remove(b);
    EXPECT_EQ(keys.Find(b), nullptr);
    EXPECT_EQ(keys.NodeOf(b), nullptr);
    EXPECT_EQ(keys.FirstNodeOf(Object(2)), nullptr);
    keys.Remove(b); // twice: nothing
    const TNodeKey d = keys.Add({rkObject, Object(2)}, &Rows[3]);
    EXPECT_GT(d, c); // the freed key stays unused
    EXPECT_EQ(keys.Find(b), nullptr);
    EXPECT_EQ(keys.Count(), 3u);
    EXPECT_EQ(keys.Find(d + 1), nullptr); // never handed out

    keys.Clear();
    EXPECT_EQ(keys.Count(), 0u);
    EXPECT_EQ(keys.Find(a), nullptr);
    EXPECT_EQ(keys.FirstNodeOf(Object(1)), nullptr);
    EXPECT_GT(keys.Add({rkObject, Object(1)}), d);
}

TEST(NodeKeysTest, AnObjectHeldByManyRowsFindsThemInKeyOrder) {
    TNodeKeys keys;
    const TNodeKey first = keys.Add({rkObject, Object(5)}, &Rows[0]);
    keys.Add({rkObject, Object(4)}, &Rows[1]);
    const TNodeKey late = keys.Add({rkObject, Object(5)});
    keys.Add({rkObject, Object(5)}, &Rows[2]);
    keys.Add({rkPose, nullptr, 0}, &Rows[3]); // an entry without an object
    // A key whose row is not made yet holds no row.
    EXPECT_EQ(keys.NodesOf(Object(5)), (std::vector<PLazyNode>{&Rows[0], &Rows[2]}));
    keys.SetNode(late, &Rows[3]);
    EXPECT_EQ(keys.NodesOf(Object(5)), (std::vector<PLazyNode>{&Rows[0], &Rows[3], &Rows[2]}));
    keys.Remove(first);
    EXPECT_EQ(keys.FirstNodeOf(Object(5)), &Rows[3]);
    EXPECT_TRUE(keys.NodesOf(nullptr).empty());
    EXPECT_EQ(keys.NodesOf(Object(4)), (std::vector<PLazyNode>{&Rows[1]}));
}

TEST(NodeKeysTest, PastTheTopTheCountComesRoundSkippingZeroAndKeysStillHeld) {
    constexpr TNodeKey top = std::numeric_limits<TNodeKey>::max();
    TNodeKeys keys(top - 2);
    EXPECT_EQ(keys.Add({rkObject, Object(1)}), top - 1);
    EXPECT_EQ(keys.Add({rkObject, Object(2)}), top);
    EXPECT_EQ(keys.Add({rkObject, Object(3)}), 1u); // not 0
    auto none = [](TNodeKey) { return false; };
    EXPECT_EQ(TNodeKeys::KeyAfter(41, none), 42u);
    EXPECT_EQ(TNodeKeys::KeyAfter(top, [](TNodeKey k) { return k == 1 || k == 2; }), 3u);
}

} // namespace
} // namespace vel
