// Win32 implementation of the platform layer.
#include "platform/platform_internal.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include <fcntl.h>
#include <windows.h>

namespace {

// The C runtime's text mode turns "\n" into "\r\n" on write and stops
// reading at Ctrl-Z; files must hold the same bytes as on POSIX, so every
// stdio stream opened without an explicit mode is binary.
[[maybe_unused]] const bool binaryStdio = (_fmode = _O_BINARY, true);

void SetErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        errno = ENOENT;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        errno = EACCES;
        break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_DIR_NOT_EMPTY:
        errno = ENOTEMPTY;
        break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        errno = EINVAL;
        break;
    case ERROR_FILENAME_EXCED_RANGE:
        errno = ENAMETOOLONG;
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        errno = ENOMEM;
        break;
    default:
        errno = EIO;
        break;
    }
}

// Keeps errno from the Win32 error of the call that just failed.
template <typename T> T Failed(T result) {
    SetErrnoFromLastError();
    return result;
}

PlatEntryKind KindOfAttributes(DWORD attrs) {
    if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) return PlatEntryKind::Link;
    if (attrs & FILE_ATTRIBUTE_DIRECTORY) return PlatEntryKind::Dir;
    if (attrs & FILE_ATTRIBUTE_DEVICE) return PlatEntryKind::Other;
    return PlatEntryKind::File;
}

void CopyPath(char out[kMaxPath], const char* text, size_t len) {
    if (len >= static_cast<size_t>(kMaxPath)) len = kMaxPath - 1;
    std::memcpy(out, text, len);
    out[len] = '\0';
}

PlatFile* FromHandle(HANDLE h) { return reinterpret_cast<PlatFile*>(h); }
HANDLE ToHandle(PlatFile* file) { return reinterpret_cast<HANDLE>(file); }

bool IsDirectory(const char* path) {
    DWORD attrs = GetFileAttributesA(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens an existing file for reading. Device names such as CON or NUL open
// as devices anywhere: refuse them, as POSIX refuses anything but a regular
// file, so no caller can block on one. A directory does not open at all
// without backup semantics.
HANDLE OpenDiskFileForRead(const char* path, DWORD share, DWORD flags) {
    HANDLE h = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(INVALID_HANDLE_VALUE);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        errno = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

}  // namespace

// ---- program location -------------------------------------------------------

void PlatProgramDir(const char* word0, char out[kMaxPath]) {
    // Drive and directory of word 0, as GetDirPart cuts them; "" when it has
    // neither, so that the configuration is looked for in the drive's root.
    size_t cut = (word0[0] && word0[1] == ':') ? 2 : 0;
    for (size_t i = cut; word0[i]; ++i)
        if (word0[i] == '\\' || word0[i] == '/') cut = i + 1;
    CopyPath(out, word0, cut);
}

// ---- run lock -----------------------------------------------------------------
// A named kernel mutex: a holder that dies leaves it abandoned, and the
// next waiter owns it at once.

struct PlatRunLock {
    HANDLE mutex;
    HANDLE file;  // a locked file instead, which SMB shares lock for every client
};

PlatRunLock* PlatAcquireRunLock(const char*, const char* name, unsigned timeoutMs) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    if (!mutex) return Failed(nullptr);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        DWORD waited = WaitForSingleObject(mutex, timeoutMs);
        if (waited == WAIT_TIMEOUT || waited == WAIT_FAILED) {
            if (waited == WAIT_FAILED) SetErrnoFromLastError();
            else errno = ETIMEDOUT;
            CloseHandle(mutex);
            return nullptr;
        }
    }
    PlatRunLock* lock = new (std::nothrow) PlatRunLock{mutex, INVALID_HANDLE_VALUE};
    if (!lock) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return lock;
}

