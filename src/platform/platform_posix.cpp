// POSIX implementation of the platform layer.
#include "platform/platform_internal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <setjmp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

void CopyPath(char out[kMaxPath], const char* text, size_t len) {
    if (len >= static_cast<size_t>(kMaxPath)) len = kMaxPath - 1;
    std::memcpy(out, text, len);
    out[len] = '\0';
}

PlatEntryKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return PlatEntryKind::File;
    if (S_ISDIR(mode)) return PlatEntryKind::Dir;
    if (S_ISLNK(mode)) return PlatEntryKind::Link;
    return PlatEntryKind::Other;
}

// A listing's entry type, which spares a look-up per entry; DT_UNKNOWN asks for one.
PlatEntryKind KindOfType(unsigned char type) {
    switch (type) {
    case DT_REG: return PlatEntryKind::File;
    case DT_DIR: return PlatEntryKind::Dir;
    case DT_LNK: return PlatEntryKind::Link;
    case DT_UNKNOWN: return PlatEntryKind::None;
    default: return PlatEntryKind::Other;
    }
}

// A file handle is the descriptor itself, offset so that 0 stays valid.
PlatFile* FromFd(int fd) { return reinterpret_cast<PlatFile*>(static_cast<intptr_t>(fd) + 1); }
int ToFd(PlatFile* file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }

// Opens a regular file read-only; FIFOs, devices and directories are refused
// so that no caller can block on them or read a directory as data.
int OpenRegularForRead(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int err = errno;
        close(fd);
        errno = err;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

// Gives what was just created the group of its directory, and group read and
// write where the directory is group-writable: the next run may be another
// FTP user's. Failures leave the umask's result, as before.
void ShareLikeDirectory(int fd, const char* path) {
    char dir[kMaxPath];
    const char* slash = std::strrchr(path, '/');
    if (slash)
        CopyPath(dir, path, static_cast<size_t>(slash - path) + 1);
    else
        std::strcpy(dir, ".");
    struct stat parent, created;
    if (stat(dir, &parent) != 0 || fstat(fd, &created) != 0) return;
    if (created.st_gid != parent.st_gid && fchown(fd, static_cast<uid_t>(-1), parent.st_gid) != 0) {
        // Not a member of that group: group write would serve the wrong group.
    }
    if (!(parent.st_mode & S_IWGRP)) return;
    mode_t wanted = (created.st_mode & 07777) | S_IRGRP | S_IWGRP | (S_ISDIR(created.st_mode) ? S_IXGRP : 0);
    if (wanted != (created.st_mode & 07777)) fchmod(fd, wanted);
}

// A new file in place of whatever entry had the name: a link or a file
// someone else linked here is replaced, never written through. The name is
// mostly free, so the create comes first (one round trip less on a network
// file system) and the unlink only when it was taken.
constexpr int kFreshFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

int CreateFresh(const char* path) {
    int fd = open(path, kFreshFlags, 0666);
    if (fd < 0 && errno == EEXIST) {
        if (unlink(path) != 0 && errno != ENOENT) return -1;
        fd = open(path, kFreshFlags, 0666);
    }
    if (fd >= 0) ShareLikeDirectory(fd, path);
    return fd;
}

}  // namespace

// ---- program location -------------------------------------------------------

void PlatProgramDir(const char* word0, char out[kMaxPath]) {
    const char* slash = std::strrchr(word0, '/');
    if (slash) {
        CopyPath(out, word0, static_cast<size_t>(slash - word0) + 1);
        return;
    }
    out[0] = '\0';
    // A bare name: the path the kernel started the program by (right inside a
    // chroot, where there is no /proc), else the executable's own path.
    const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    char exe[kMaxPath * 4];
    if (!started || !std::strchr(started, '/')) {
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return;
        exe[n] = '\0';
        started = exe;
    }
    slash = std::strrchr(started, '/');
    if (slash && slash - started + 1 < kMaxPath) CopyPath(out, started, static_cast<size_t>(slash - started) + 1);
}

// ---- run lock -----------------------------------------------------------------
// A flock on the release directory itself, opened read-only: no lock file
// anywhere, so a chroot without /tmp works, and every spelling of the
// directory is one lock. The kernel drops the lock when its holder dies, as
// Windows abandons a mutex.

struct PlatRunLock {
    int fd;
};

