// Scaffolding shared by the fuzz targets: one scratch directory per process
// (the working directory once made), input files and the default settings.
#ifndef CREVIK_FUZZ_SUPPORT_H
#define CREVIK_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "../file_io.h"
#include "config/settings.h"
#include "log/upload_log.h"

// abort() rather than return, so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(cond) \
    ((cond) ? (void)0 : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), std::abort()))

namespace fuzz {

// Ends in '/'. Under /dev/shm when there is one: a file per input is cheap there.
inline const char* ScratchDir() {
    static char dir[512];
    if (dir[0]) return dir;
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::snprintf(dir, sizeof dir - 1, "%s/crevik_fuzz_XXXXXX", base);
    FUZZ_CHECK(mkdtemp(dir) && chdir(dir) == 0);
    std::atexit([] { std::error_code ignored; std::filesystem::remove_all(dir, ignored); });
    return std::strcat(dir, "/");
}

// Writes the input as `name` in the scratch directory.
inline void Put(const char* name, const uint8_t* data, size_t size) {
    ScratchDir();
    FUZZ_CHECK(test_files::WriteFile(name, std::string(reinterpret_cast<const char*>(data), size)));
}

// The settings of a run without a Crevik.ini.
inline const Settings& DefaultRunSettings() {
    static Settings settings;
    static bool made = (DefaultSettings(&settings), true);
    (void)made;
    return settings;
}

}  // namespace fuzz

#endif