// A byte-range lock on the file's first byte, tried every 20 ms: the wait
// keeps its deadline without an overlapped handle. Windows frees the range
// when its holder's process ends.
PlatRunLock* PlatAcquireFileLock(const char* path, unsigned timeoutMs) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(nullptr);
    DWORD start = GetTickCount();
    for (;;) {
        OVERLAPPED at = {};
        if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) break;
        bool busy = GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING;
        if (!busy || GetTickCount() - start >= timeoutMs) {
            if (busy) errno = ETIMEDOUT;
            else SetErrnoFromLastError();
            int err = errno;
            CloseHandle(h);
            errno = err;
            return nullptr;
        }
        Sleep(20);
    }
    PlatRunLock* lock = new (std::nothrow) PlatRunLock{nullptr, h};
    if (!lock) CloseHandle(h);
    return lock;
}

void PlatReleaseRunLock(PlatRunLock* lock) {
    if (!lock) return;
    if (lock->file != INVALID_HANDLE_VALUE) {
        OVERLAPPED at = {};
        UnlockFileEx(lock->file, 0, 1, 0, &at);
        CloseHandle(lock->file);
    } else {
        ReleaseMutex(lock->mutex);
        CloseHandle(lock->mutex);
    }
    delete lock;
}

// ---- working directory ----------------------------------------------------------

bool PlatChangeDir(const char* path) { return SetCurrentDirectoryA(path) ? true : Failed(false); }

bool PlatCurrentDir(char out[kMaxPath]) {
    DWORD n = GetCurrentDirectoryA(kMaxPath, out);
    if (n == 0) return Failed(false);
    if (n >= static_cast<DWORD>(kMaxPath)) {
        errno = ENAMETOOLONG;
        return false;
    }
    return true;
}

bool PlatFullDirPath(const char* path, char out[kMaxPath]) {
    DWORD n = GetFullPathNameA(path, kMaxPath, out, nullptr);
    if (n == 0) return Failed(false);
    if (n >= static_cast<DWORD>(kMaxPath)) {
        errno = ENAMETOOLONG;
        return false;
    }
    if (!IsDirectory(out)) {
        errno = GetFileAttributesA(out) == INVALID_FILE_ATTRIBUTES ? ENOENT : ENOTDIR;
        return false;
    }
    return true;
}

// ---- directory search ---------------------------------------------------------------
// The kernel's own matching is not the one the program relies on: it also
// matches 8.3 short names ("*.sfv" finds "b.sfvx" through B~1.SFV) and gives
// '?', '*.' and '.*' DOS meanings. So the directory is listed whole and each
// long name goes through the matcher the POSIX side uses.

PlatFind* PlatFindFirst(const char* pattern, PlatFindEntry* first, PlatSubdirNames* subdirs) {
    char dir[kMaxPath];
    const char* last;
    PlatSplitPattern(pattern, dir, &last);
    if (subdirs) *subdirs = PlatSubdirNames{};  // a directory here has no count to check them against
    if (!*last) return nullptr;

    char all[kMaxPath + 2];
    std::snprintf(all, sizeof all, "%s*", dir);
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(all, &data);
    if (search == INVALID_HANDLE_VALUE) return Failed(nullptr);
    PlatFind* find = new (std::nothrow) PlatFind{{}, 0, {}};
    if (!find) {
        FindClose(search);
        return nullptr;
    }
    do {
        const char* name = data.cFileName;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (!PlatWildcardMatch(last, name)) continue;
        PlatFindEntry entry;
        CopyPath(entry.name, name, std::strlen(name));
        entry.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.kind = KindOfAttributes(data.dwFileAttributes);
        find->matches.push_back(entry);
    } while (FindNextFileA(search, &data));
    FindClose(search);
    return PlatFinishFind(find, first);
}

// ---- sub-directories without a listing ----------------------------------------------
// A directory's link count is not kept: every search reads the listing.

namespace {
bool Unsupported() {
    errno = ENOSYS;
    return false;
}
}  // namespace

long PlatSubdirCount(const char*) { return -1; }

bool PlatDirEntryId(const char*, PlatEntryId*) { return Unsupported(); }

