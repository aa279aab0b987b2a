#include "main/startup.h"

#include <cstdio>
#include <cstring>

#include "config/ini_config.h"
#include "main/handlers.h"
#include "main/run_state.h"
#include "release/release.h"
#include "sfv/sfv.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

PlatRunLock* RunMutex;

const char* Arg(int n) { return ArgTable[n]; }

// No server verifies the zips of a zip release: their words do what upload and delete do.
bool ZipOfZipRelease() { return IsZipName(EventFileName) && HoldsZipRelease(ReleaseDir); }

struct EventRoute {
    const char* word;
    int minWords;
    void (*run)();
};

const EventRoute kRoutes[] = {
    {"fileuploaded", 7,
     [] { ZipOfZipRelease() ? OnUpload(Arg(3), Arg(4), Arg(5)) : OnFileUploaded(Arg(3), Arg(4), Arg(5), Arg(6)); }},
    {"filedeleted", 3, [] { ZipOfZipRelease() ? OnDelete() : OnFileDeleted(); }},
    {"sfvsuccess", 9, [] { OnSfvSuccess(Arg(3), Arg(4), Arg(5), Arg(6), Arg(7), Arg(8)); }},
    {"sfvuploaded", 5, [] { OnSfvUploaded(Arg(3), Arg(4)); }},
    {"sfvfailed", 7, [] { OnSfvFailed(Arg(3), Arg(4), Arg(5), Arg(6)); }},
    {"sfvcomplete", 3, [] { OnSfvComplete(); }},
    {"upload", 5, [] { OnUpload(Arg(3), Arg(4), ArgCount > 5 ? Arg(5) : nullptr); }},
    {"delete", 3, [] { OnDelete(); }},
};

void LowerCase(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text + 32);
}

}  // namespace

void MakeMutexName(const char* path, char out[kMutexNameMax + 1]) {
    char name[kMaxPath + 8];
    size_t len = 0;
    if (*path) ++path;
    for (; *path && len < kMaxPath; ++path)
        if (*path != '\\' && *path != '/') name[len++] = *path;
    std::memcpy(name + len, "_MUTEX", 7);
    len += 6;
    // Over-long names keep their end, where the release's own name is.
    const char* start = len > static_cast<size_t>(kMutexNameMax) ? name + len - kMutexNameMax : name;
    std::strcpy(out, start);
}

bool AcquireRunMutex(const char* path) {
    char name[kMutexNameMax + 1];
    MakeMutexName(path, name);
    RunMutex = PlatAcquireRunLock(path, name, kRunLockTimeoutMs);
    return RunMutex != nullptr;
}

void ReleaseRunMutex() {
    PlatReleaseRunLock(RunMutex);
    RunMutex = nullptr;
}

void DispatchEvent(const char* word) {
    for (const EventRoute& route : kRoutes) {
        if (std::strcmp(word, route.word) != 0) continue;
        if (ArgCount >= route.minWords) route.run();
        return;
    }
}

int CrevikMain() {
    if (ArgCount < 3) return 0;
    GetDirPart(ArgTable[2], ReleaseDir);
    GetNamePart(ArgTable[2], EventFileName);
    // A path cut anywhere, in its word or in its parts, names another file in
    // another directory: not ours to touch.
    if (ArgWasCut[2] || std::strlen(ReleaseDir) + std::strlen(EventFileName) != std::strlen(ArgTable[2])) return 0;
    if (!AcquireRunMutex(ReleaseDir)) return 0;

    LoadProgramConfig(ArgTable[0]);

    int logPathLength = std::snprintf(UploadLogPath, sizeof UploadLogPath, "%s%s", ReleaseDir,
                                      theConfig.GetString("GENERAL", "LOGFILE", kDefaultLogName));
    // Names are relative to the release directory from here on: a run that
    // cannot enter it must not act on another one, nor on a cut log path.
    bool logPathFits = logPathLength < kMaxPath;
    if (logPathFits && (PlatChangeDir(ReleaseDir) || !ReleaseDir[0])) {
        LowerCase(ArgTable[1]);
        DispatchEvent(ArgTable[1]);
    }
    ReleaseRunMutex();
    return 0;
}
