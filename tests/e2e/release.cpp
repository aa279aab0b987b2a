#include "release.h"

#include <cstdio>

#include "sfv/crc32.h"

namespace e2e {

Release::Release(const Site& site, const std::string& dir) : site_(site), dir_(site.up(dir + "/")) {
    MakeDirs(dir_);
}

std::string Release::Content(const std::string& name) {
    auto it = contents_.find(name);
    if (it != contents_.end()) return it->second;
    std::string bytes;
    for (size_t i = 0; i < 3000 + name.size() * 37; ++i) bytes += static_cast<char>((i * 131 + name[0]) % 251);
    return contents_[name] = bytes;
}

void Release::WriteSfv(const std::string& sfvName, const std::vector<std::string>& files) {
    std::string text = "; made by the tests\r\n";
    for (const std::string& f : files) {
        std::string bytes = Content(f);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", Crc32Update(0, bytes.data(), bytes.size()));
        text += f + " " + crc + "\r\n";
    }
    WriteFile(dir_ + sfvName, text);
}

void Release::Upload(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb,
                     bool corrupt) {
    std::string bytes = Content(name);
    if (corrupt) bytes[bytes.size() / 2] ^= 0x5A;
    WriteFile(dir_ + name, bytes);
    Event("fileuploaded", name, {user, group, std::to_string(kbps), std::to_string(kb)});
}

void Release::Success(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb,
                      int sfvCount, int good) {
    Event("sfvsuccess", name,
          {user, group, std::to_string(kbps), std::to_string(kb), std::to_string(sfvCount), std::to_string(good)});
}

void Release::Failed(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb) {
    Event("sfvfailed", name, {user, group, std::to_string(kbps), std::to_string(kb)});
}

void Release::Event(const std::string& event, const std::string& name, const std::vector<std::string>& args) {
    site_.Event(event, dir_ + name, args);
}

std::string Release::Log() const {
    return Exists(dir_ + ".upChk.log") ? ReadFile(dir_ + ".upChk.log") : "<absent>";
}

}  // namespace e2e