bool PlatReadDirNote(const char*, char*, size_t*) { return Unsupported(); }

bool PlatWriteDirNote(const char*, const char*, size_t) { return Unsupported(); }

// ---- entries ------------------------------------------------------------------------

bool PlatPathExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool PlatFileReadable(const char* path) {
    HANDLE h = OpenDiskFileForRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool PlatCreateDir(const char* path) { return CreateDirectoryA(path, nullptr) ? true : Failed(false); }

bool PlatRemoveDir(const char* path) { return RemoveDirectoryA(path) ? true : Failed(false); }

bool PlatDeleteFile(const char* path) {
    if (IsDirectory(path)) {
        errno = EISDIR;
        return false;
    }
    return DeleteFileA(path) ? true : Failed(false);
}

bool PlatRename(const char* from, const char* to) { return MoveFileA(from, to) ? true : Failed(false); }

bool PlatReplaceFile(const char* from, const char* to) {
    if (PlatTakeFault(PlatFault::Replace)) return false;
    // The moved file brings its own attributes, so a hidden target (the
    // upload log) would come out visible; a read-only one refuses the
    // replace, where POSIX replaces it.
    DWORD before = GetFileAttributesA(to);
    bool existed = before != INVALID_FILE_ATTRIBUTES && !(before & FILE_ATTRIBUTE_DIRECTORY);
    if (existed && (before & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(to, before & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) {
        SetErrnoFromLastError();
        int err = errno;
        if (existed) SetFileAttributesA(to, before);
        errno = err;
        return false;
    }
    if (existed && (before & FILE_ATTRIBUTE_HIDDEN)) {
        DWORD after = GetFileAttributesA(to);
        if (after != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(to, after | FILE_ATTRIBUTE_HIDDEN);
    }
    return true;
}

bool PlatCreateEmptyFile(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(false);
    CloseHandle(h);
    return true;
}

bool PlatCreateDirLink(const char* path, const char*) { return PlatCreateDir(path); }

void PlatSetHidden(const char* path, bool hidden) {
    SetFileAttributesA(path, hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL);
}

// ---- file contents -----------------------------------------------------------------

PlatFile* PlatOpenSequential(const char* path) {
    // Share read only: the open fails while an uploader still writes the file.
    HANDLE h = OpenDiskFileForRead(path, FILE_SHARE_READ,
                                   FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    return h == INVALID_HANDLE_VALUE ? nullptr : FromHandle(h);
}

PlatFile* PlatCreateTruncate(const char* path) {
    if (PlatTakeFault(PlatFault::CreateTruncate)) return nullptr;
    // CREATE_ALWAYS refuses an existing hidden file unless the call repeats
    // its attributes; opening and cutting truncates it like POSIX does.
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(nullptr);
    if (!SetEndOfFile(h)) {
        SetErrnoFromLastError();
        int err = errno;
        CloseHandle(h);
        errno = err;
        return nullptr;
    }
    return FromHandle(h);
}

PlatFile* PlatOpenRead(const char* path) {
    if (PlatTakeFault(PlatFault::OpenRead)) return nullptr;
    HANDLE h = OpenDiskFileForRead(path, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL);
    return h == INVALID_HANDLE_VALUE ? nullptr : FromHandle(h);
}

namespace {

// FILETIME counts 100 ns steps since 1601.
double SecondsSince1970(const FILETIME& time) {
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7 - 11644473600.0;
}

}  // namespace

bool PlatStatFile(const char* path, PlatFileInfo* info) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return Failed(false);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        errno = EISDIR;
        return false;
    }
    info->bytes = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info->hasBirth = data.ftCreationTime.dwHighDateTime != 0 || data.ftCreationTime.dwLowDateTime != 0;
    info->birthSeconds = info->hasBirth ? SecondsSince1970(data.ftCreationTime) : 0;
    info->modifiedSeconds = SecondsSince1970(data.ftLastWriteTime);
    return true;
}

long PlatRead(PlatFile* file, void* buf, size_t len) {
    DWORD want = len > 0x7fffffffu ? 0x7fffffffu : static_cast<DWORD>(len);
    DWORD got = 0;
    if (!ReadFile(ToHandle(file), buf, want, &got, nullptr)) return Failed(-1L);
    return static_cast<long>(got);
}

bool PlatSeek(PlatFile* file, uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = offset > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<LONGLONG>(offset);
    return SetFilePointerEx(ToHandle(file), to, nullptr, FILE_BEGIN) ? true : Failed(false);
}

bool PlatScanMapped(PlatFile*, uint64_t, PlatScanFn, void*) { return false; }

bool PlatWrite(PlatFile* file, const void* buf, size_t len) {
    if (PlatTakeFault(PlatFault::Write)) return false;
    const char* p = static_cast<const char*>(buf);
    while (len > 0) {
        DWORD chunk = len > 0x40000000u ? 0x40000000u : static_cast<DWORD>(len);
        DWORD wrote = 0;
        if (!WriteFile(ToHandle(file), p, chunk, &wrote, nullptr)) return Failed(false);
        if (wrote == 0) {
            errno = EIO;
            return false;
        }
        p += wrote;
        len -= wrote;
    }
    return true;
}

bool PlatClose(PlatFile* file) {
    if (!file) return false;
    HANDLE h = ToHandle(file);
    if (PlatTakeFault(PlatFault::Close)) {
        int err = errno;
        CloseHandle(h);
        errno = err;
        return false;
    }
    return CloseHandle(h) ? true : Failed(false);
}

bool PlatAppendOnce(const char* path, const void* data, size_t len) {
    // Append-only access sends every write to the end of the file, but Wine
    // finds that end apart from the write, and a file on a share has several
    // writers: concurrent runs lost and tore lines. So each run holds a
    // byte-range lock for its one write, on a byte past any data so that
    // readers are never shut out. Locking needs read access.
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA | GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed(false);
    OVERLAPPED lockAt = {};
    lockAt.OffsetHigh = 0x40000000;  // byte 2^62
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt)) {
        SetErrnoFromLastError();
        int err = errno;
        CloseHandle(h);
        errno = err;
        return false;
    }
    DWORD want = len > 0x7fffffffu ? 0x7fffffffu : static_cast<DWORD>(len);
    DWORD wrote = 0;
    bool ok = WriteFile(h, data, want, &wrote, nullptr) != 0;
    if (!ok) SetErrnoFromLastError();
    else if (wrote != len) errno = ENOSPC;
    int err = errno;
    UnlockFileEx(h, 0, 1, 0, &lockAt);
    CloseHandle(h);
    errno = err;
    return ok && wrote == len;
}

// Every append already holds a byte-range lock, which a share holds for all
// its clients.
bool PlatAppendLocked(const char* path, const void* data, size_t len, unsigned) {
    return PlatAppendOnce(path, data, len);
}

// ---- for operator commands ----------------------------------------------------------

PlatEntryKind PlatEntryKindOf(const char* path) {
    DWORD attrs = GetFileAttributesA(path);
    return attrs == INVALID_FILE_ATTRIBUTES ? PlatEntryKind::None : KindOfAttributes(attrs);
}

bool PlatStderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

double PlatClockMs() {
    LARGE_INTEGER now, perSecond;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&perSecond);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(perSecond.QuadPart);
}

// ---- time -------------------------------------------------------------------------

double PlatWallSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return SecondsSince1970(now);
}

namespace {

int64_t ToMinutes(const SYSTEMTIME& t) {
    FILETIME ft;
    SystemTimeToFileTime(&t, &ft);
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 600000000;
}

}  // namespace

PlatLocalTime PlatNow() {
    // Local time and offset from one reading of the clock, so that they
    // agree even at a change of daylight saving time.
    SYSTEMTIME utc, local;
    GetSystemTime(&utc);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    return PlatLocalTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                         static_cast<int>(ToMinutes(local) - ToMinutes(utc))};
}
