// The Windows behaviour the program relies on, as the platform layer gives it.
#include <cerrno>
#include <chrono>
#include <random>

#include "test_support.h"

namespace {

using test_support::FileText;
using test_support::WriteFile;
using Names = std::vector<std::string>;

TEST(WildcardMatch, BacktracksInLinearTime) {
    std::string many(200, 'a');
    EXPECT_FALSE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*b", many.c_str()));
    EXPECT_TRUE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*", many.c_str()));
}

using PlatformEntries = ReleaseDirTest;  // relative names land in a scratch directory

TEST_F(PlatformEntries, RenameNeverReplacesButTheLogSaveDoes) {
    WriteFile("a", "A");
    WriteFile("b", "B");
    ASSERT_TRUE(PlatCreateDir("d") && PlatCreateDir("empty"));
    EXPECT_FALSE(PlatRename("a", "b"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatRename("a", "empty"));
    EXPECT_FALSE(PlatRename("d", "empty"));
    EXPECT_TRUE(PlatRename("d", "e"));
    EXPECT_TRUE(PlatReplaceFile("a", "b"));
    EXPECT_EQ(test_support::ListDir("."), (Names{"b", "e/", "empty/"}));
    EXPECT_EQ(FileText("b"), "A");
}

TEST_F(PlatformEntries, FilesAndDirectoriesAreNotMistakenForEachOther) {
    ASSERT_TRUE(PlatCreateDir("dir"));
    WriteFile("file", "x");
    EXPECT_TRUE(PlatFileReadable("file") && PlatPathExists("dir"));
    EXPECT_FALSE(PlatFileReadable("dir") || PlatFileReadable("none") || PlatPathExists("none"));
    EXPECT_FALSE(PlatDeleteFile("dir") || PlatRemoveDir("file") || PlatCreateDir("file"));
    EXPECT_EQ(PlatOpenSequential("dir"), nullptr);
    WriteFile("dir/inside", "y");
    EXPECT_FALSE(PlatRemoveDir("dir"));  // only empty directories go
    EXPECT_TRUE(PlatCreateEmptyFile("marker"));
    EXPECT_TRUE(PlatCreateEmptyFile("file"));  // an existing file is kept
    EXPECT_EQ(FileText("file"), "x");
    EXPECT_EQ(test_support::ListDir("."), (Names{"dir/", "file", "marker"}));
}

#ifndef _WIN32
// A second holder in the same process is refused until the first lets go;
// on Windows a mutex is recursive within its owning thread, so this is POSIX only.
TEST(RunLockTimeout, AWaitEndsAfterItsTimeAndTheLockIsThenFree) {
    const std::string dir = testing::TempDir() + "crevik-lock-" + std::to_string(std::random_device{}());
    const std::string otherDir = dir + "-other";
    ASSERT_TRUE(PlatCreateDir(dir.c_str()) && PlatCreateDir(otherDir.c_str()));
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
    PlatRemoveDir(dir.c_str());
    PlatRemoveDir(otherDir.c_str());
}
#endif

}  // namespace
