// The harness on Windows: crevik.exe is started as the FTP server starts it,
// with one raw command line of quoted words and Windows paths.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>

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

long Site::Spawn(const std::vector<std::string>& words) const {
    std::string line = CommandLine(words);
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
    if (!process) return -1;
    DWORD code = 0;
    bool exited = WaitForSingleObject(process, 120000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return exited ? static_cast<int>(code) : -1;
}

}  // namespace e2e
#endif
