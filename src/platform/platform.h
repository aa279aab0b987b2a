// The only interface between crevik and the operating system.
//
// Everything above this header is OS-free, and every file the program opens
// is opened here (so a fault injected here reaches every read and write);
// nothing here calls upward. platform_posix.cpp implements it
// with POSIX calls, platform_win32.cpp with the Win32 kernel. Both give the
// Windows behaviour the program was designed around: renames never replace,
// directory search matches only '*' and '?' ignoring letter case, a run lock
// whose holder died never blocks the next run.
//
// Failing calls leave errno set to the closest standard error number, so
// callers can report strerror(errno) on either system.
#ifndef CREVIK_PLATFORM_H
#define CREVIK_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#ifdef _WIN32
constexpr char kPathSep = '\\';
constexpr bool kNamesInUtf8 = false;  // names come in the system's ANSI code page
#else
constexpr char kPathSep = '/';
constexpr bool kNamesInUtf8 = true;  // as the terminals that show them take them
#endif

constexpr int kMaxPath = 260;  // path buffers, NUL included

// ---- program location -------------------------------------------------
// Directory of the running program, ending in the separator, derived from
// word 0 of the command line. When word 0 has no directory part, POSIX uses
// the path the program was started by, or else the executable's own
// directory (a server may pass a bare name, also inside a chroot without
// /proc), and Windows writes "", which puts the configuration at the root of
// the current drive.
void PlatProgramDir(const char* word0, char out[kMaxPath]);

// ---- run lock ----------------------------------------------------------
// The lock of one release directory. POSIX locks the directory itself, so
// no lock file is needed anywhere (a chroot works) and two spellings of one
// directory share it; Windows uses a kernel mutex named `name`. Waits at most
// timeoutMs. A lock whose holder died is free. Returns null when the wait
// timed out or failed.
struct PlatRunLock;
PlatRunLock* PlatAcquireRunLock(const char* directory, const char* name, unsigned timeoutMs);
// The lock of a file, which a shared file system holds for all its clients
// (GlusterFS, NFSv4, SMB), where a directory's lock is only the local
// kernel's. The file is created when missing, like the upload log (group and
// group write of its directory), never through a symbolic link. Waits and
// frees as PlatAcquireRunLock does; timed out: null, errno ETIMEDOUT.
PlatRunLock* PlatAcquireFileLock(const char* path, unsigned timeoutMs);
void PlatReleaseRunLock(PlatRunLock* lock);

// ---- working directory ---------------------------------------------------
bool PlatChangeDir(const char* path);
bool PlatCurrentDir(char out[kMaxPath]);
// The absolute form of an existing directory's path, without "." or ".."
// steps; false (errno set) when there is no such directory or it is too long.
bool PlatFullDirPath(const char* path, char out[kMaxPath]);

// ---- directory search ----------------------------------------------------
// The pattern's last component may hold '*' (any run, empty included) and
// '?' (one character); every other character is literal and letter case is
// ignored. "." and ".." are never returned. Matches come sorted by name,
// case-insensitively, so results never depend on the file system.
// What a name is, the name itself and never a link's target.
enum class PlatEntryKind { None, File, Dir, Link, Other };
struct PlatFindEntry {
    char name[kMaxPath];  // bare name, no directory
    bool isDir;
    PlatEntryKind kind;  // what PlatEntryKindOf would say, from the listing where it tells
};
struct PlatFind;
// Every sub-directory of the searched directory (never a link), found by the
// same pass for a caller that keeps them: each name followed by a NUL.
// `complete` is false where the pass cannot tell them all: Windows, or a file
// system that leaves entry types unknown.
struct PlatSubdirNames {
    std::string names;
    bool complete = false;
};
// Null when nothing matches (or the directory cannot be read).
PlatFind* PlatFindFirst(const char* pattern, PlatFindEntry* first, PlatSubdirNames* subdirs = nullptr);
bool PlatFindNext(PlatFind* find, PlatFindEntry* next);
void PlatFindClose(PlatFind* find);

// The matcher behind the search, shared by both implementations.
bool PlatWildcardMatch(const char* pattern, const char* name);
// The order of the matches: letter case ignored, then bytes.
int PlatCompareNames(const char* a, const char* b);

