// One run on one release: its lock, its names, the working directory, the
// log read once and saved when changed. Event runs and operator commands
// enter a release through here alike.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "release/release.h"
#include "release/session.h"
#include "status/status.h"
#include "util/util.h"

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

Release::Release(const Settings& settings_)
    : settings(settings_), log(settings_), sfv(settings_), lock(nullptr), sharedLock(nullptr) {
    dir[0] = logPath[0] = workingDirBefore[0] = '\0';
}

PlatRunLock* AcquireRunLock(const char* dir) {
    char name[kMutexNameMax + 1];
    MakeMutexName(dir, name);
    return PlatAcquireRunLock(dir, name, kRunLockTimeoutMs);
}

bool NameRelease(Release& release, const char* dir) {
    release.dir[0] = release.logPath[0] = '\0';
    int dirLen = std::snprintf(release.dir, sizeof release.dir, "%s", dir);
    int logLen =
        std::snprintf(release.logPath, sizeof release.logPath, "%s%s", release.dir, release.settings.logFile);
    char parent[kMaxPath], dirname[kMaxPath], sub[kMaxPath];
    SplitReleasePath(release.settings, release.dir, parent, dirname, sub);
    FeedOpen(&release.feed, release.settings, release.dir, dirname, sub);
    return dirLen < kMaxPath && logLen < kMaxPath;
}

bool FullReleaseDir(const char* dir, char out[kMaxPath]) {
    char full[kMaxPath];
    if (!PlatFullDirPath(dir, full)) return false;
    size_t len = std::strlen(full);
    const char sep[2] = {len > 0 && (full[len - 1] == '/' || full[len - 1] == '\\') ? '\0' : kPathSep, '\0'};
    if (std::snprintf(out, kMaxPath, "%s%s", full, sep) >= kMaxPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool EnterRelease(Release& release, const char* dir) {
    if (!NameRelease(release, dir)) {
        errno = ENAMETOOLONG;
        return false;
    }
    // Where to come back to; a run that cannot tell (its directory is gone) stays.
    if (!PlatCurrentDir(release.workingDirBefore)) release.workingDirBefore[0] = '\0';
    errno = 0;
    double started = PlatClockMs();
    release.lock = AcquireRunLock(release.dir);
    if (!release.lock) {
        if (errno == 0) errno = ETIMEDOUT;
        return false;
    }
    if (release.settings.sharedLock) {  // within what is left of the wait
        double waited = PlatClockMs() - started;
        unsigned left = waited >= kRunLockTimeoutMs ? 1 : kRunLockTimeoutMs - static_cast<unsigned>(waited);
        release.sharedLock = AcquireSharedLock(release.settings, release.logPath, left);
        if (!release.sharedLock) {
            int error = errno;
            LeaveRelease(release);
            errno = error;
            return false;
        }
    }
    // Names are relative to the release directory from here on: a run that
    // cannot enter it must not act on another one.
    if (release.dir[0] && !PlatChangeDir(release.dir)) {
        int error = errno;
        LeaveRelease(release);
        errno = error;
        return false;
    }
    return true;
}

void LeaveRelease(Release& release) {
    if (!release.lock) return;
    if (release.workingDirBefore[0]) PlatChangeDir(release.workingDirBefore);
    PlatReleaseRunLock(release.sharedLock);
    PlatReleaseRunLock(release.lock);
    release.lock = release.sharedLock = nullptr;
}

bool ReadReleaseLog(Release& release) { return release.log.ReadLogFile(release.logPath); }

void CommitLog(Release& release) {
    if (release.log.modified) release.log.WriteLogFile();
}

