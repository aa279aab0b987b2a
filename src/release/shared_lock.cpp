// LOCK=shared: runs of several hosts on one release, each host running its
// own server hook or watcher on a shared file system. A directory lock is
// only the local kernel's, so the release's lock is then also a lock file
// beside the upload log, which the file system holds for every client. It is
// taken inside the local lock: one run per host waits for the other hosts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "log/upload_log.h"
#include "release/session.h"

PlatRunLock* AcquireSharedLock(const Settings& settings, const char* logPath, unsigned timeoutMs) {
    char path[kMaxPath];
    if (std::snprintf(path, sizeof path, "%s%s", logPath, kLockSuffix) >= kMaxPath) {
        WriteDiagLog(settings, "Lock %s%s: path too long - run dropped", logPath, kLockSuffix);
        errno = ENAMETOOLONG;
        return nullptr;
    }
    PlatRunLock* lock = PlatAcquireFileLock(path, timeoutMs);
    if (lock) return lock;
    int error = errno;
    WriteDiagLog(settings, "Lock %s: %s - run dropped", path, std::strerror(error));
    errno = error;
    return nullptr;
}
