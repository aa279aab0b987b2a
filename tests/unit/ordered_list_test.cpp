#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/ordered_list.h"

namespace {

// Equal by the tens digit only, so equal elements can be told apart.
int CompareTens(const void* a, const void* b) { return *static_cast<const int*>(a) / 10 - *static_cast<const int*>(b) / 10; }

struct IntList : OrderedList {
    explicit IntList(std::vector<int> values, CompareFn compare = CompareTens) : OrderedList(sizeof(int), compare) {
        for (int v : values) Append(&v);
    }
    // "element@position" under the cursor (-1 for none), then the elements from
    // the head, each step checked for its 1-based position.
    std::string State() {
        std::string out = std::to_string(Current() ? *static_cast<int*>(Current()) : -1) + "@" +
                          std::to_string(Position()) + ":";
        int n = 0;
        for (void* e = First(); e; e = Next()) {
            out += " " + std::to_string(*static_cast<int*>(e));
            EXPECT_EQ(Position(), ++n);
        }
        EXPECT_EQ(Position(), 0);
        return out;
    }
};

// Removal leaves the cursor on the follower or the new last; a replacement takes the removed
// element's place, except after the second-to-last, where it lands at the end.
TEST(OrderedList, RemovalAndReplacementFollowTheirCursorRules) {
    struct Case { bool replace; std::vector<int> list; int index; const char* state; };
    const Case cases[] = {
        {false, {10, 20, 30}, 0, "20@1: 20 30"},          {false, {10, 20, 30}, 1, "30@2: 10 30"},
        {false, {10, 20, 30}, 2, "20@2: 10 20"},          {true, {10, 20, 30, 40}, 0, "90@1: 90 20 30 40"},
        {true, {10, 20, 30, 40}, 1, "90@2: 10 90 30 40"}, {true, {10, 20, 30, 40}, 2, "90@4: 10 20 40 90"},
        {true, {10, 20, 30, 40}, 3, "90@4: 10 20 30 90"}, {true, {10}, 0, "90@1: 90"}};
    for (const Case& c : cases) {
        IntList l(c.list);
        l.GetAt(c.index);
        int replacement = 90;
        EXPECT_EQ(c.replace ? l.ReplaceCurrent(&replacement) : l.RemoveCurrent(), 0);
        EXPECT_EQ(l.State(), c.state) << c.replace << c.index;
    }
}

TEST(OrderedList, FindSortGetAtAndWalkingPastTheEnd) {
    IntList l({25, 11, 17, 32});
    int probe = 15;
    EXPECT_EQ(*static_cast<int*>(l.Find(&probe)), 11);  // the first equal
    probe = 99;
    EXPECT_EQ(l.Find(&probe), nullptr);
    EXPECT_EQ(l.State(), "-1@0: 25 11 17 32");  // a miss leaves no cursor
    EXPECT_TRUE(l.ReplaceCurrent(&probe) == -1 && l.RemoveCurrent() == -1);
    EXPECT_EQ(l.Sort(), 0);  // stable
    EXPECT_EQ(l.State(), "11@1: 11 17 25 32");
    l.Prev();  // stepping back from the end lands on the last
    EXPECT_EQ(*static_cast<int*>(l.Current()), 32);
    l.Next();
    l.Next();  // and on from the end starts over
    EXPECT_EQ(*static_cast<int*>(l.Current()), 11);
    EXPECT_EQ(*static_cast<int*>(l.GetAt(2)), 25);
    EXPECT_TRUE(l.GetAt(4) == nullptr && l.GetAt(-1) == nullptr);
    EXPECT_EQ(l.Position(), 3);  // a miss leaves the cursor where it was
    IntList unsorted({1}, nullptr);
    EXPECT_TRUE(unsorted.Find(&probe) == nullptr && unsorted.Sort() == -1);
}

}  // namespace
