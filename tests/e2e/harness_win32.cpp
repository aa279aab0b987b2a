// The harness on Windows: crevik.exe is started as the FTP server starts it,
// with one raw command line of quoted words and Windows paths.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "harness.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

// The build passes the path the cross build saw; under Wine a POSIX path
// lives on drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Quotation marks group a word; the splitter has no escape, so a word that
// holds one cannot be passed whole, as with the real server.
std::string CommandLine(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& w : words) line += (line.empty() ? "\"" : " \"") + w + "\"";
    return line;
}

HANDLE Spawn(const std::string& program, const std::vector<std::string>& words) {
    std::string line = CommandLine(words);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << program << " (error " << GetLastError() << ")";
        return nullptr;
    }
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

}  // namespace

Site::Site() {
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        std::string candidate =
            (fs::temp_directory_path() / ("crevik-e2e-" + std::to_string(std::random_device{}()))).string();
        if (CreateDirectoryA(candidate.c_str(), nullptr)) root_ = candidate;
    }
    MakeDirs(root_ + "\\bin");
    MakeDirs(root_ + "\\up");
    program_ = root_ + "\\bin\\crevik.exe";
    fs::copy_file(WindowsPath(CREVIK_BIN), program_);
}

Site::~Site() {
    // Read-only entries would stop the removal.
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(root_, ec);
}

std::string Site::up(const std::string& rel) const {
    std::string path = root_ + "\\up\\" + rel;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void Site::SetConfig(const std::string& iniText) const { WriteFile(root_ + "\\bin\\Crevik.ini", iniText); }

long Site::Start(const std::string& event, const std::string& file, const std::vector<std::string>& args) const {
    std::vector<std::string> words = {program_, event, file};
    words.insert(words.end(), args.begin(), args.end());
    return static_cast<long>(reinterpret_cast<intptr_t>(Spawn(program_, words)));
}

int Site::Wait(long pid) {
    HANDLE process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(pid));
    if (!process) return -1;
    DWORD code = 0;
    bool exited = WaitForSingleObject(process, 120000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return exited ? static_cast<int>(code) : -1;
}

int Site::Run(const std::vector<std::string>& words) const {
    return Wait(static_cast<long>(reinterpret_cast<intptr_t>(Spawn(program_, words))));
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

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDir(const std::string& path) {
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
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
