// The program is started as the FTP server starts it: on POSIX by fork and
// exec, on Windows with one raw command line of quoted words.
#include "harness.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <random>

#include "sfv/crc32.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

// Made-up bytes that differ with every character of the name.
std::string Content(const std::string& name) {
    std::string bytes;
    for (size_t i = 0; i < 3000 + name.size() * 37; ++i)
        bytes += static_cast<char>((i * 131 + name[i % name.size()]) % 251);
    return bytes;
}

}  // namespace

Site::Site() {
    while (root_.empty()) {
        fs::path dir = fs::temp_directory_path() / ("crevik-e2e-" + std::to_string(std::random_device{}()));
        if (fs::create_directory(dir)) root_ = dir.string();
    }
    fs::create_directories(up());
    fs::create_directories(root_ + "/bin");
#ifdef _WIN32
    // A copy; the build passes the path the cross build saw, which under
    // Wine lives on drive Z:.
    program_ = root_ + "\\bin\\crevik.exe";
    std::string built = CREVIK_BIN;
    if (built[0] == '/') built = "Z:" + built;
    fs::copy_file(fs::path(built).make_preferred(), program_);
#else
    // A link in the site's own bin/, so that the program finds the site's Crevik.ini.
    program_ = root_ + "/bin/crevik";
    fs::create_symlink(fs::absolute(CREVIK_BIN), program_);
#endif
}

Site::~Site() {
    std::error_code ec;
#ifdef _WIN32
    // Read-only entries would stop the removal.
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    fs::remove_all(root_, ec);
}

#ifdef _WIN32
long Site::Start(const Words& words, bool) const {
    // Quotation marks group a word; the splitter has no escape, so a word that
    // holds one cannot be passed whole, as with the real server.
    std::string line = "\"" + program_ + "\"";
    for (const std::string& w : words) line += " \"" + w + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program_.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << program_ << " (error " << GetLastError() << ")";
        return 0;
    }
    CloseHandle(pi.hThread);
    return static_cast<long>(reinterpret_cast<intptr_t>(pi.hProcess));
}

int Site::Wait(long pid) {
    HANDLE process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(pid));
    DWORD code = 0;
    bool exited =
        process && WaitForSingleObject(process, 120000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    if (process) CloseHandle(process);
    return exited ? static_cast<int>(code) : -1;
}
#else
long Site::Start(const Words& words, bool traced) const {
    Words copy = words;
    copy.insert(copy.begin(), program_);
    std::vector<char*> argv;
    for (std::string& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (traced && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(126);
        if (traced) setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // LeakSanitizer cannot run under a tracer
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
#endif

std::string Site::up(const std::string& rel) const { return (fs::path(root_) / "up" / rel).make_preferred().string(); }

void Release::WriteSfv(const std::string& sfvName, const Words& files) const {
    std::string text = "; made by the tests\r\n";
    for (const std::string& f : files) {
        std::string bytes = Content(f);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", Crc32Update(0, bytes.data(), bytes.size()));
        text += f + " " + crc + "\r\n";
    }
    WriteFile(dir_ + sfvName, text);
}

void Release::Upload(const std::string& name, const Words& args, bool corrupt) const {
    std::string bytes = Content(name);
    if (corrupt) bytes[bytes.size() / 2] ^= 0x5A;
    WriteFile(dir_ + name, bytes);
    Event("fileuploaded", name, args);
}

void Release::Event(const std::string& event, const std::string& name, const Words& args) const {
    Words words = {event, dir_ + name};
    words.insert(words.end(), args.begin(), args.end());
    EXPECT_EQ(site_.Run(words), 0) << event << " " << name;
}

}  // namespace e2e
