// crevik watch: the delay from a file's close to the end of its run, over
// 1000 small files one after another, against the same "upload" run started
// directly as a server hook would start it, measured in the same run (both
// to the run's last step, its upload status directory); and
// the watcher's resident memory with 10,000 watched directories, against
// the watcher on an empty area.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;
constexpr int kReleases = 100, kDirsPerRelease = 100;  // 10,000 directories
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

pid_t Spawn(const std::vector<std::string>& words, const char* errPath = nullptr) {
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (errPath) posix_spawn_file_actions_addopen(&actions, 2, errPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts the watcher and waits until its watches are in place.
pid_t StartWatcher(const std::string& program, const fs::path& area, const fs::path& errPath) {
    pid_t pid = Spawn({program, "watch", area.string()}, errPath.c_str());
    while (Slurp(errPath).find("watching") == std::string::npos) usleep(1000);
    return pid;
}

void StopWatcher(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

long RssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0) return std::stol(line.substr(6));
    return -1;
}

// Waits for the next upload status directory to be created or renamed in
// the release of `watch`: the last step of an "upload" run without a .sfv.
void WaitForRunEnd(int fd, int watch) {
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        for (ssize_t off = 0; off < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
            if (e->wd == watch && (e->mask & IN_ISDIR) && e->len && std::strncmp(e->name, "[UP #", 5) == 0) return;
            off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
}

void WriteSmallFile(const fs::path& path) { std::ofstream(path, std::ios::binary) << std::string(3000, 'x'); }

void Percentiles(const char* label, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-42s median %7.3f ms  p99 %7.3f ms  (%zu files)\n", label, ms[ms.size() / 2],
                ms[ms.size() * 99 / 100], ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/crevik\n", argv[0]);
        return 2;
    }
    fs::path root = fs::temp_directory_path() / ("crevik-watch-bench-" + std::to_string(getpid()));
    fs::path area = root / "up", rel = area / "Some.Release";
    fs::create_directories(rel);
    std::string program = (root / "crevik").string();
    fs::copy_file(argv[1], program);

    // Delay: close -> end of the watcher's run, and of the same run started
    // directly on a release of its own outside the area, interleaved so that
    // load changes hit both alike and both logs grow alike.
    fs::path other = root / "direct" / "Some.Release";
    fs::create_directories(other);
    pid_t watcher = StartWatcher(program, area, root / "watch.err");
    int fd = inotify_init1(IN_CLOEXEC);
    int watchedRel = inotify_add_watch(fd, rel.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    int directRel = inotify_add_watch(fd, other.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    std::vector<double> watched, direct;
    for (int i = 0; i < kFiles; ++i) {
        std::string name = "f" + std::to_string(i);
        WriteSmallFile(rel / name);
        auto closed = Clock::now();
        WaitForRunEnd(fd, watchedRel);
        watched.push_back(Ms(closed));

        WriteSmallFile(other / name);
        closed = Clock::now();
        pid_t run = Spawn({program, "upload", (other / name).string(), "user", "group"});
        WaitForRunEnd(fd, directRel);
        direct.push_back(Ms(closed));
        waitpid(run, nullptr, 0);
    }
    StopWatcher(watcher);
    close(fd);
    Percentiles("close -> run end, watcher:", watched);
    Percentiles("close -> run end, run started directly:", direct);
    std::sort(watched.begin(), watched.end());
    std::sort(direct.begin(), direct.end());
    std::printf("ratio of the medians: %.2f\n", watched[kFiles / 2] / direct[kFiles / 2]);

    // Memory: an empty area, then 10,000 directories.
    fs::path empty = root / "empty", many = root / "many";
    fs::create_directories(empty);
    for (int r = 0; r < kReleases; ++r)
        for (int d = 1; d < kDirsPerRelease; ++d) fs::create_directories(many / ("Rel." + std::to_string(r)) / ("CD" + std::to_string(d)));
    pid_t idle = StartWatcher(program, empty, root / "empty.err");
    long idleKb = RssKb(idle);
    StopWatcher(idle);
    pid_t big = StartWatcher(program, many, root / "many.err");
    long bigKb = RssKb(big);
    std::string said = Slurp(root / "many.err");
    StopWatcher(big);
    std::printf("resident memory: %ld KB on an empty area, %ld KB %s", idleKb, bigKb,
                said.substr(said.find("watching")).c_str());
    std::printf("per watched directory: %.2f KB\n", static_cast<double>(bigKb - idleKb) / (kReleases * kDirsPerRelease));
    fs::remove_all(root);
    return 0;
}
