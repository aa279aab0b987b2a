// Whole files and directory listings for the unit, end-to-end and fuzz tests.
#ifndef CREVIK_TEST_FILE_IO_H
#define CREVIK_TEST_FILE_IO_H

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace test_files {

using Words = std::vector<std::string>;

inline bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// The file's contents, or "<absent>" when there is no readable file (a
// directory included, which POSIX would open).
inline std::string FileText(const std::string& path) {
    FILE* f = PlatFileReadable(path.c_str()) ? std::fopen(path.c_str(), "rb") : nullptr;
    if (!f) return "<absent>";
    std::string bytes;
    char buf[4096];
    for (size_t got; (got = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, got);
    std::fclose(f);
    return bytes;
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Entry names of a directory, sorted, one per line; directories end in '/'.
inline std::string Joined(const Words& names) {
    std::string out;
    for (const std::string& n : names) out += n + "\n";
    return out;
}
inline Words List(const std::string& dir) {
    Words names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string() + (e.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}
inline std::string Tree(const std::string& dir) { return Joined(List(dir)); }

}  // namespace test_files

// Expects exactly these entries in a directory (gtest).
#define EXPECT_TREE(dir, ...) EXPECT_EQ(test_files::Tree(dir), test_files::Joined(test_files::Words{__VA_ARGS__}))

#endif
