// Linux side of watching directories (inotify), child processes and the
// file facts the watcher needs.
#include "platform/platform_internal.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr unsigned kWatchMask = IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE | IN_CREATE |
                                IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

volatile sig_atomic_t stopRequested = 0;
int wakeWriter = -1;  // the write end of the watcher's wake-up pipe

void OnSignal(int sig) {
    int saved = errno;
    if (sig != SIGCHLD) stopRequested = 1;
    if (wakeWriter >= 0) (void)!write(wakeWriter, "", 1);
    errno = saved;
}

void Catch(int sig) {
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | (sig == SIGCHLD ? SA_NOCLDSTOP : 0);
    sigaction(sig, &action, nullptr);
}

unsigned FlagsOf(uint32_t mask) {
    unsigned flags = 0;
    if (mask & IN_CLOSE_WRITE) flags |= kChangeWritten;
    if (mask & IN_MOVED_TO) flags |= kChangeMovedIn;
    if (mask & IN_MOVED_FROM) flags |= kChangeMovedOut;
    if (mask & IN_DELETE) flags |= kChangeDeleted;
    if (mask & IN_CREATE) flags |= kChangeCreated;
    if (mask & IN_ISDIR) flags |= kChangeIsDir;
    if (mask & IN_IGNORED) flags |= kChangeWatchEnded;
    if (mask & IN_Q_OVERFLOW) flags |= kChangeOverflow;
    return flags;
}

// The first field of the line of a colon-separated list (/etc/passwd,
// /etc/group) whose third field is `id`; "-" when there is none. `fourth`,
// when given, gets the number in the fourth field (a user's primary group).
void NameOfId(const char* listPath, unsigned id, char out[kOwnerNameMax], long* fourth = nullptr) {
    std::strcpy(out, "-");
    if (fourth) *fourth = -1;
    FILE* list = std::fopen(listPath, "re");
    if (!list) return;
    char* line = nullptr;
    size_t size = 0;
    while (getline(&line, &size, list) > 0) {
        char* nameEnd = std::strchr(line, ':');
        char* idField = nameEnd ? std::strchr(nameEnd + 1, ':') : nullptr;
        if (!idField || nameEnd == line) continue;
        char* idEnd;
        errno = 0;
        unsigned long value = std::strtoul(idField + 1, &idEnd, 10);
        if (idEnd == idField + 1 || *idEnd != ':' || errno || value != id) continue;
        size_t len = static_cast<size_t>(nameEnd - line);
        if (len >= static_cast<size_t>(kOwnerNameMax)) len = kOwnerNameMax - 1;
        std::memcpy(out, line, len);
        out[len] = '\0';
        if (fourth && std::isdigit(static_cast<unsigned char>(idEnd[1])))
            *fourth = static_cast<long>(std::strtoul(idEnd + 1, nullptr, 10));
        break;
    }
    std::free(line);
    std::fclose(list);
}

}  // namespace

// ---- watching directories ------------------------------------------------------

struct PlatWatcher {
    int fd;
    int wakeReader;
    size_t used;  // bytes of `events` from the last read
    size_t next;  // the first of them not handed out yet
    alignas(struct inotify_event) char events[64 * 1024];
};

PlatWatcher* PlatOpenWatcher() {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    PlatWatcher* watcher = fd < 0 ? nullptr : new (std::nothrow) PlatWatcher;
    if (!watcher) {
        int err = errno;
        if (fd >= 0) close(fd);
        close(pipeFds[0]);
        close(pipeFds[1]);
        errno = err;
        return nullptr;
    }
    watcher->fd = fd;
    watcher->wakeReader = pipeFds[0];
    watcher->used = watcher->next = 0;
    wakeWriter = pipeFds[1];
    Catch(SIGTERM);
    Catch(SIGINT);
    Catch(SIGCHLD);
    return watcher;
}

void PlatCloseWatcher(PlatWatcher* watcher) {
    if (!watcher) return;
    close(watcher->fd);
    close(watcher->wakeReader);
    // The handlers stay: a late signal only finds no pipe to write to.
    int writer = wakeWriter;
    wakeWriter = -1;
    close(writer);
    delete watcher;
}

int PlatAddWatch(PlatWatcher* watcher, const char* dir) { return inotify_add_watch(watcher->fd, dir, kWatchMask); }

void PlatRemoveWatch(PlatWatcher* watcher, int watch) { inotify_rm_watch(watcher->fd, watch); }

int PlatReadChanges(PlatWatcher* watcher, PlatChange* out, int max, int timeoutMs) {
    if (watcher->next >= watcher->used) {
        struct pollfd fds[2] = {{watcher->fd, POLLIN, 0}, {watcher->wakeReader, POLLIN, 0}};
        int ready = poll(fds, 2, timeoutMs);
        if (ready < 0) return errno == EINTR ? 0 : -1;
        char drain[64];
        while (read(watcher->wakeReader, drain, sizeof drain) > 0) {
        }
        if (!(fds[0].revents & POLLIN)) return 0;
        ssize_t got = read(watcher->fd, watcher->events, sizeof watcher->events);
        if (got <= 0) return (got < 0 && (errno == EAGAIN || errno == EINTR)) ? 0 : -1;
        watcher->used = static_cast<size_t>(got);
        watcher->next = 0;
    }
    int count = 0;
    while (count < max && watcher->next < watcher->used) {
        const auto* e = reinterpret_cast<const struct inotify_event*>(watcher->events + watcher->next);
        watcher->next += sizeof(struct inotify_event) + e->len;
        out[count++] = PlatChange{e->wd, FlagsOf(e->mask), e->cookie, e->len ? e->name : ""};
    }
    return count;
}

bool PlatStopRequested() { return stopRequested != 0; }

// ---- child processes ---------------------------------------------------------------

long PlatStartProcess(const char* const* argv) {
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return -1;
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &files, &attr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return pid;
}

long PlatReapChild() {
    for (;;) {
        pid_t pid = waitpid(-1, nullptr, WNOHANG);
        if (pid >= 0) return pid;
        if (errno != EINTR) return -1;
    }
}

// ---- file facts ------------------------------------------------------------------------

void PlatOwnerNames(const char* path, char user[kOwnerNameMax], char group[kOwnerNameMax]) {
    struct stat st;
    if (lstat(path, &st) != 0) {
        std::strcpy(user, "-");
        std::strcpy(group, "-");
        return;
    }
    // The lists themselves rather than the C library's lookup, which a static
    // program can only do with the shared libraries of its own build.
    // The owner's primary group, as an FTP server's %g: in a set-group-ID
    // area every file has the area's group.
    long primary;
    NameOfId("/etc/passwd", st.st_uid, user, &primary);
    if (primary >= 0)
        NameOfId("/etc/group", static_cast<unsigned>(primary), group);
    else
        std::strcpy(group, "-");
}

bool PlatOpenForWriting(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    // A read lease is refused exactly while someone has the file open for writing.
    bool writing = fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN;
    if (!writing) fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return writing;
}
