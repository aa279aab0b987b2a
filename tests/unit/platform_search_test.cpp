// Directory search over one tree; the same expectations hold on POSIX and on
// Windows, where the kernel would also match 8.3 short names.
#include "test_support.h"

namespace {

using Names = std::vector<std::string>;

class PlatformSearch : public ReleaseDirTest {
protected:
    void SetUp() override {
        ReleaseDirTest::SetUp();
        for (const char* file : {"a.sfv", "b.sfvx", "C.SFV", "x[1].sfv", "a.b", "ab", "some.release.name.r00",
                                 "Some-Release-Name.r01", "readme.txt", "-missing"})
            ASSERT_TRUE(PlatCreateEmptyFile(file)) << file;
        for (const char* sub : {"sub.sfv", "[UP #2@1.0MB by joe@crew at 1.2MBps]"})
            ASSERT_TRUE(PlatCreateDir(sub)) << sub;
    }
    // "name" for files, "name/" for directories, in the order returned.
    Names Find(const std::string& pattern) const {
        Names found;
        PlatFindEntry entry;
        PlatFind* find = PlatFindFirst(test_support::JoinPath(release_.string(), pattern).c_str(), &entry);
        if (!find) return found;
        do found.push_back(std::string(entry.name) + (entry.isDir ? "/" : ""));
        while (PlatFindNext(find, &entry));
        PlatFindClose(find);
        return found;
    }
};

TEST_F(PlatformSearch, MatchesLongNamesOnlyIgnoringCaseSorted) {
    EXPECT_EQ(Find("*"), (Names{"-missing", "[UP #2@1.0MB by joe@crew at 1.2MBps]/", "a.b", "a.sfv", "ab", "b.sfvx",
                                "C.SFV", "readme.txt", "Some-Release-Name.r01", "some.release.name.r00", "sub.sfv/",
                                "x[1].sfv"}));  // never "." or ".."
    // b.sfvx has the short name B~1.SFV on Windows and must not be found.
    EXPECT_EQ(Find("*.sfv"), (Names{"a.sfv", "C.SFV", "sub.sfv/", "x[1].sfv"}));
    EXPECT_EQ(Find("*.SfV*"), (Names{"a.sfv", "b.sfvx", "C.SFV", "sub.sfv/", "x[1].sfv"}));
    // Long names with several dots have mangled short names too.
    EXPECT_EQ(Find("*.r0?"), (Names{"Some-Release-Name.r01", "some.release.name.r00"}));
    EXPECT_EQ(Find("some*"), (Names{"Some-Release-Name.r01", "some.release.name.r00"}));
    EXPECT_EQ(Find("*.nfo"), Names{});
    EXPECT_EQ(Find("nosuchdir/*"), Names{});
}

TEST_F(PlatformSearch, OnlyStarAndQuestionMarkAreWildcards) {
    EXPECT_EQ(Find("x[1].sfv"), (Names{"x[1].sfv"}));
    EXPECT_EQ(Find("x1.sfv"), Names{});
    // '?' is exactly one character, a dot included, never none.
    EXPECT_EQ(Find("a?b"), (Names{"a.b"}));
    EXPECT_EQ(Find("ab?"), Names{});
    // No DOS meaning for "*.*": a name without a dot does not match.
    EXPECT_EQ(Find("a*.*"), (Names{"a.b", "a.sfv"}));
    EXPECT_EQ(Find("[UP #*@* by *@* at *]"), (Names{"[UP #2@1.0MB by joe@crew at 1.2MBps]/"}));
    EXPECT_EQ(Find("*-missing"), (Names{"-missing"}));
}

}  // namespace
