// Shared helpers for unit tests that work on real files: scratch directory
// trees, whole-file reads and writes, directory listings. Built only on the
// C library, std::filesystem and the platform layer, so they run on every
// target (the Windows leg runs them under Wine).
#ifndef CREVIK_TEST_SUPPORT_H
#define CREVIK_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "main/run_state.h"
#include "platform/platform.h"
#include "util/util.h"

namespace test_support {

// `dir` and `name` joined with one separator.
inline std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir[dir.size() - 1];
    if (last == '/' || last == '\\') return dir + name;
    return dir + kPathSep + name;
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The whole file, or false when it cannot be opened.
inline bool ReadFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    if (!PlatFileReadable(path.c_str())) return false;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->append(buf, got);
    std::fclose(f);
    return true;
}

// The file's contents, or "<absent>" when there is no readable file.
inline std::string FileText(const std::string& path) {
    std::string bytes;
    return ReadFile(path, &bytes) ? bytes : std::string("<absent>");
}

inline bool IsFile(const std::string& path) { return PlatFileReadable(path.c_str()); }
inline bool Exists(const std::string& path) { return PlatPathExists(path.c_str()); }

// Names in `dir` (sorted case-insensitively, as the search returns them);
// directories carry a trailing '/'.
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

// Deletes `path` and everything below it; a missing path is no error.
inline void RemoveTree(const std::string& path) {
    for (const std::string& name : ListDir(path)) {
        if (name[name.size() - 1] == '/')
            RemoveTree(JoinPath(path, name.substr(0, name.size() - 1)));
        else
            PlatDeleteFile(JoinPath(path, name).c_str());
    }
    if (!PlatRemoveDir(path.c_str())) PlatDeleteFile(path.c_str());
}

// A fresh, empty directory under the test temporary directory, removed with
// everything in it when the object goes. path() has no trailing separator.
class ScratchDir {
public:
    explicit ScratchDir(const char* prefix = "crevik_test") {
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
            std::string candidate = JoinPath(::testing::TempDir(), std::string(prefix) + "_" +
                                                                       std::to_string(stamp) + "_" +
                                                                       std::to_string(++counter));
            if (PlatCreateDir(candidate.c_str())) path_ = candidate;
        }
        EXPECT_FALSE(path_.empty()) << "cannot create a scratch directory";
    }
    ~ScratchDir() {
        if (!path_.empty()) RemoveTree(path_);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return JoinPath(path_, name); }

private:
    std::string path_;
};

}  // namespace test_support

// Release-directory tests: a unique directory under the test temporary directory holds
// Crevik.ini (root_) and the release directory (release_), which is the
// working directory and ReleaseDir while the test runs. theLog and theConfig
// start empty in every test.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

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
            for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
                auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
                std::string candidate = test_support::JoinPath(
                    ::testing::TempDir(), "crevik_test_" + std::to_string(stamp) + "_" + std::to_string(++counter));
                if (PlatCreateDir(candidate.c_str())) root_ = candidate;
            }
            ASSERT_FALSE(root_.empty()) << "cannot create a scratch directory";
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
        WriteWholeFile(root_ / "Crevik.ini", ini);
        ASSERT_TRUE(theConfig.Load((root_ / "Crevik.ini").string().c_str()));
    }
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