// ---- sub-directories without a listing ------------------------------------
// A directory of thousands of files holds few sub-directories. Where its link
// count tells how many (POSIX file systems but btrfs), the names a note kept
// with the directory gives can be checked to be all of them, one look-up
// each, which costs far less than reading the listing.
// The count, or -1 where the file system keeps none (Windows, btrfs, ext4
// beyond 65,000 sub-directories).
long PlatSubdirCount(const char* dir);
// The identity of a directory entry that is itself a directory (a link is
// never followed); false for anything else.
struct PlatEntryId {
    uint64_t device, inode;
};
bool PlatDirEntryId(const char* path, PlatEntryId* id);
// A note of at most kDirNoteMax bytes kept with a directory, outside its
// listing (an extended attribute); false without one or where there are none.
constexpr size_t kDirNoteMax = 4096;
bool PlatReadDirNote(const char* dir, char note[kDirNoteMax], size_t* len);
// Replaces the note; an empty one is removed.
bool PlatWriteDirNote(const char* dir, const char* note, size_t len);
// ---- entries -------------------------------------------------------------
// What POSIX creates gets the group of its directory and group write where
// that directory has it, so that the next FTP user's run can change it; no
// create ever follows a symbolic link planted under the name.
bool PlatPathExists(const char* path);      // any entry at all
bool PlatFileReadable(const char* path);    // a file (not a directory) that opens for reading
bool PlatCreateDir(const char* path);       // fails when the name exists
bool PlatRemoveDir(const char* path);       // only an empty directory
bool PlatDeleteFile(const char* path);      // fails on a directory
bool PlatRename(const char* from, const char* to);   // never replaces an existing target
bool PlatReplaceFile(const char* from, const char* to);  // replaces `to`, which stays hidden if it was
bool PlatCreateEmptyFile(const char* path); // an empty file in place of whatever file or link had the name
// A link to `target` (relative to the link's directory) where the system has
// symbolic links; an empty directory on Windows.
bool PlatCreateDirLink(const char* path, const char* target);
void PlatSetHidden(const char* path, bool hidden);   // hidden vs normal attributes

// ---- file contents ---------------------------------------------------------
struct PlatFile;
// Opens an existing file for a sequential read; null on failure. On Windows
// the open fails while a writer holds the file.
PlatFile* PlatOpenSequential(const char* path);
// Opens a regular file for reading, shared with writers as any reader
// shares it; null with errno set (EISDIR for a directory on POSIX).
PlatFile* PlatOpenRead(const char* path);
// A new, empty file for writing in place of whatever had the name (a link is
// replaced, never written through); null on failure.
PlatFile* PlatCreateTruncate(const char* path);

// Size, creation and last modification time of a regular file (not a
// directory or device). Where the file system keeps no creation time
// (GlusterFS, NFS), POSIX gives the last access instead: creating a file sets
// it, writing and renaming do not, so it is the creation until something
// reads the file.
struct PlatFileInfo {
    uint64_t bytes;
    bool hasBirth;       // false where there is neither
    double birthSeconds;  // seconds since 1970, UTC
    double modifiedSeconds;
};
bool PlatStatFile(const char* path, PlatFileInfo* info);
// Bytes read, 0 at the end, -1 on failure.
long PlatRead(PlatFile* file, void* buf, size_t len);
// The next read starts at byte `offset` of a file opened for reading.
bool PlatSeek(PlatFile* file, uint64_t offset);
bool PlatWrite(PlatFile* file, const void* buf, size_t len);  // all or failure
// Hands an open file of at least `minBytes`, from its start to its size when
// this began, to `scan` window by window as mapped memory, with no copy into
// a buffer. False, before any call or part-way (the file shrank and its
// pages are gone), when it cannot: the caller then reads the file, whose
// read position this leaves at the start. Windows always says false, as a
// view's failed page-in cannot be caught there.
using PlatScanFn = void (*)(void* context, const void* data, size_t len);
bool PlatScanMapped(PlatFile* file, uint64_t minBytes, PlatScanFn scan, void* context);
bool PlatClose(PlatFile* file);  // false when buffered data could not be stored
// Appends `data` to the end of the file, created if missing (as every
// created file, with its directory's group and group write), in one write
// call on a file opened for appending only, so that lines appended by
// concurrent processes never interleave. A rename of the file while it is
// open is allowed. False, with errno set, unless every byte went in.
bool PlatAppendOnce(const char* path, const void* data, size_t len);
// The same under the file's own lock (as PlatAcquireFileLock takes it), for a
// file that other hosts append to through their own clients of a shared file
// system; waits at most timeoutMs for it.
bool PlatAppendLocked(const char* path, const void* data, size_t len, unsigned timeoutMs);

