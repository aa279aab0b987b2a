// The Windows behaviour the program relies on, as the platform layer gives it.
#include "test_support.h"

namespace {

using PlatformEntries = ReleaseDirTest;  // relative names land in a scratch directory

TEST_F(PlatformEntries, RenameNeverReplacesAndFilesAndDirectoriesAreNotMistaken) {
    WriteFile("a", "A");
    WriteFile("b", "B");
    ASSERT_TRUE(PlatCreateDir("d") && PlatCreateDir("empty"));
    EXPECT_FALSE(PlatRename("a", "b"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatRename("a", "empty") || PlatRename("d", "empty"));
    EXPECT_TRUE(PlatRename("d", "e"));
    EXPECT_TRUE(PlatReplaceFile("a", "b"));
    EXPECT_EQ(FileText("b"), "A");

    EXPECT_TRUE(PlatFileReadable("b") && PlatPathExists("e"));
    EXPECT_FALSE(PlatFileReadable("e") || PlatFileReadable("none") || PlatPathExists("none"));
    EXPECT_FALSE(PlatDeleteFile("e") || PlatRemoveDir("b") || PlatCreateDir("b"));
    EXPECT_EQ(PlatOpenSequential("e"), nullptr);
    WriteFile("e/inside", "y");
    EXPECT_FALSE(PlatRemoveDir("e"));  // only empty directories go
    EXPECT_TRUE(PlatCreateEmptyFile("marker") && PlatCreateEmptyFile("b"));  // an existing file is emptied
    EXPECT_EQ(FileText("b"), "");
    EXPECT_TREE(".", "b", "e/", "empty/", "marker");
}

// The same results on POSIX and on Windows, where the kernel would also match 8.3 short names.
TEST_F(PlatformEntries, SearchMatchesOnlyStarAndQuestionMarkOnLongNamesIgnoringCaseSorted) {
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

#ifndef _WIN32
// A second holder in the same process is refused until the first lets go;
// on Windows a mutex is recursive within its owning thread, so this is POSIX only.
TEST_F(PlatformEntries, ARunLockWaitEndsAfterItsTimeAndTheLockIsThenFree) {
    const std::string dir = release_.string(), otherDir = root_.string();
    PlatRunLock* first = PlatAcquireRunLock(dir.c_str(), "a", 0);
    ASSERT_NE(first, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PlatAcquireRunLock((dir + "/./").c_str(), "b", 150), nullptr);  // another spelling, the same lock
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(3));
    PlatRunLock* other = PlatAcquireRunLock(otherDir.c_str(), "a", 0);  // another directory, another lock
    EXPECT_NE(other, nullptr);
    PlatReleaseRunLock(first);
    PlatRunLock* again = PlatAcquireRunLock(dir.c_str(), "a", 0);
    EXPECT_NE(again, nullptr);
    PlatReleaseRunLock(again);
    PlatReleaseRunLock(other);
}
#endif

}  // namespace
