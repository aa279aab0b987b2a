#include <cerrno>
#include <cstring>

#include "release/release.h"
#include "sfv/sfv.h"
#include "util/util.h"
#include "watch/watch_internal.h"

namespace {

constexpr int kReadAtOnce = 256;
// The two halves of a rename are queued together, but one read can end
// between them; this is how long the second half may take to show up.
constexpr int kPairWaitMs = 10;

void CannotWatch(Tree& tree, const std::string& dir, int error) {
    if (!tree.unwatched.insert(dir).second) return;  // said already
    if (error == ENOSPC)
        Say(*tree.settings,
            "cannot watch %s: the system's limit of watches is reached (raise fs.inotify.max_user_watches);"
            " trying again every minute",
            ShownName(dir.c_str()).c_str());
    else
        Say(*tree.settings, "cannot watch %s: %s; trying again every minute", ShownName(dir.c_str()).c_str(),
            std::strerror(error));
}

// Stops watching `dir` and everything below it.
void DropTree(Tree& tree, const std::string& dir) {
    for (auto it = tree.dirs.begin(); it != tree.dirs.end();) {
        if (it->second.compare(0, dir.size(), dir) != 0) {
            ++it;
            continue;
        }
        PlatRemoveWatch(tree.watcher, it->first);
        it = tree.dirs.erase(it);
    }
    for (auto it = tree.unwatched.lower_bound(dir); it != tree.unwatched.end() && it->compare(0, dir.size(), dir) == 0;)
        it = tree.unwatched.erase(it);
}

// The system dropped changes: every directory is watched again from scratch
// (watches of directories that are gone end by themselves) and every area is
// rescanned.
void CatchUp(Tree& tree, Runs& runs) {
    Say(*tree.settings, "the system's queue of changes overflowed; rescanning every area");
    tree.dirs.clear();
    for (const std::string& area : tree.areas) {
        WatchTree(tree, runs, area, false);
        QueueRun(runs, RunKind::Rescan, area);
    }
}

bool IsRenamePair(const Change& from, const Change& to) {
    return (from.flags & kChangeMovedOut) && (to.flags & kChangeMovedIn) && from.cookie == to.cookie;
}

// A directory renamed within the tree keeps its watches; only their paths change.
void MoveTree(Tree& tree, const std::string& from, const std::string& to) {
    for (auto& entry : tree.dirs)
        if (entry.second.compare(0, from.size(), from) == 0) entry.second = to + entry.second.substr(from.size());
}

// A change of a directory; returns how many changes it used (2 for both
// halves of a rename).
int HandleDirChange(Tree& tree, Runs& runs, const Change& change, const Change* next, const std::string& path) {
    if (IsOwnDirName(*tree.settings, change.name.c_str())) return 1;
    if (change.flags & (kChangeCreated | kChangeMovedIn)) WatchTree(tree, runs, path, true);
    if (!(change.flags & kChangeMovedOut)) return 1;
    auto to = next && IsRenamePair(change, *next) ? tree.dirs.find(next->watch) : tree.dirs.end();
    if (to == tree.dirs.end() || IsOwnDirName(*tree.settings, next->name.c_str())) {
        DropTree(tree, path);
        return 1;
    }
    // Its upload log moved with it: a rescan settles it under its new name
    // and keeps who uploaded what, at what speed.
    std::string moved = to->second + next->name + "/";
    MoveTree(tree, path, moved);
    QueueRun(runs, RunKind::Rescan, moved);
    return 2;
}

// One change; returns how many of the changes it used.
int HandleChange(Tree& tree, Runs& runs, const Change& change, const Change* next) {
    if (change.flags & kChangeOverflow) {
        CatchUp(tree, runs);
        return 1;
    }
    if (change.flags & kChangeWatchEnded) {
        tree.dirs.erase(change.watch);
        return 1;
    }
    auto dir = tree.dirs.find(change.watch);
    if (dir == tree.dirs.end() || change.name.empty()) return 1;
    std::string path = dir->second + change.name;
    if (change.flags & kChangeIsDir) return HandleDirChange(tree, runs, change, next, path + "/");
    if (IsOwnFileName(*tree.settings, change.name.c_str())) return 1;
    // A failed file set aside as NAME.bad is crevik's own rename.
    if (next && IsRenamePair(change, *next) && next->watch == change.watch && next->name == change.name + kBadSuffix)
        return 2;
    if (change.flags & (kChangeWritten | kChangeMovedIn)) QueueRun(runs, RunKind::Upload, path);
    if (change.flags & (kChangeMovedOut | kChangeDeleted)) {
        CancelUpload(runs, path);
        QueueRun(runs, RunKind::Delete, path);
    }
    return 1;
}

// Appends what the system has, waiting at most timeoutMs; -1 on failure.
int ReadChanges(Tree& tree, std::vector<Change>& changes, int timeoutMs) {
    PlatChange got[kReadAtOnce];
    int count = PlatReadChanges(tree.watcher, got, kReadAtOnce, timeoutMs);
    for (int i = 0; i < count; ++i) changes.push_back(Change{got[i].watch, got[i].flags, got[i].cookie, got[i].name});
    return count;
}

}  // namespace

