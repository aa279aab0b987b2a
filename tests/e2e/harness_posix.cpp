// The harness on POSIX: the program is a link in the site's own bin/, so it
// finds the site's Crevik.ini, and each event is one fork and exec.
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "harness.h"

namespace fs = std::filesystem;

namespace e2e {

Site::Site() {
    char pattern[] = "/tmp/crevik-e2e-XXXXXX";
    root_ = mkdtemp(pattern);
    MakeDirs(root_ + "/bin");
    MakeDirs(root_ + "/up");
    program_ = root_ + "/bin/crevik";
    fs::create_symlink(fs::absolute(CREVIK_BIN), program_);
}

Site::~Site() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

long Site::Spawn(const std::vector<std::string>& words) const {
    std::vector<std::string> copy = words;
    std::vector<char*> argv;
    for (std::string& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        execv(program_.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int Site::Wait(long pid) {
    int status = 0;
    if (pid <= 0 || waitpid(static_cast<pid_t>(pid), &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace e2e
#endif
