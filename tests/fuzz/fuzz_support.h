// Scaffolding shared by the fuzz targets: one scratch directory per process
// (the working directory once made), whole-file helpers and a fresh theLog.
#ifndef CREVIK_FUZZ_SUPPORT_H
#define CREVIK_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "../file_io.h"
#include "log/orvex_log.h"

// abort() rather than return, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// Ends in '/'. Under /dev/shm when there is one: a file per input is cheap there.
inline const char* ScratchDir() {
    static char dir[512];
    if (dir[0]) return dir;
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(dir, sizeof dir - 1, "%s/crevik_fuzz_XXXXXX", base);
    if (!mkdtemp(dir) || chdir(dir) != 0) {
        std::perror(dir);
        std::abort();
    }
    std::atexit([] { std::error_code ignored; std::filesystem::remove_all(dir, ignored); });
    return std::strcat(dir, "/");
}

inline void WriteFile(const char* name, const void* data, size_t size) {
    ScratchDir();
    FUZZ_CHECK(test_files::WriteFile(name, std::string(static_cast<const char*>(data), size)));
}

// As a new run finds it: no tables loaded.
inline void ResetLog() {
    theLog.~OrvexLog();
    new (&theLog) OrvexLog();
}

}  // namespace fuzz

#endif
