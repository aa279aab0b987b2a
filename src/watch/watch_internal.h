// The watcher's parts: whose entries are whose, the queue of runs, and the
// tree of watched directories with the handling of its changes.
#ifndef CREVIK_WATCH_INTERNAL_H
#define CREVIK_WATCH_INTERNAL_H

#include <deque>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/settings.h"
#include "platform/platform.h"

// Entries crevik makes itself (IsOwnFileName, IsOwnDirName in
// release/release.h) never start a run, and such directories are never watched.

// ---- runs (watch_runs.cpp) ----
// Runs of one directory go one after another in the order their changes
// came, so that a delete and a new upload of one name cannot swap places
// (a run lock is no queue), and a busy release never fills every slot;
// runs of different directories go side by side, at most kMaxRunning.
constexpr size_t kMaxRunning = 8;

enum class RunKind { Upload, Delete, Rescan };

struct Run {
    RunKind kind;
    std::string path;  // the file; for a rescan the directory, rescanned with all below
};

struct Runs {
    const Settings* settings;
    std::string self;                                 // word 0 of every run
    std::map<std::string, std::deque<Run>> waiting;   // by directory
    std::deque<std::string> ready;                    // directories whose turn may have come
    std::map<long, std::string> running;              // process id -> directory
    long started[3] = {0, 0, 0};                      // by RunKind
};

// Queues a run unless the same run of the same path already waits, with
// nothing else for that path after it.
void QueueRun(Runs& runs, RunKind kind, const std::string& path);
// Drops a waiting upload of the path: the file went before its turn.
void CancelUpload(Runs& runs, const std::string& path);
// Starts runs whose turn has come while slots are free. An upload whose file
// is no longer a plain file is dropped: the change that took it follows.
void StartRuns(Runs& runs);
// Frees the slots of ended runs.
void ReapRuns(Runs& runs);
size_t WaitingCount(const Runs& runs);

// ---- the watched tree (watch_tree.cpp) ----
struct Change {
    int watch;
    unsigned flags;  // PlatChangeFlag bits
    unsigned cookie;
    std::string name;
};

struct Tree {
    const Settings* settings;
    PlatWatcher* watcher;
    std::vector<std::string> areas;                // absolute, ending in '/'
    std::unordered_map<int, std::string> dirs;     // watch -> directory, ending in '/'
    std::set<std::string> unwatched;               // directories whose watch could not be added
    bool listedNewFiles = false;                   // uploads queued from a listing since the last read
};

// Watches `dir` (ending in '/') and every directory below it. With newFiles,
// the plain files found in them are uploads: they came before the watch.
void WatchTree(Tree& tree, Runs& runs, const std::string& dir, bool newFiles);
// Reads the changes that are there, waiting at most timeoutMs for the
// first, and turns them into runs. Returns their count, -1 on failure.
int HandleChanges(Tree& tree, Runs& runs, int timeoutMs);
// Tries again to watch the directories whose watch could not be added,
// rescanning those now watched.
void RetryUnwatched(Tree& tree, Runs& runs);

// ---- telling the operator (watch_say.cpp) ----
// One line on standard error and in the diagnostic log.
void Say(const Settings& settings, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#endif
