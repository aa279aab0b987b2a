// The parts of the harness that need no operating system of their own.
#include "harness.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {

std::string Site::up(const std::string& rel) const {
    return (fs::path(root_) / "up" / rel).make_preferred().string();
}

void Site::SetConfig(const std::string& iniText) const {
    WriteFile((fs::path(root_) / "bin" / "Crevik.ini").string(), iniText);
}

long Site::Start(const std::string& event, const std::string& file, const std::vector<std::string>& args) const {
    std::vector<std::string> words = {program_, event, file};
    words.insert(words.end(), args.begin(), args.end());
    return Spawn(words);
}

int Site::Run(const std::vector<std::string>& words) const { return Wait(Spawn(words)); }

int Site::Event(const std::string& event, const std::string& file, const std::vector<std::string>& args) const {
    return Wait(Start(event, file, args));
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
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