void WatchTree(Tree& tree, Runs& runs, const std::string& dir, bool newFiles) {
    // Watched first, listed second: what arrives in between is seen twice at
    // worst, never missed.
    int watch = PlatAddWatch(tree.watcher, dir.c_str());
    if (watch < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        tree.unwatched.erase(dir);  // gone already: nothing to watch, nothing missed
        return;
    }
    if (watch < 0) {
        CannotWatch(tree, dir, errno);
        if (newFiles) QueueRun(runs, RunKind::Rescan, dir);
        return;
    }
    tree.unwatched.erase(dir);
    tree.dirs[watch] = dir;
    std::string pattern = dir + "*";
    if (pattern.size() >= static_cast<size_t>(kMaxPath)) return;  // longer than any run could take
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(pattern.c_str(), &entry);
    for (bool more = find != nullptr; more; more = PlatFindNext(find, &entry)) {
        std::string path = dir + entry.name;
        if (entry.isDir) {
            if (!IsOwnDirName(*tree.settings, entry.name)) WatchTree(tree, runs, path + "/", newFiles);
        } else if (newFiles && !IsOwnFileName(*tree.settings, entry.name) && entry.kind == PlatEntryKind::File &&
                   !PlatOpenForWriting(path.c_str())) {
            // A file still being written is left to the close that will be reported.
            QueueRun(runs, RunKind::Upload, path);
            tree.listedNewFiles = true;
        }
    }
    PlatFindClose(find);
}

namespace {

int HandleBatch(Tree& tree, Runs& runs, int timeoutMs) {
    std::vector<Change> changes;
    int count = ReadChanges(tree, changes, timeoutMs);
    while (count > 0 && (changes.back().flags & kChangeMovedOut)) {
        count = ReadChanges(tree, changes, kPairWaitMs);
        if (count < 0) return -1;
    }
    if (count < 0) return -1;
    for (size_t i = 0; i < changes.size();) {
        const Change* next = i + 1 < changes.size() ? &changes[i + 1] : nullptr;
        i += static_cast<size_t>(HandleChange(tree, runs, changes[i], next));
    }
    return static_cast<int>(changes.size());
}

}  // namespace

int HandleChanges(Tree& tree, Runs& runs, int timeoutMs) {
    int total = HandleBatch(tree, runs, timeoutMs);
    // A file found in a new directory may have been closed after its watch
    // began: that close is queued already. Read it before any run starts, so
    // that it finds the upload of the listing still waiting and the two stay
    // one run.
    while (total > 0 && tree.listedNewFiles) {
        tree.listedNewFiles = false;
        int more = HandleBatch(tree, runs, 0);
        if (more < 0) return -1;
        total += more;
    }
    return total;
}

void RetryUnwatched(Tree& tree, Runs& runs) {
    std::set<std::string> retry = tree.unwatched;
    for (const std::string& dir : retry) {
        WatchTree(tree, runs, dir, false);
        if (tree.unwatched.count(dir) || PlatEntryKindOf(dir.c_str()) != PlatEntryKind::Dir) continue;
        Say(*tree.settings, "watching %s now; rescanning it", ShownName(dir.c_str()).c_str());
        QueueRun(runs, RunKind::Rescan, dir);
    }
}
