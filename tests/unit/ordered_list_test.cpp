#include <gtest/gtest.h>

#include <vector>

#include "log/ordered_list.h"

namespace {

int CompareInts(const void* a, const void* b) { return *static_cast<const int*>(a) - *static_cast<const int*>(b); }
// Equal by the tens digit only, so equal elements can be told apart.
int CompareTens(const void* a, const void* b) { return *static_cast<const int*>(a) / 10 - *static_cast<const int*>(b) / 10; }

struct IntList : OrderedList {
    explicit IntList(std::vector<int> values, CompareFn compare = CompareInts) : OrderedList(sizeof(int), compare) {
        for (int v : values) Append(&v);
    }
    std::vector<int> Values() {
        std::vector<int> out;
        for (void* e = First(); e; e = Next()) out.push_back(*static_cast<int*>(e));
        return out;
    }
    int At() { return Current() ? *static_cast<int*>(Current()) : -1; }
};

TEST(OrderedList, WalkingReportsPositionsAndStartsOverAfterTheEnd) {
    IntList empty({});
    EXPECT_EQ(empty.First(), nullptr);
    EXPECT_EQ(empty.Position(), 0);

    IntList l({1, 2, 3});
    int expected = 1;
    for (void* e = l.First(); e; e = l.Next(), ++expected) {
        EXPECT_EQ(*static_cast<int*>(e), expected);
        EXPECT_EQ(l.Position(), expected);
    }
    EXPECT_EQ(l.Position(), 0);
    EXPECT_EQ(*static_cast<int*>(l.Next()), 1);
    l.Last();
    EXPECT_EQ(*static_cast<int*>(l.Prev()), 2);
    EXPECT_EQ(l.Position(), 2);
}

TEST(OrderedList, FindTakesTheFirstEqualAndAMissLeavesNoCursor) {
    IntList l({11, 25, 17}, CompareTens);
    int probe = 15;
    EXPECT_EQ(*static_cast<int*>(l.Find(&probe)), 11);
    probe = 99;
    EXPECT_EQ(l.Find(&probe), nullptr);
    EXPECT_EQ(l.Position(), 0);
    EXPECT_EQ(l.ReplaceCurrent(&probe), -1);
    EXPECT_EQ(l.RemoveCurrent(), -1);
    EXPECT_EQ(l.Count(), 3);
    IntList unsorted({1}, nullptr);
    EXPECT_EQ(unsorted.Find(&probe), nullptr);
    EXPECT_EQ(unsorted.Sort(), -1);
}

TEST(OrderedList, RemovalLeavesTheCursorOnTheFollowerOrTheNewLast) {
    struct Case { int index; int cursor; int position; } cases[] = {{0, 2, 1}, {1, 3, 2}, {2, 2, 2}};
    for (const Case& c : cases) {
        IntList l({1, 2, 3});
        l.GetAt(c.index);
        l.RemoveCurrent();
        EXPECT_EQ(l.At(), c.cursor) << c.index;
        EXPECT_EQ(l.Position(), c.position) << c.index;
    }
    IntList only({1});
    only.First();
    only.RemoveCurrent();
    EXPECT_EQ(only.Count(), 0);
    EXPECT_EQ(only.Current(), nullptr);
}

TEST(OrderedList, ReplacingTheSecondToLastMovesTheReplacementToTheEnd) {
    const std::vector<std::vector<int>> expected = {{9, 2, 3, 4}, {1, 9, 3, 4}, {1, 2, 4, 9}, {1, 2, 3, 9}};
    for (int index = 0; index < 4; ++index) {
        IntList l({1, 2, 3, 4});
        l.GetAt(index);
        int r = 9;
        EXPECT_EQ(l.ReplaceCurrent(&r), 0);
        EXPECT_EQ(l.At(), 9);
        EXPECT_EQ(l.Values(), expected[static_cast<size_t>(index)]) << index;
    }
    IntList one({1});
    one.First();
    int r = 5;
    one.ReplaceCurrent(&r);
    EXPECT_EQ(one.Values(), std::vector<int>{5});
}

TEST(OrderedList, SortAndGetAt) {
    IntList l({2, 1, 3});
    EXPECT_EQ(l.Sort(), 0);
    EXPECT_EQ(l.At(), 1);
    EXPECT_EQ(l.Values(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(*static_cast<int*>(l.GetAt(2)), 3);
    EXPECT_EQ(l.GetAt(3), nullptr);
    EXPECT_EQ(l.GetAt(-1), nullptr);
    EXPECT_EQ(l.Position(), 3);  // a miss leaves the cursor where it was
    if (l.First())
        while (l.Current()) l.RemoveCurrent();  // the clearing pattern
    EXPECT_EQ(l.Count(), 0);
}

}  // namespace
