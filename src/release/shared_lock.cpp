// GENERAL/LOCK=shared: runs of several hosts on one release, each host
// running its own server hook or watcher on a shared file system. A
// directory lock is only the local kernel's, so the release's lock is then
// also a lock file beside the upload log, which the file system holds for
// every client. It is taken inside the local lock: one run per host waits
// for the other hosts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "release/release.h"
#include "util/util.h"

namespace {

PlatRunLock* held;

bool EndsWithAt(const char* name, size_t at, const char* suffix) { return std::strcmp(name + at, suffix) == 0; }

}  // namespace

bool AcquireSharedLock(const char* uploadLogPath, unsigned timeoutMs) {
    if (!theConfig.LockIsShared()) return true;
    char path[kMaxPath];
    if (std::snprintf(path, sizeof path, "%s%s", uploadLogPath, kLockSuffix) >= kMaxPath) {
        WriteDiagLog(theConfig, "Lock %s%s: path too long - run dropped", uploadLogPath, kLockSuffix);
        errno = ENAMETOOLONG;
        return false;
    }
    held = PlatAcquireFileLock(path, timeoutMs);
    if (held) return true;
    int error = errno;
    WriteDiagLog(theConfig, "Lock %s: %s - run dropped", path, std::strerror(error));
    errno = error;
    return false;
}

void ReleaseSharedLock() {
    PlatReleaseRunLock(held);
    held = nullptr;
}

bool IsUploadLogName(const char* name) {
    const char* log = theConfig.GetString("GENERAL", "LOGFILE", kDefaultLogName);
    size_t len = std::strlen(log);
    if (std::strncmp(name, log, len) != 0) return false;
    return name[len] == '\0' || EndsWithAt(name, len, kLogTempSuffix) || EndsWithAt(name, len, kLockSuffix);
}
