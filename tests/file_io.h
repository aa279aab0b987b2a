// Whole-file reads and writes shared by the unit, end-to-end and fuzz tests.
#ifndef CREVIK_TEST_FILE_IO_H
#define CREVIK_TEST_FILE_IO_H

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace test_files {

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

}  // namespace test_files

#endif
