#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
}

std::string Site::up(const std::string& rel) const { return root_ + "/up/" + rel; }

void Site::SetConfig(const std::string& iniText) const { WriteFile(root_ + "/bin/Crevik.ini", iniText); }

long Site::Start(const std::string& event, const std::string& file, const std::vector<std::string>& args) const {
    std::vector<std::string> words = {program_, event, file};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
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
    if (waitpid(static_cast<pid_t>(pid), &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Site::Run(const std::vector<std::string>& words) const {
    std::vector<std::string> copy = words;
    std::vector<char*> argv;
    for (std::string& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        execv(program_.c_str(), argv.data());
        _exit(127);
    }
    return Wait(pid);
}

int Site::Event(const std::string& event, const std::string& file, const std::vector<std::string>& args) const {
    return Wait(Start(event, file, args));
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool IsDir(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

void MakeDirs(const std::string& path) { fs::create_directories(path); }

std::vector<std::string> List(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string() + (e.is_directory() ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += n + "\n";
    return out;
}

}  // namespace e2e
#endif
