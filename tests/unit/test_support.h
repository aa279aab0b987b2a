// Shared helpers for unit tests that work on real files in a scratch release.
#ifndef CREVIK_TEST_SUPPORT_H
#define CREVIK_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "../file_io.h"
#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "main/run_state.h"
#include "platform/platform.h"
#include "util/util.h"

namespace test_support {

// Opening a directory as a file: POSIX names the reason, Windows refuses access.
#ifdef _WIN32
constexpr int kDirectoryOpenErrno = EACCES;
#else
constexpr int kDirectoryOpenErrno = EISDIR;
#endif

inline std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/' || dir.back() == '\\') return dir + name;
    return dir + kPathSep + name;
}

using test_files::FileText;
using test_files::WriteFile;

// Names in `dir` as the directory search returns them; directories end in '/'.
inline std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(JoinPath(dir, "*").c_str(), &entry);
    if (!find) return names;
    do names.push_back(std::string(entry.name) + (entry.isDir ? "/" : ""));
    while (PlatFindNext(find, &entry));
    PlatFindClose(find);
    return names;
}

}  // namespace test_support

// A unique directory under the test temporary directory holds Crevik.ini
// (root_) and the release directory (release_), which is the working
// directory and ReleaseDir while the test runs. theLog and theConfig start
// empty in every test.
class ReleaseDirTest : public ::testing::Test {
protected:
    void SetUp() override { UseRelease("Some.Release"); }
    void TearDown() override {
        if (!PlatChangeDir(oldCwd_.c_str())) ADD_FAILURE() << "cannot return to " << oldCwd_;
        std::filesystem::remove_all(root_);
        ResetGlobals();
    }
    // Starts afresh with the release at root_/relative, e.g. "Some.Release/CD1".
    void UseRelease(const std::string& relative) {
        if (oldCwd_.empty()) oldCwd_ = std::filesystem::current_path().string();
        if (root_.empty()) {
            static unsigned counter = 0;
            auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            root_ = test_support::JoinPath(::testing::TempDir(), "crevik_test_" + std::to_string(stamp) + "_" +
                                                                     std::to_string(++counter));
            ASSERT_TRUE(std::filesystem::create_directory(root_));
        }
        ResetGlobals();
        release_ = (root_ / relative).make_preferred();  // one separator kind, as the server passes
        std::filesystem::create_directories(release_);
        ASSERT_TRUE(PlatChangeDir(release_.string().c_str()));
        CopyText(ReleaseDir, (release_.string() + kPathSep).c_str());
        CopyText(UploadLogPath, (release_.string() + kPathSep + ".upChk.log").c_str());
        Settings("");
    }
    void Settings(const std::string& ini) {
        test_support::WriteFile((root_ / "Crevik.ini").string(), ini);
        ASSERT_TRUE(theConfig.Load((root_ / "Crevik.ini").string().c_str()));
    }
    std::string Diag() const { return test_support::FileText((root_ / "Crevik.log").string()); }
    static void ResetGlobals() {
        theLog.~OrvexLog();
        new (&theLog) OrvexLog();
        theConfig.~IniConfig();
        new (&theConfig) IniConfig();
    }

    std::string oldCwd_;
    std::filesystem::path root_;
    std::filesystem::path release_;
};

#endif
