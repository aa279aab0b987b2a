#include "watch/watch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "watch/watch_internal.h"

namespace {

constexpr int kRetryUnwatchedMs = 60000;

// Every area as an absolute directory path ending in '/'.
bool AddAreas(Tree& tree, int count, const char* const* words) {
    for (int i = 0; i < count; ++i) {
        char full[kMaxPath];
        if (!PlatFullDirPath(words[i], full)) return Trouble(words[i], std::strerror(errno)) == kExitOk;
        std::string area = full;
        if (area.back() != '/') area += '/';
        tree.areas.push_back(area);
    }
    return true;
}

// Waits for changes and runs them until a stop signal; then lets the
// running runs finish, still reading changes so as to say how many it
// leaves undone. False when the system stopped reporting changes.
bool WatchUntilStopped(Tree& tree, Runs& runs) {
    double lastRetry = PlatClockMs();
    for (;;) {
        ReapRuns(runs);
        bool stopping = PlatStopRequested();
        if (stopping && runs.running.empty()) break;
        if (!stopping) StartRuns(runs);
        int timeout = tree.unwatched.empty() ? -1 : kRetryUnwatchedMs;  // a run's end wakes it too
        if (HandleChanges(tree, runs, timeout) < 0) {
            Say(*tree.settings, "reading changes failed: %s", std::strerror(errno));
            return false;
        }
        double now = PlatClockMs();
        if (!tree.unwatched.empty() && now - lastRetry >= kRetryUnwatchedMs) {
            RetryUnwatched(tree, runs);
            lastRetry = now;
        }
    }
    // Changes caused by the last runs, still unread, are counted as well.
    while (HandleChanges(tree, runs, 0) > 0) {
    }
    return true;
}

}  // namespace

int RunWatch(const Settings& settings, const char* word0, int argc, const char* const* argv) {
    bool rescan;
    if (!TakeCommandWords(&argc, &argv, "--rescan", &rescan, kWatchUsage))
        return kExitTrouble;

    Tree tree{&settings, PlatOpenWatcher(), {}, {}, {}};
    if (!tree.watcher) {
        if (errno == ENOSYS)
            std::fprintf(stderr, "crevik watch: watching needs Linux; on Windows the FTP server's own hooks run "
                                 "crevik\n");
        else
            std::fprintf(stderr, "crevik watch: cannot watch: %s\n", std::strerror(errno));
        return kExitTrouble;
    }
    Runs runs;
    runs.settings = &settings;
    runs.self = word0;
    if (!AddAreas(tree, argc, argv)) {
        PlatCloseWatcher(tree.watcher);
        return kExitTrouble;
    }
    for (const std::string& area : tree.areas) {
        WatchTree(tree, runs, area, false);
        if (rescan) QueueRun(runs, RunKind::Rescan, area);
    }
    std::fprintf(stderr, "crevik watch: watching %zu directories in %zu area%s\n", tree.dirs.size(),
                 tree.areas.size(), tree.areas.size() == 1 ? "" : "s");

    bool ok = WatchUntilStopped(tree, runs);
    PlatCloseWatcher(tree.watcher);
    size_t left = WaitingCount(runs);
    std::fprintf(stderr, "crevik watch: stopped after %ld runs (%ld upload, %ld delete, %ld rescan), %zu not run%s\n",
                 runs.started[0] + runs.started[1] + runs.started[2], runs.started[0], runs.started[1],
                 runs.started[2], left, left ? "; start with --rescan to catch up" : "");
    return ok ? kExitOk : kExitTrouble;
}
