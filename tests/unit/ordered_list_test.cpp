#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/ordered_list.h"

namespace {

int CompareInts(const void* a, const void* b) { return *static_cast<const int*>(a) - *static_cast<const int*>(b); }
// Equal by the tens digit only, so duplicates can be told apart.
int CompareTens(const void* a, const void* b) { return *static_cast<const int*>(a) / 10 - *static_cast<const int*>(b) / 10; }

struct ListOf {
    OrderedList list{sizeof(int), CompareInts};
    explicit ListOf(std::vector<int> values) {
        for (int v : values) list.Append(&v);
    }
    std::vector<int> Values() {
        std::vector<int> out;
        for (void* e = list.First(); e; e = list.Next()) out.push_back(*static_cast<int*>(e));
        return out;
    }
    int Current() { return list.Current() ? *static_cast<int*>(list.Current()) : -1; }
};

TEST(OrderedList, WalkingReportsPositionsAndWrapsAfterTheEnd) {
    ListOf empty({});
    EXPECT_EQ(empty.list.First(), nullptr);
    EXPECT_EQ(empty.list.Position(), 0);
    EXPECT_EQ(empty.list.Current(), nullptr);

    ListOf l({1, 2, 3});
    EXPECT_EQ(l.list.Count(), 3);
    int expected = 1;
    for (void* e = l.list.First(); e; e = l.list.Next(), ++expected) {
        EXPECT_EQ(*static_cast<int*>(e), expected);
        EXPECT_EQ(l.list.Position(), expected);
    }
    EXPECT_EQ(l.list.Position(), 0);
    EXPECT_EQ(*static_cast<int*>(l.list.Next()), 1);  // starts over
    EXPECT_EQ(*static_cast<int*>(l.list.Last()), 3);
    EXPECT_EQ(l.list.Position(), 3);
    EXPECT_EQ(*static_cast<int*>(l.list.Prev()), 2);
    EXPECT_EQ(l.list.Position(), 2);
    l.list.Rewind();
    EXPECT_EQ(l.list.Current(), nullptr);
}

TEST(OrderedList, FindReturnsTheFirstEqualAndMissesLeaveNoCursor) {
    OrderedList list(sizeof(int), CompareTens);
    for (int v : {11, 25, 17}) list.Append(&v);
    int probe = 15;
    EXPECT_EQ(*static_cast<int*>(list.Find(&probe)), 11);
    EXPECT_EQ(list.Position(), 1);
    probe = 99;
    EXPECT_EQ(list.Find(&probe), nullptr);
    EXPECT_EQ(list.Position(), 0);
    EXPECT_EQ(list.Current(), nullptr);
    EXPECT_EQ(list.ReplaceCurrent(&probe), -1);
    EXPECT_EQ(list.RemoveCurrent(), -1);
    EXPECT_EQ(list.Count(), 3);

    OrderedList noCompare(sizeof(int), nullptr);
    noCompare.Append(&probe);
    EXPECT_EQ(noCompare.Find(&probe), nullptr);
    EXPECT_EQ(noCompare.Sort(), -1);
}

TEST(OrderedList, RemovalLeavesTheCursorOnTheFollowerOrTheNewLast) {
    ListOf first({1, 2, 3});
    first.list.First();
    first.list.RemoveCurrent();
    EXPECT_EQ(first.Current(), 2);
    EXPECT_EQ(first.list.Position(), 1);

    ListOf last({1, 2, 3});
    last.list.Last();
    last.list.RemoveCurrent();
    EXPECT_EQ(last.Current(), 2);
    EXPECT_EQ(last.list.Position(), 2);

    ListOf middle({1, 2, 3, 4});
    middle.list.GetAt(1);
    middle.list.RemoveCurrent();
    EXPECT_EQ(middle.Current(), 3);
    EXPECT_EQ(middle.list.Position(), 2);

    ListOf only({1});
    only.list.First();
    only.list.RemoveCurrent();
    EXPECT_EQ(only.list.Count(), 0);
    EXPECT_EQ(only.list.Position(), 0);
    EXPECT_EQ(only.list.Current(), nullptr);
}

TEST(OrderedList, ReplacingTheSecondToLastMovesTheReplacementToTheEnd) {
    const std::vector<std::vector<int>> expected = {
        {99, 2, 3, 4}, {1, 99, 3, 4}, {1, 2, 4, 99}, {1, 2, 3, 99}};
    for (int index = 0; index < 4; ++index) {
        ListOf l({1, 2, 3, 4});
        l.list.GetAt(index);
        int r = 99;
        EXPECT_EQ(l.list.ReplaceCurrent(&r), 0);
        EXPECT_EQ(l.Current(), 99);
        EXPECT_EQ(l.Values(), expected[static_cast<size_t>(index)]) << "replacing index " << index;
    }
    ListOf one({1});
    one.list.First();
    int r = 5;
    one.list.ReplaceCurrent(&r);
    EXPECT_EQ(one.Values(), std::vector<int>{5});
}

TEST(OrderedList, SortOrdersByTheCallbackAndGetAtIndexesFromZero) {
    ListOf single({7});
    single.list.Rewind();
    EXPECT_EQ(single.list.Sort(), 0);
    EXPECT_EQ(single.list.Position(), 0);  // too short to sort: cursor untouched

    ListOf l({2, 1, 3});
    EXPECT_EQ(l.list.Sort(), 0);
    EXPECT_EQ(l.Current(), 1);
    EXPECT_EQ(l.list.Position(), 1);
    EXPECT_EQ(l.Values(), (std::vector<int>{1, 2, 3}));

    EXPECT_EQ(*static_cast<int*>(l.list.GetAt(0)), 1);
    EXPECT_EQ(*static_cast<int*>(l.list.GetAt(2)), 3);
    EXPECT_EQ(l.list.Position(), 3);
    EXPECT_EQ(l.list.GetAt(3), nullptr);
    EXPECT_EQ(l.list.GetAt(-1), nullptr);
    EXPECT_EQ(l.list.Position(), 3);  // a miss leaves the cursor where it was
}

TEST(OrderedList, ClearingPatternEmptiesAnyList) {
    for (int n : {1, 2, 5}) {
        ListOf l({});
        for (int i = 0; i < n; ++i) l.list.Append(&i);
        if (l.list.First())
            while (l.list.Current()) l.list.RemoveCurrent();
        EXPECT_EQ(l.list.Count(), 0) << n;
    }
}

}  // namespace