namespace {

void OnAlarm(int) {}

double NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Blocks in flock, woken by a repeating timer so that the deadline is kept
// even when the first signal arrives before the call starts waiting.
bool WaitForLock(int fd, unsigned timeoutMs) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK || timeoutMs == 0) return false;

    struct sigaction wake = {}, previous = {};
    wake.sa_handler = OnAlarm;
    sigemptyset(&wake.sa_mask);
    sigaction(SIGALRM, &wake, &previous);
    struct itimerval tick = {}, previousTick = {};
    tick.it_value.tv_usec = 20000;
    tick.it_interval.tv_usec = 20000;
    setitimer(ITIMER_REAL, &tick, &previousTick);

    double deadline = NowMs() + timeoutMs;
    bool locked = false;
    for (;;) {
        if (flock(fd, LOCK_EX) == 0) {
            locked = true;
            break;
        }
        if (errno != EINTR) break;
        if (NowMs() >= deadline) {
            errno = ETIMEDOUT;
            break;
        }
    }
    int error = errno;
    setitimer(ITIMER_REAL, &previousTick, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    errno = error;
    return locked;
}

PlatRunLock* LockOpened(int fd, unsigned timeoutMs) {
    if (fd < 0) return nullptr;
    if (!WaitForLock(fd, timeoutMs)) {
        int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    PlatRunLock* lock = new (std::nothrow) PlatRunLock{fd};
    if (!lock) close(fd);
    return lock;
}

// The lock file as it is, else a new one; a name taken between the two
// opens is opened again. A symbolic link planted under the name is replaced:
// no run ever locked through it. Read-only is enough for flock, so a user
// outside the file's group can still take the lock; O_NONBLOCK keeps a FIFO
// planted under the name from blocking the run.
int OpenLockFile(const char* path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ELOOP && unlink(path) == 0) continue;
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = open(path, O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd >= 0) ShareLikeDirectory(fd, path);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

PlatRunLock* PlatAcquireRunLock(const char* directory, const char*, unsigned timeoutMs) {
    return LockOpened(open(*directory ? directory : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC), timeoutMs);
}

// flock, not fcntl: GlusterFS's FUSE client shares both across mounts, and
// flock is the directory lock's own call; the kernel drops it when the
// holder dies.
PlatRunLock* PlatAcquireFileLock(const char* path, unsigned timeoutMs) {
    return LockOpened(OpenLockFile(path), timeoutMs);
}

void PlatReleaseRunLock(PlatRunLock* lock) {
    if (!lock) return;
    flock(lock->fd, LOCK_UN);
    close(lock->fd);
    delete lock;
}

// ---- working directory ----------------------------------------------------------

bool PlatChangeDir(const char* path) { return chdir(path) == 0; }

bool PlatCurrentDir(char out[kMaxPath]) { return getcwd(out, kMaxPath) != nullptr; }

bool PlatFullDirPath(const char* path, char out[kMaxPath]) {
    char* full = realpath(path, nullptr);
    if (!full) return false;
    struct stat st;
    bool ok = stat(full, &st) == 0 && S_ISDIR(st.st_mode);
    if (!ok) errno = ENOTDIR;
    if (ok && std::strlen(full) >= static_cast<size_t>(kMaxPath)) {
        ok = false;
        errno = ENAMETOOLONG;
    }
    if (ok) std::strcpy(out, full);
    std::free(full);
    return ok;
}

// ---- directory search ---------------------------------------------------------------

PlatFind* PlatFindFirst(const char* pattern, PlatFindEntry* first, PlatSubdirNames* subdirs) {
    char dir[kMaxPath];
    const char* last;
    PlatSplitPattern(pattern, dir, &last);
    if (subdirs) *subdirs = PlatSubdirNames{};
    if (!*last) return nullptr;

    DIR* d = opendir(*dir ? dir : ".");
    if (!d) return nullptr;
    PlatFind* find = new (std::nothrow) PlatFind{{}, 0, {}};
    if (!find) {
        closedir(d);
        return nullptr;
    }
    bool typesKnown = true;
    while (struct dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (e->d_type == DT_UNKNOWN) typesKnown = false;
        if (subdirs && e->d_type == DT_DIR) subdirs->names.append(e->d_name, std::strlen(e->d_name) + 1);
        if (std::strlen(e->d_name) >= static_cast<size_t>(kMaxPath)) continue;
        if (!PlatWildcardMatch(last, e->d_name)) continue;
        PlatFindEntry entry;
        std::strcpy(entry.name, e->d_name);
        entry.kind = KindOfType(e->d_type);
        struct stat st;
        if (e->d_type == DT_UNKNOWN)
            entry.kind = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? KindOfMode(st.st_mode) : PlatEntryKind::None;
        // A link is never a directory here: removing an entry must not reach through it.
        entry.isDir = entry.kind == PlatEntryKind::Dir;
        find->matches.push_back(entry);
    }
    closedir(d);
    if (subdirs) subdirs->complete = typesKnown;
    return PlatFinishFind(find, first);
}

// ---- sub-directories without a listing ----------------------------------------------

namespace {
constexpr const char* kDirNoteName = "user.crevik.subdirs";
}

long PlatSubdirCount(const char* dir) {
    struct stat st;
    // A directory's links are its entry, its "." and each sub-directory's "..".
    if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_nlink < 2) return -1;
    return static_cast<long>(st.st_nlink - 2);
}

