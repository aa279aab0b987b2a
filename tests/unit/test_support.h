// A scratch release for unit tests that work on real files.
#ifndef CREVIK_TEST_SUPPORT_H
#define CREVIK_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <regex>
#include <string>

#include "../file_io.h"
#include "config/settings.h"
#include "log/upload_log.h"
#include "release/release.h"
#include "util/util.h"

using namespace test_files;
namespace fs = std::filesystem;

// Opening a directory as a file: POSIX names the reason, Windows refuses access.
#ifdef _WIN32
constexpr int kDirectoryOpenErrno = EACCES;
#else
constexpr int kDirectoryOpenErrno = EISDIR;
#endif

// A unique directory holds Crevik.ini (root_) and the release (release_),
// which is the working directory and rel_'s directory while the test runs.
// rel_ (its log, .sfv lists and feed) and settings_ start afresh in every test.
class ReleaseDirTest : public ::testing::Test {
protected:
    void SetUp() override { UseRelease("Some.Release"); }
    void TearDown() override {
        if (!PlatChangeDir(oldCwd_.c_str())) ADD_FAILURE() << "cannot return to " << oldCwd_;
        fs::remove_all(root_);
        rel_.reset();
    }
    // Starts afresh with the release at root_/relative, e.g. "Some.Release/CD1".
    void UseRelease(const std::string& relative) {
        if (root_.empty()) {
            static unsigned counter = 0;
            oldCwd_ = fs::current_path().string();
            root_ = fs::path(::testing::TempDir()) /
                    ("crevik_test_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                     "_" + std::to_string(++counter));
            ASSERT_TRUE(fs::create_directory(root_));
        }
        release_ = (root_ / relative).make_preferred();  // one separator kind, as the server passes
        fs::create_directories(release_);
        ASSERT_TRUE(PlatChangeDir(release_.string().c_str()));
        DefaultSettings(&settings_);
        Settings("");
    }
    // Loads Crevik.ini with `ini` and starts the release afresh under it.
    void Settings(const std::string& ini) {
        WriteFile((root_ / "Crevik.ini").string(), ini);
        ASSERT_TRUE(LoadSettings((root_ / "Crevik.ini").string().c_str(), &settings_));
        NewRelease();
    }
    // A new run on the same release: nothing read yet. (Some tests make the
    // release's path too long for its log: that is theirs to check.)
    void NewRelease() {
        rel_.reset(new Release(settings_));
        NameRelease(*rel_, (release_.string() + kPathSep).c_str());
    }
    // The diagnostic log's messages, one per line, each checked for its time
    // stamp and CRLF end.
    std::string Diag() const {
        const std::string text = FileText((root_ / "Crevik.log").string());
        const std::regex stamped(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d ([^\r\n]*)\r\n)");
        const std::string messages = std::regex_replace(text, stamped, "$1\n");
        EXPECT_EQ(messages.find('\r'), std::string::npos) << "a line without its time stamp:\n" << text;
        return text == "<absent>" ? "" : messages;
    }
    ::UploadLog& RunLog() { return rel_->log; }
    const char* LogPath() const { return rel_->logPath; }
    const char* Dir() const { return rel_->dir; }

    std::string oldCwd_;
    ::Settings settings_;
    std::unique_ptr<Release> rel_;
    fs::path root_, release_;
};

#endif
