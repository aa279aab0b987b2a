// Entering one release after another in one process, as the operator
// commands do; an event run enters its one release in the start-up.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/ini_config.h"
#include "main/run_state.h"
#include "main/startup.h"
#include "release/release.h"
#include "util/util.h"

namespace {
char workingDirBefore[kMaxPath];
}  // namespace

void LoadProgramConfig(const char* word0) {
    char programDir[kMaxPath];
    char configPath[kMaxPath];
    PlatProgramDir(word0, programDir);
    std::snprintf(configPath, sizeof configPath, "%s%cCrevik.ini", programDir, kPathSep);
    theConfig.Load(configPath);
}

bool EnterRelease(const char* dir) {
    theLog.Reset();
    ReleaseDir[0] = EventFileName[0] = UploadLogPath[0] = '\0';
    char full[kMaxPath];
    if (!PlatFullDirPath(dir, full)) return false;
    size_t len = std::strlen(full);
    const char sep[2] = {len > 0 && (full[len - 1] == '/' || full[len - 1] == '\\') ? '\0' : kPathSep, '\0'};
    int dirLen = std::snprintf(ReleaseDir, sizeof ReleaseDir, "%s%s", full, sep);
    int logLen = std::snprintf(UploadLogPath, sizeof UploadLogPath, "%s%s", ReleaseDir,
                               theConfig.GetString("GENERAL", "LOGFILE", kDefaultLogName));
    if (dirLen >= kMaxPath || logLen >= kMaxPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    if (!PlatCurrentDir(workingDirBefore)) return false;
    if (!AcquireRunMutex(ReleaseDir)) {
        if (errno == 0) errno = ETIMEDOUT;
        return false;
    }
    if (!AcquireSharedLock(UploadLogPath, kRunLockTimeoutMs) || !PlatChangeDir(ReleaseDir)) {
        int error = errno;
        ReleaseSharedLock();
        ReleaseRunMutex();
        errno = error;
        return false;
    }
    return true;
}

void LeaveRelease() {
    PlatChangeDir(workingDirBefore);
    ReleaseSharedLock();
    ReleaseRunMutex();
    theLog.Reset();
}