bool PlatDirEntryId(const char* path, PlatEntryId* id) {
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    *id = PlatEntryId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return true;
}

bool PlatReadDirNote(const char* dir, char note[kDirNoteMax], size_t* len) {
    ssize_t got = getxattr(dir, kDirNoteName, note, kDirNoteMax);
    if (got < 0) return false;
    *len = static_cast<size_t>(got);
    return true;
}

bool PlatWriteDirNote(const char* dir, const char* note, size_t len) {
    if (len == 0) return removexattr(dir, kDirNoteName) == 0 || errno == ENODATA;
    if (len > kDirNoteMax) {
        errno = E2BIG;
        return false;
    }
    return setxattr(dir, kDirNoteName, note, len, 0) == 0;
}

// ---- entries ------------------------------------------------------------------------

bool PlatPathExists(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

bool PlatFileReadable(const char* path) {
    int fd = OpenRegularForRead(path);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool PlatCreateDir(const char* path) {
    if (mkdir(path, 0777) != 0) return false;
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ShareLikeDirectory(fd, path);
        close(fd);
    }
    return true;
}

bool PlatRemoveDir(const char* path) { return rmdir(path) == 0; }

bool PlatDeleteFile(const char* path) {
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return unlink(path) == 0;
}

bool PlatRename(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: check, then rename.
    if (PlatPathExists(to)) {
        errno = EEXIST;
        return false;
    }
    return rename(from, to) == 0;
}

bool PlatReplaceFile(const char* from, const char* to) {
    if (PlatTakeFault(PlatFault::Replace)) return false;
    return rename(from, to) == 0;
}

bool PlatCreateEmptyFile(const char* path) {
    int fd = open(path, kFreshFlags, 0666);
    if (fd >= 0) {
        ShareLikeDirectory(fd, path);
    } else {
        // An empty file of its own is what is asked for: it stays, so that
        // settling a release's markers on every run changes no directory.
        struct stat st;
        if (errno == EEXIST && lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0 && st.st_nlink == 1)
            return true;
        fd = CreateFresh(path);
        if (fd < 0) return false;
    }
    close(fd);
    return true;
}

bool PlatCreateDirLink(const char* path, const char* target) { return symlink(target, path) == 0; }

void PlatSetHidden(const char*, bool) {}  // the leading dot already hides the upload log

// ---- file contents -----------------------------------------------------------------

PlatFile* PlatOpenSequential(const char* path) {
    int fd = OpenRegularForRead(path);
    if (fd < 0) return nullptr;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return FromFd(fd);
}

PlatFile* PlatCreateTruncate(const char* path) {
    if (PlatTakeFault(PlatFault::CreateTruncate)) return nullptr;
    int fd = CreateFresh(path);
    return fd < 0 ? nullptr : FromFd(fd);
}

PlatFile* PlatOpenRead(const char* path) {
    if (PlatTakeFault(PlatFault::OpenRead)) return nullptr;
    int fd = OpenRegularForRead(path);
    return fd < 0 ? nullptr : FromFd(fd);
}

bool PlatStatFile(const char* path, PlatFileInfo* info) {
    struct statx st;
    if (statx(AT_FDCWD, path, 0, STATX_TYPE | STATX_SIZE | STATX_BTIME | STATX_MTIME | STATX_ATIME, &st) != 0)
        return false;
    if (!S_ISREG(st.stx_mode)) {
        errno = S_ISDIR(st.stx_mode) ? EISDIR : EINVAL;
        return false;
    }
    info->bytes = st.stx_size;
    // Without a birth time (GlusterFS, NFS) the last access stands in: a
    // file's creation sets it, its writes and renames leave it alone.
    bool birth = (st.stx_mask & STATX_BTIME) != 0;
    const struct statx_timestamp& start = birth ? st.stx_btime : st.stx_atime;
    info->hasBirth = birth || (st.stx_mask & STATX_ATIME) != 0;
    info->birthSeconds = info->hasBirth ? static_cast<double>(start.tv_sec) + start.tv_nsec / 1e9 : 0;
    info->modifiedSeconds = static_cast<double>(st.stx_mtime.tv_sec) + st.stx_mtime.tv_nsec / 1e9;
    return true;
}

long PlatRead(PlatFile* file, void* buf, size_t len) {
    for (;;) {
        ssize_t n = read(ToFd(file), buf, len);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

bool PlatSeek(PlatFile* file, uint64_t offset) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) {
        errno = EINVAL;
        return false;
    }
    return lseek(ToFd(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

namespace {

constexpr size_t kMapWindow = size_t(16) << 20;  // mapped at a time: the resident pages of one scan stay few

// A truncation behind a mapping turns the reading of its lost pages into
// SIGBUS; the thread that reads them jumps back to its scan instead.
thread_local sigjmp_buf* scanJump;

void OnBusError(int signal) {
    if (scanJump) siglongjmp(*scanJump, 1);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool ScanGuarded(const void* view, size_t len, PlatScanFn scan, void* context) {
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0) {
        scanJump = nullptr;
        return false;
    }
    scanJump = &jump;
    scan(context, view, len);
    scanJump = nullptr;
    return true;
}

}  // namespace

bool PlatScanMapped(PlatFile* file, uint64_t minBytes, PlatScanFn scan, void* context) {
    struct stat st;
    int fd = ToFd(file);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) < minBytes) return false;
    static const bool guarded = [] {
        struct sigaction action = {};
        action.sa_handler = OnBusError;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, nullptr) == 0;
    }();
    if (!guarded) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    for (uint64_t offset = 0; offset < size; offset += kMapWindow) {
        size_t len = static_cast<size_t>(std::min<uint64_t>(kMapWindow, size - offset));
        void* view = mmap(nullptr, len, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, static_cast<off_t>(offset));
        if (view == MAP_FAILED) return false;
        bool whole = ScanGuarded(view, len, scan, context);
        munmap(view, len);
        if (!whole) return false;
    }
    return true;
}

bool PlatWrite(PlatFile* file, const void* buf, size_t len) {
    if (PlatTakeFault(PlatFault::Write)) return false;
    const char* p = static_cast<const char*>(buf);
    while (len > 0) {
        ssize_t n = write(ToFd(file), p, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool PlatClose(PlatFile* file) {
    if (!file) return false;
    int fd = ToFd(file);
    if (PlatTakeFault(PlatFault::Close)) {
        int err = errno;
        close(fd);
        errno = err;
        return false;
    }
    return close(fd) == 0;
}

namespace {

bool Append(const char* path, const void* data, size_t len, unsigned lockTimeoutMs) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    // Created here like every other file (a feed renamed away comes back
    // writable for the group); a rival creating it first wins.
    for (int tries = 0; fd < 0 && errno == ENOENT && tries < 3; ++tries) {
        fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            ShareLikeDirectory(fd, path);
        else if (errno == EEXIST)
            fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0) return false;
    // The close lets the lock go only after the client has sent the line.
    if (lockTimeoutMs > 0 && !WaitForLock(fd, lockTimeoutMs)) {
        int err = errno;
        close(fd);
        errno = err;
        return false;
    }
    ssize_t n;
    do n = write(fd, data, len);
    while (n < 0 && errno == EINTR);
    int err = n < 0 ? errno : ENOSPC;  // a short write means the disk or a limit was full
    close(fd);
    if (n == static_cast<ssize_t>(len)) return true;
    errno = err;
    return false;
}

}  // namespace

bool PlatAppendOnce(const char* path, const void* data, size_t len) { return Append(path, data, len, 0); }

bool PlatAppendLocked(const char* path, const void* data, size_t len, unsigned timeoutMs) {
    return Append(path, data, len, timeoutMs);
}

// ---- for operator commands ----------------------------------------------------------

PlatEntryKind PlatEntryKindOf(const char* path) {
    struct stat st;
    return lstat(path, &st) == 0 ? KindOfMode(st.st_mode) : PlatEntryKind::None;
}

bool PlatStderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

double PlatClockMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// ---- time -------------------------------------------------------------------------

double PlatWallSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

PlatLocalTime PlatNow() {
    time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    return PlatLocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec, static_cast<int>(local.tm_gmtoff / 60)};
}
