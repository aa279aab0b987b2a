// The program is started as the FTP server starts it: on POSIX by fork and
// exec, on Windows with one raw command line of quoted words.
#include "harness.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <grp.h>
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

Site::Output Site::Capture(const Words& words, How how) const {
    Output result;
    result.status = Wait(Start(words, how));
    result.out = FileText(root_ + "/stdout.txt");
    result.err = FileText(root_ + "/stderr.txt");
#ifdef _WIN32
    // Windows programs end their printed lines the Windows way.
    for (std::string* text : {&result.out, &result.err})
        for (size_t at; (at = text->find("\r\n")) != std::string::npos;) text->erase(at, 1);
#endif
    return result;
}

#ifdef _WIN32
namespace {
HANDLE InheritedFile(const std::string& path) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}
}  // namespace

long Site::Start(const Words& words, How how) const {
    // Quotation marks group a word; the splitter has no escape, so a word that
    // holds one cannot be passed whole, as with the real server.
    std::string line = "\"" + program_ + "\"";
    for (const std::string& w : words) line += " \"" + w + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    bool capture = how == How::Captured;
    if (capture) {  // as a server hands a site command's output to the client
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = InheritedFile(root_ + "\\stdout.txt");
        si.hStdError = InheritedFile(root_ + "\\stderr.txt");
    }
    PROCESS_INFORMATION pi = {};
    bool started = CreateProcessA(program_.c_str(), &line[0], nullptr, nullptr, capture, 0, nullptr, nullptr, &si, &pi);
    if (capture) {
        CloseHandle(si.hStdOutput);
        CloseHandle(si.hStdError);
    }
    if (!started) {
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
long Site::Start(const Words& words, How how) const {
    bool traced = how == How::Traced;
    Words copy = words;
    copy.insert(copy.begin(), program_);
    std::vector<char*> argv;
    for (std::string& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (how == How::Captured || how == How::AsNobody) {
            dup2(open((root_ + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open((root_ + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        }
        const unsigned nobody = 65534;
        if (how == How::AsNobody && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(126);
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

std::string Site::bin(const std::string& name) const {
    return (fs::path(root_) / "bin" / name).make_preferred().string();
}

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

void Release::Put(const std::string& name, bool corrupt) const {
    std::string bytes = Content(name);
    if (corrupt) bytes[bytes.size() / 2] ^= 0x5A;
    WriteFile(dir_ + name, bytes);
}

void Release::Upload(const std::string& name, const Words& args, bool corrupt) const {
    Put(name, corrupt);
    Event("fileuploaded", name, args);
}

void Release::Event(const std::string& event, const std::string& name, const Words& args) const {
    Words words = {event, dir_ + name};
    words.insert(words.end(), args.begin(), args.end());
    EXPECT_EQ(site_.Run(words), 0) << event << " " << name;
}

long CountLines(const std::string& text, const std::string& needle) {
    long n = 0;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        if (text.substr(at, end - at).find(needle) != std::string::npos) ++n;
    return n;
}

#ifndef _WIN32
int RunPython(const std::string& scriptAndWords, const std::string& path, std::string* out) {
    std::string command = "python3 " CREVIK_SOURCE_DIR "/" + scriptAndWords + " '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    for (size_t got; (got = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out->append(buf, got);
    return pclose(pipe);
}
#endif

}  // namespace e2e
