#include "TSSetLib.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

namespace vel {
namespace {

// Every node's balance matches its subtree heights and keys are in order.
int CheckNode(const TtsSetNode* n, bool& ok) {
    if (!n) return 0;
    const int l = CheckNode(n->Left, ok);
    const int r = CheckNode(n->Right, ok);
    if (r - l != n->Balance || std::abs(r - l) > 1) ok = false;
    return 1 + std::max(l, r);
}

bool Valid(const TtsIntegerSet& s) {
    bool ok = true;
    CheckNode(s.Root(), ok);
    const auto v = s.Values();
    for (std::size_t i = 1; i < v.size(); ++i)
        if (v[i - 1] >= v[i]) ok = false;
    return ok && static_cast<int>(v.size()) == s.Count();
}

TEST(IntegerSet, InsertFindRemoveKeepBalance) {
    TtsIntegerSet s;
    const std::int32_t* first = s.Add(5);
    EXPECT_EQ(*first, 5);
    EXPECT_EQ(s.Add(5), first); // present: same item, no new node
    EXPECT_EQ(s.Count(), 1);
    for (int i = 1; i <= 1000; ++i)
        s.Add(i);
    EXPECT_EQ(s.Count(), 1000);
    EXPECT_TRUE(Valid(s));
    EXPECT_LE(s.Height(), static_cast<int>(1.45 * std::log2(1000.0)) + 1);
    EXPECT_EQ(s.Find(1001), nullptr);
    ASSERT_NE(s.Find(500), nullptr);
    for (int i = 2; i <= 1000; i += 2)
        s.Remove(i);
    EXPECT_EQ(s.Count(), 500);
    EXPECT_TRUE(Valid(s));
    EXPECT_EQ(s.Find(500), nullptr);
    EXPECT_NE(s.Find(501), nullptr);
}

TEST(IntegerSet, DeletingRootAndAbsentKeys) {
    TtsIntegerSet s;
    s.Add(2);
    s.Add(1);
    s.Add(3);
    std::int32_t two = 2;
    auto node = s.Delete(&two);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(s.Count(), 2);
    EXPECT_TRUE(Valid(s));
    EXPECT_EQ(s.Values(), (std::vector<std::int32_t>{1, 3}));
    std::int32_t absent = 7;
    EXPECT_EQ(s.Delete(&absent), nullptr);
    EXPECT_EQ(s.Count(), 2);
}

TEST(IntegerSet, RandomOperationsMatchAReferenceSet) {
    std::mt19937 rng(42);
    TtsIntegerSet s;
    std::set<int> ref;
    for (int i = 0; i < 20000; ++i) {
        const int v = static_cast<int>(rng() % 500);
        if (rng() % 3 == 0) {
            s.Remove(v);
            ref.erase(v);
        } else {
            s.Add(v);
            ref.insert(v);
        }
        if (i % 997 == 0) {
            ASSERT_TRUE(Valid(s)) << "after step " << i;
        }
    }
    EXPECT_TRUE(Valid(s));
    EXPECT_EQ(s.Values(), std::vector<std::int32_t>(ref.begin(), ref.end()));
}

TEST(IntegerSet, AssignCopiesAndClearEmpties) {
    TtsIntegerSet a;
    for (int v : {5, 1, 9, 3})
        a.Add(v);
    TtsIntegerSet b;
    b.Add(100);
    b.Assign(a);
    EXPECT_EQ(b.Values(), (std::vector<std::int32_t>{1, 3, 5, 9}));
    EXPECT_EQ(b.Count(), 4);
    EXPECT_FALSE(b.IsAssigning());
    auto list = b.ToList();
    ASSERT_EQ(list->Count(), 4);
    EXPECT_EQ(*static_cast<const std::int32_t*>(list->Get(1)), 1);
    EXPECT_EQ(list->Get(0), nullptr);
    EXPECT_EQ(list->Get(5), nullptr);
    b.Clear();
    EXPECT_EQ(b.Count(), 0);
    EXPECT_EQ(b.Root(), nullptr);
}

struct TKeyed : TtsSetElement {
    TKeyed(int k, int tag, int* freed) : Key(k), Tag(tag), Freed(freed) {}
    ~TKeyed() override {
        if (Freed) ++*Freed;
    }
    int Key;
    int Tag;
    int* Freed;
    int CompareKey(const TtsCustomSet&, const TtsSetElement& o) const override {
        const int k = static_cast<const TKeyed&>(o).Key;
        return k == Key ? 1 : k < Key ? 0 : 2;
    }
    int CompareSearch(const TtsCustomSet&, const void* key, int) const override {
        const int k = *static_cast<const int*>(key);
        return k == Key ? 1 : k < Key ? 0 : 2;
    }
};

TEST(ObjectSet, EqualKeyReplacesAndFreesTheOldElement) {
    int freed = 0;
    {
        TtsObjectSet s;
        s.Add(std::make_unique<TKeyed>(1, 10, &freed));
        s.Add(std::make_unique<TKeyed>(2, 20, &freed));
        s.Add(std::make_unique<TKeyed>(1, 11, &freed));
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(s.Count(), 2);
        int one = 1;
        EXPECT_EQ(static_cast<TKeyed*>(s.Find(&one))->Tag, 11);
        s.Remove(&one);
        EXPECT_EQ(freed, 2);
        EXPECT_EQ(s.Find(&one), nullptr);
        int two = 2;
        auto again = std::make_unique<TKeyed>(9, 90, &freed);
        TKeyed* raw = again.get();
        s.Add(std::move(again));
        s.Add(std::unique_ptr<TtsSetElement>(raw)); // the same element twice: kept once
        int nine = 9;
        EXPECT_EQ(s.Find(&nine), raw);
        s.Remove(&nine);
        EXPECT_EQ(freed, 3);
        auto kept = s.Extract(&two);
        EXPECT_EQ(freed, 3);
        EXPECT_EQ(s.Count(), 0);
    }
    EXPECT_EQ(freed, 4);
}

TEST(SortIntList, FindInsertAddRemove) {
    TtsSortIntList l;
    bool found = true;
    EXPECT_EQ(l.Find(5, found), 1);
    EXPECT_FALSE(found);
    for (int v : {5, 1, 9, 5, 3})
        l.Add(v);
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Get(1), 1);
    EXPECT_EQ(l.Get(4), 9);
    EXPECT_EQ(l.Get(0), 0);
    EXPECT_EQ(l.Get(5), 0);
    EXPECT_EQ(l.Find(4, found), 3);
    EXPECT_FALSE(found);
    EXPECT_EQ(l.Find(9, found), 4);
    EXPECT_TRUE(found);
    l.Remove(3);
    l.Remove(42);
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Get(2), 5);
    l.Insert(9, 1); // outside 0..Count+1: ignored
    EXPECT_EQ(l.Count(), 3);
    TtsSortIntList copy;
    copy.Assign(l);
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(copy.Get(3), 9);
}

