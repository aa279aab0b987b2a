// The Windows behaviour the program relies on, as the platform layer gives it.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

TEST(WildcardMatch, BacktracksInLinearTime) {
    std::string many(200, 'a');
    EXPECT_FALSE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*b", many.c_str()));
    EXPECT_TRUE(PlatWildcardMatch("*a*a*a*a*a*a*a*a*", many.c_str()));
}

class PlatformEntries : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("crevik_platform_" + std::to_string(std::random_device{}()));
        fs::create_directory(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string P(const char* name) const { return (dir_ / name).string(); }
    void Write(const char* name, const char* text) const { std::ofstream(P(name), std::ios::binary) << text; }
    std::string Read(const char* name) const {
        std::ifstream in(P(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

TEST_F(PlatformEntries, RenameNeverReplacesButTheLogSaveDoes) {
    Write("a", "A");
    Write("b", "B");
    fs::create_directory(P("empty"));
    EXPECT_FALSE(PlatRename(P("a").c_str(), P("b").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatRename(P("a").c_str(), P("empty").c_str()));
    fs::create_directory(P("d"));
    EXPECT_FALSE(PlatRename(P("d").c_str(), P("empty").c_str()));
    EXPECT_EQ(Read("b"), "B");
    EXPECT_TRUE(PlatRename(P("d").c_str(), P("e").c_str()));
    EXPECT_TRUE(fs::is_directory(P("e")));

    EXPECT_TRUE(PlatReplaceFile(P("a").c_str(), P("b").c_str()));
    EXPECT_EQ(Read("b"), "A");
    EXPECT_FALSE(fs::exists(P("a")));
}

TEST_F(PlatformEntries, FilesAndDirectoriesAreNotMistakenForEachOther) {
    fs::create_directory(P("dir"));
    Write("file", "x");
    EXPECT_FALSE(PlatFileReadable(P("dir").c_str()));
    EXPECT_TRUE(PlatFileReadable(P("file").c_str()));
    EXPECT_FALSE(PlatFileReadable(P("none").c_str()));
    EXPECT_TRUE(PlatPathExists(P("dir").c_str()));
    EXPECT_FALSE(PlatPathExists(P("none").c_str()));
    EXPECT_FALSE(PlatDeleteFile(P("dir").c_str()));
    EXPECT_FALSE(PlatRemoveDir(P("file").c_str()));
    EXPECT_FALSE(PlatCreateDir(P("file").c_str()));
    EXPECT_EQ(PlatOpenSequential(P("dir").c_str()), nullptr);

    Write("dir/inside", "y");
    EXPECT_FALSE(PlatRemoveDir(P("dir").c_str()));  // only empty directories go
    EXPECT_TRUE(PlatCreateEmptyFile(P("marker").c_str()));
    EXPECT_TRUE(PlatCreateEmptyFile(P("file").c_str()));  // an existing file is kept
    EXPECT_EQ(Read("file"), "x");
}

TEST_F(PlatformEntries, InjectedFaultsFailOnceWithTheirErrorNumber) {
    PlatFile* f = PlatCreateTruncate(P("out").c_str());
    ASSERT_NE(f, nullptr);
    PlatInjectFault(PlatFault::Write, ENOSPC);
    EXPECT_FALSE(PlatWrite(f, "abc", 3));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_TRUE(PlatWrite(f, "abc", 3));
    EXPECT_TRUE(PlatClose(f));
    EXPECT_EQ(Read("out"), "abc");
}

#ifndef _WIN32
// A second holder in the same process is refused until the first lets go;
// on Windows a mutex is recursive within its owning thread, so this is POSIX only.
TEST(RunLockTimeout, AWaitEndsAfterItsTimeAndTheLockIsThenFree) {
    std::string name = "crevik-test-" + std::to_string(std::random_device{}());
    PlatRunLock* first = PlatAcquireRunLock(name.c_str(), 0);
    ASSERT_NE(first, nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(PlatAcquireRunLock(name.c_str(), 150), nullptr);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(3));
    PlatRunLock* other = PlatAcquireRunLock((name + "-other").c_str(), 0);
    EXPECT_NE(other, nullptr);
    PlatReleaseRunLock(other);
    PlatReleaseRunLock(first);
    PlatRunLock* again = PlatAcquireRunLock(name.c_str(), 0);
    EXPECT_NE(again, nullptr);
    PlatReleaseRunLock(again);
}
#endif

}  // namespace
