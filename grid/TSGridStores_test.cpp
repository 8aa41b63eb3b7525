#include "TSGridStores.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace vel {
namespace {

// A plain flag per position, against which the list is checked.
struct TFlags {
    std::vector<bool> Shown{false};
    int Count() const { return static_cast<int>(std::count(Shown.begin(), Shown.end(), true)); }
};

void ExpectSame(const TtsVisibleItems& v, const TFlags& f, int step) {
    std::vector<int> want;
    for (int p = 1; p < static_cast<int>(f.Shown.size()); ++p)
        if (f.Shown[static_cast<std::size_t>(p)]) want.push_back(p);
    ASSERT_EQ(v.Count(), static_cast<int>(want.size())) << "step " << step;
    ASSERT_EQ(v.ItemCount(), v.Count()) << "step " << step;
    for (int i = 1; i <= v.Count(); ++i)
        ASSERT_EQ(v.Get(i), want[static_cast<std::size_t>(i - 1)]) << "step " << step;
    const int span = static_cast<int>(f.Shown.size()) - 1;
    for (int p = 0; p <= span + 1; ++p) {
        bool found = false;
        const int at = v.Find(p, found);
        const auto below = std::lower_bound(want.begin(), want.end(), p) - want.begin();
        const bool shown = p >= 1 && p <= span && f.Shown[static_cast<std::size_t>(p)];
        ASSERT_EQ(found, shown) << "step " << step << " position " << p;
        ASSERT_EQ(at, p < 1 ? 1 : static_cast<int>(below) + 1) << "step " << step;
        const auto after = std::lower_bound(want.begin(), want.end(), p);
        ASSERT_EQ(v.VisibleFrom(p, 1), shown ? p : after == want.end() ? -1 : *after);
        ASSERT_EQ(v.VisibleFrom(p, -1), shown ? p : after == want.begin() ? -1 : *(after - 1));
    }
}

TEST(VisibleItems, RandomHidesShowsMovesAndCountsAgreeWithPlainFlags) {
    std::mt19937 rng(7);
    TtsVisibleItems v;
    v.SetCount(40, 1);
    TFlags f;
    f.Shown.assign(41, true);
    f.Shown[0] = false;
    for (int step = 0; step < 3000; ++step) {
        const int span = static_cast<int>(f.Shown.size()) - 1;
        const int p = 1 + static_cast<int>(rng() % static_cast<unsigned>(std::max(1, span)));
        switch (rng() % 6) {
        case 0:
        case 1:
            v.Remove(p);
            if (p <= span) f.Shown[static_cast<std::size_t>(p)] = false;
            break;
        case 2:
            v.Add(p);
            if (v.Active() && p <= span) f.Shown[static_cast<std::size_t>(p)] = true;
            break;
        case 3: {
            const int q = 1 + static_cast<int>(rng() % static_cast<unsigned>(std::max(1, span)));
            if (!v.Active() || p > span || q > span) break;
            v.MoveItem(p, q);
            const bool moved = f.Shown[static_cast<std::size_t>(p)];
            f.Shown.erase(f.Shown.begin() + p);
            f.Shown.insert(f.Shown.begin() + q, moved);
            break;
        }
        case 4: {
            const int to = span + 1 + static_cast<int>(rng() % 5);
            v.Extend(to);
            f.Shown.resize(static_cast<std::size_t>(to) + 1, true);
            break;
        }
        default: {
            const int to = std::max(1, span - static_cast<int>(rng() % 5));
            v.Truncate(to);
            f.Shown.resize(static_cast<std::size_t>(to) + 1);
            break;
        }
        }
        if (!v.Active()) continue; // an inactive list stands for every position
        ExpectSame(v, f, step);
        if (HasFailure()) return;
    }
}

TEST(VisibleItems, ExtendAndTruncateOfAnInactiveListKeepItInactive) {
    TtsVisibleItems v;
    v.SetCount(3, 1);
    v.Extend(10);
    EXPECT_FALSE(v.Active());
    EXPECT_EQ(v.ItemCount(), 10);
    v.Truncate(4);
    EXPECT_EQ(v.ItemCount(), 4);
    EXPECT_EQ(v.VisibleFrom(2, 1), 2);
    v.Remove(4);
    v.Extend(6); // 5 and 6 come in shown
    EXPECT_EQ(v.Get(4), 5);
    EXPECT_EQ(v.Count(), 5);
    v.Truncate(4);
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v.VisibleFrom(4, 1), -1);
    EXPECT_EQ(v.VisibleFrom(4, -1), 3);
}

} // namespace
} // namespace vel