TEST(SortIntList, GrowKeepsSpareEntriesAndShrinksLate) {
    TtsSortIntList l;
    l.Add(1);
    EXPECT_EQ(l.Capacity(), 101);
    for (int i = 2; i <= 150; ++i)
        l.Add(i);
    EXPECT_GE(l.Capacity(), 150);
    for (int i = 150; i >= 2; --i)
        l.Remove(i);
    EXPECT_EQ(l.Count(), 1);
    EXPECT_LE(l.Capacity(), 101);
}

TEST(NodeStack, OutOfRangeGivesZeroPairs) {
    TtsNodeStack st;
    EXPECT_EQ(st.Pop().Node, nullptr);
    TtsSetNode a;
    for (int i = 0; i < 25; ++i)
        st.Push(&a, 1);
    EXPECT_EQ(st.Count(), 25);
    EXPECT_EQ(st.Capacity(), 30);
    EXPECT_EQ(st.GetItem(26).Node, nullptr);
    EXPECT_EQ(st.GetItem(25).Direction, 1);
    st.Clear();
    EXPECT_EQ(st.Count(), 0);
    EXPECT_EQ(st.Capacity(), 30);
}

TEST(IntegerSetList, AssignCopiesEverySetOfTheSource) {
    TtsIntegerSetList a;
    auto s = std::make_unique<TtsIntegerSet>();
    s->Add(4);
    a.Put(3, std::move(s));
    // A shorter destination takes the entries beyond its count too.
    TtsIntegerSetList b;
    b.SetCount(1);
    b.Assign(a);
    EXPECT_EQ(b.Count(), 4);
    EXPECT_EQ(b.Get(0), nullptr);
    ASSERT_NE(b.Get(3), nullptr);
    EXPECT_NE(b.Get(3), a.Get(3));
    EXPECT_NE(b.Get(3)->Find(4), nullptr);
    // A longer one drops its own extra entries.
    TtsIntegerSetList c;
    c.SetCount(9);
    c.Put(7, std::make_unique<TtsIntegerSet>());
    c.Assign(a);
    EXPECT_EQ(c.Count(), 4);
}

} // namespace
} // namespace vel

namespace vel {
namespace {

TEST(SortIntList, DeletingAfterAGrowthKeepsTheOtherEntries) {
    TtsSortIntList l;
    l.SetCapacity(4);
    for (int v : {1, 2, 3, 4, 5})
        l.Add(v); // grows to 105
    l.Delete(5);  // shrinks the capacity to the count
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Get(4), 4);
}

} // namespace
} // namespace vel
