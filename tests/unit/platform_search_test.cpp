// Directory search over one tree; the same results on POSIX and on Windows,
// where the kernel would also match 8.3 short names.
#include "test_support.h"

namespace {

using PlatformSearch = ReleaseDirTest;

TEST_F(PlatformSearch, OnlyStarAndQuestionMarkMatchLongNamesIgnoringCaseSorted) {
    for (const char* file : {"a.sfv", "b.sfvx", "C.SFV", "x[1].sfv", "a.b", "ab", "some.release.name.r00",
                             "Some-Release-Name.r01", "readme.txt", "-missing"})
        ASSERT_TRUE(PlatCreateEmptyFile(file)) << file;
    for (const char* sub : {"sub.sfv", "[UP #2@1.0MB by joe@crew at 1.2MBps]"}) ASSERT_TRUE(PlatCreateDir(sub)) << sub;
    const std::string upDir = "[UP #2@1.0MB by joe@crew at 1.2MBps]/";
    const std::pair<std::string, Words> rows[] = {
        {"*", {"-missing", upDir, "a.b", "a.sfv", "ab", "b.sfvx", "C.SFV", "readme.txt", "Some-Release-Name.r01",
               "some.release.name.r00", "sub.sfv/", "x[1].sfv"}},  // never "." or ".."
        {"*.sfv", {"a.sfv", "C.SFV", "sub.sfv/", "x[1].sfv"}},      // not b.sfvx, short name B~1.SFV
        {"*.SfV*", {"a.sfv", "b.sfvx", "C.SFV", "sub.sfv/", "x[1].sfv"}},
        {"*.r0?", {"Some-Release-Name.r01", "some.release.name.r00"}},  // mangled short names too
        {"*.nfo", {}},
        {"nosuchdir/*", {}},
        {"x[1].sfv", {"x[1].sfv"}},
        {"x1.sfv", {}},
        {"a?b", {"a.b"}},  // '?' is exactly one character, a dot included
        {"ab?", {}},
        {"a*.*", {"a.b", "a.sfv"}},  // no DOS meaning for "*.*"
        {"[UP #*@* by *@* at *]", {upDir}},
        {"*-missing", {"-missing"}},
    };
    for (const auto& [pattern, expected] : rows) {
        Words found;
        PlatFindEntry entry;
        PlatFind* find = PlatFindFirst((release_ / pattern).string().c_str(), &entry);
        for (bool more = find; more; more = PlatFindNext(find, &entry))
            found.push_back(std::string(entry.name) + (entry.isDir ? "/" : ""));
        if (find) PlatFindClose(find);
        EXPECT_EQ(Joined(found), Joined(expected)) << pattern;
    }
    std::string many(200, 'a');  // backtracking stays linear
    EXPECT_FALSE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*b", many.c_str()));
    EXPECT_TRUE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*", many.c_str()));
}

}  // namespace
