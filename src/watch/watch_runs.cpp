#include <cerrno>
#include <cstring>

#include "util/util.h"
#include "watch/watch_internal.h"

namespace {

const char* const kWords[] = {"upload", "delete", "rescan"};

std::string DirectoryOf(const Run& run) {
    if (run.kind == RunKind::Rescan) return run.path;
    return run.path.substr(0, run.path.rfind('/') + 1);
}

// Starts one run: its process id, 0 for an upload whose file is gone, or -1
// when the system refused.
long Start(const Runs& runs, const Run& run) {
    const char* path = run.path.c_str();
    const char* word = kWords[static_cast<int>(run.kind)];
    if (run.kind == RunKind::Rescan) {
        const char* argv[] = {runs.self.c_str(), word, "-r", path, nullptr};
        return PlatStartProcess(argv);
    }
    if (run.kind == RunKind::Delete) {
        const char* argv[] = {runs.self.c_str(), word, path, nullptr};
        return PlatStartProcess(argv);
    }
    if (PlatEntryKindOf(path) != PlatEntryKind::File) return 0;
    char user[kOwnerNameMax], group[kOwnerNameMax];
    PlatOwnerNames(path, user, group);
    const char* argv[] = {runs.self.c_str(), word, path, user, group, nullptr};
    return PlatStartProcess(argv);
}

}  // namespace

void QueueRun(Runs& runs, RunKind kind, const std::string& path) {
    Run run{kind, path};
    std::string dir = DirectoryOf(run);
    std::deque<Run>& queue = runs.waiting[dir];
    for (auto it = queue.rbegin(); it != queue.rend(); ++it) {
        if (it->path != path) continue;
        if (it->kind == kind) return;
        break;
    }
    queue.push_back(run);
    if (queue.size() == 1) runs.ready.push_back(dir);
}

void CancelUpload(Runs& runs, const std::string& path) {
    auto found = runs.waiting.find(path.substr(0, path.rfind('/') + 1));
    if (found == runs.waiting.end()) return;
    std::deque<Run>& queue = found->second;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (it->kind != RunKind::Upload || it->path != path) continue;
        queue.erase(it);
        if (queue.empty()) runs.waiting.erase(found);
        return;
    }
}

void StartRuns(Runs& runs) {
    while (runs.running.size() < kMaxRunning && !runs.ready.empty()) {
        std::string dir = runs.ready.front();
        runs.ready.pop_front();
        auto found = runs.waiting.find(dir);
        if (found == runs.waiting.end()) continue;
        bool busy = false;
        for (const auto& entry : runs.running) busy = busy || entry.second == dir;
        if (busy) continue;  // its end puts it back
        Run run = found->second.front();
        found->second.pop_front();
        if (found->second.empty()) runs.waiting.erase(found);
        long pid = Start(runs, run);
        if (pid > 0) {
            runs.running[pid] = dir;
            ++runs.started[static_cast<int>(run.kind)];
            continue;
        }
        if (pid < 0)
            Say(*runs.settings, "cannot start %s for %s: %s", ShownName(runs.self.c_str()).c_str(),
                ShownName(run.path.c_str()).c_str(),
                std::strerror(errno));
        if (runs.waiting.count(dir)) runs.ready.push_back(dir);
    }
}

void ReapRuns(Runs& runs) {
    for (;;) {
        long pid = PlatReapChild();
        if (pid <= 0) return;
        auto found = runs.running.find(pid);
        if (found == runs.running.end()) continue;
        std::string dir = found->second;
        runs.running.erase(found);
        if (runs.waiting.count(dir)) runs.ready.push_back(dir);
    }
}

size_t WaitingCount(const Runs& runs) {
    size_t count = 0;
    for (const auto& entry : runs.waiting) count += entry.second.size();
    return count;
}
