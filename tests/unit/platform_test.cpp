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
    EXPECT_TRUE(PlatCreateEmptyFile("marker") && PlatCreateEmptyFile("b"));  // an existing file is kept
    EXPECT_EQ(FileText("b"), "A");
    EXPECT_TREE(".", "b", "e/", "empty/", "marker");
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