// ---- time ----------------------------------------------------------------
struct PlatLocalTime {
    int year, month, day, hour, minute, second;  // month 1..12
    int utcOffsetMinutes;                        // local time minus UTC, e.g. 60 for +01:00
};
PlatLocalTime PlatNow();
double PlatWallSeconds();  // seconds since 1970, UTC, with the fraction

// ---- for operator commands -------------------------------------------------
PlatEntryKind PlatEntryKindOf(const char* path);
// Standard error is an interactive terminal (a console on Windows).
bool PlatStderrIsTerminal();
// Milliseconds of a clock that never goes back; only differences mean anything.
double PlatClockMs();

// ---- watching directories (Linux) ------------------------------------------
// The system reports changes inside watched directories. Where it cannot
// (Windows), PlatOpenWatcher fails with ENOSYS.
enum PlatChangeFlag : unsigned {
    kChangeWritten = 1u << 0,    // a file open for writing was closed
    kChangeMovedIn = 1u << 1,    // an entry was renamed into the directory
    kChangeMovedOut = 1u << 2,   // an entry was renamed out of it
    kChangeDeleted = 1u << 3,    // an entry was deleted
    kChangeCreated = 1u << 4,    // an entry was created
    kChangeIsDir = 1u << 5,      // the entry is a directory
    kChangeWatchEnded = 1u << 6, // the directory is gone: its watch number is free again
    kChangeOverflow = 1u << 7,   // changes were dropped; `watch` is -1
};
struct PlatChange {
    int watch;
    unsigned flags;     // PlatChangeFlag bits
    unsigned cookie;    // the same in both halves of one rename
    const char* name;   // entry name, "" for the directory itself; valid until the next read
};
struct PlatWatcher;
// Opening one also catches SIGTERM and SIGINT (see PlatStopRequested) and
// the end of child processes: each of them wakes PlatReadChanges.
PlatWatcher* PlatOpenWatcher();
void PlatCloseWatcher(PlatWatcher* watcher);
// The directory's watch number (the same again for the same directory;
// links are not followed), or -1 with errno: ENOSPC at the system's limit.
int PlatAddWatch(PlatWatcher* watcher, const char* dir);
void PlatRemoveWatch(PlatWatcher* watcher, int watch);
// Waits at most timeoutMs (-1: no limit) and fills at most `max` changes.
// Returns their count; 0 on a timeout or a wake-up, -1 on failure.
int PlatReadChanges(PlatWatcher* watcher, PlatChange* out, int max, int timeoutMs);
bool PlatStopRequested();

// ---- child processes -------------------------------------------------------
// Starts argv[0] (searched in PATH when it has no separator) in a process
// group of its own, so that a signal to the starter's group does not cut it
// short, with its standard output discarded (standard error stays). Returns
// its id, or -1.
long PlatStartProcess(const char* const* argv);
// A child that has ended, 0 while none has, -1 when none is left.
long PlatReapChild();

// ---- files seen by the watcher -------------------------------------------------
constexpr int kOwnerNameMax = 32;  // NUL included
// Names of the file's owner and of the owner's primary group (what an FTP
// server passes as the uploader's group) from the system's user and group
// lists, each "-" when it has none (or on Windows).
void PlatOwnerNames(const char* path, char user[kOwnerNameMax], char group[kOwnerNameMax]);
// True when some process holds the file open for writing. Known only where
// the caller may take a lease on it (its owner, or root); false elsewhere.
bool PlatOpenForWriting(const char* path);

// ---- fault injection (tests only) ----------------------------------------
// Makes the next call of one operation fail with the given errno, once.
enum class PlatFault { None, Write, Close, Replace, CreateTruncate, OpenRead };
void PlatInjectFault(PlatFault op, int errnum);

#endif
