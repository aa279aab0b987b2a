#include <gtest/gtest.h>

#include <string>
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
    // The elements from the head; every step must report its 1-based position, the end 0.
    std::vector<int> Values() {
        std::vector<int> out;
        for (void* e = First(); e; e = Next()) {
            out.push_back(*static_cast<int*>(e));
            EXPECT_EQ(Position(), static_cast<int>(out.size()));
        }
        EXPECT_EQ(Position(), 0);
        return out;
    }
    std::string Where() {  // "element@position" under the cursor; -1 for none
        return std::to_string(Current() ? *static_cast<int*>(Current()) : -1) + "@" + std::to_string(Position());
    }
};

TEST(OrderedList, WalkingReportsPositionsAndStartsOverAfterTheEnd) {
    EXPECT_EQ(IntList({}).Values(), std::vector<int>{});
    IntList l({1, 2, 3});
    EXPECT_EQ(l.Values(), (std::vector<int>{1, 2, 3}));
    l.Prev();  // stepping back from the end lands on the last
    EXPECT_EQ(l.Where(), "3@3");
    l.Next();
    l.Next();
    EXPECT_EQ(l.Where(), "1@1");
}

TEST(OrderedList, FindTakesTheFirstEqualAndAMissLeavesNoCursor) {
    IntList l({11, 25, 17}, CompareTens);
    int probe = 15;
    EXPECT_EQ(*static_cast<int*>(l.Find(&probe)), 11);
    probe = 99;
    EXPECT_EQ(l.Find(&probe), nullptr);
    EXPECT_EQ(l.Where(), "-1@0");
    EXPECT_EQ(l.ReplaceCurrent(&probe), -1);
    EXPECT_EQ(l.RemoveCurrent(), -1);
    IntList unsorted({1}, nullptr);
    EXPECT_EQ(unsorted.Find(&probe), nullptr);
    EXPECT_EQ(unsorted.Sort(), -1);
}

// Removal leaves the cursor on the follower or the new last; a replacement takes the
// removed element's place, except after the second-to-last, where it lands at the end.
TEST(OrderedList, RemovalAndReplacementFollowTheirCursorRules) {
    struct Case { bool replace; std::vector<int> list; int index; std::vector<int> after; const char* where; };
    const Case cases[] = {
        {false, {1, 2, 3}, 0, {2, 3}, "2@1"},          {false, {1, 2, 3}, 1, {1, 3}, "3@2"},
        {false, {1, 2, 3}, 2, {1, 2}, "2@2"},          {true, {1, 2, 3, 4}, 0, {9, 2, 3, 4}, "9@1"},
        {true, {1, 2, 3, 4}, 1, {1, 9, 3, 4}, "9@2"},  {true, {1, 2, 3, 4}, 2, {1, 2, 4, 9}, "9@4"},
        {true, {1, 2, 3, 4}, 3, {1, 2, 3, 9}, "9@4"},  {true, {1}, 0, {9}, "9@1"}};
    for (const Case& c : cases) {
        IntList l(c.list);
        l.GetAt(c.index);
        int replacement = 9;
        EXPECT_EQ(c.replace ? l.ReplaceCurrent(&replacement) : l.RemoveCurrent(), 0);
        EXPECT_EQ(l.Where(), c.where) << c.replace << c.index;
        EXPECT_EQ(l.Values(), c.after) << c.replace << c.index;
    }
}

TEST(OrderedList, SortAndGetAt) {
    IntList l({2, 1, 3});
    EXPECT_EQ(l.Sort(), 0);
    EXPECT_EQ(l.Where(), "1@1");
    EXPECT_EQ(l.Values(), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(*static_cast<int*>(l.GetAt(2)), 3);
    EXPECT_TRUE(l.GetAt(3) == nullptr && l.GetAt(-1) == nullptr);
    EXPECT_EQ(l.Where(), "3@3");  // a miss leaves the cursor where it was
    if (l.First())
        while (l.Current()) l.RemoveCurrent();  // the clearing pattern
    EXPECT_EQ(l.Count(), 0);
}

}  // namespace
