// A release directory in a test upload area, with helpers that send the
// events an FTP server would send for it.
#ifndef CREVIK_E2E_RELEASE_H
#define CREVIK_E2E_RELEASE_H

#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

class Release {
public:
    // `dir` is relative to the upload area, e.g. "Some.Release/CD1".
    Release(const Site& site, const std::string& dir);

    std::string path(const std::string& name = "") const { return dir_ + name; }
    // Writes the .sfv listing the given files (their contents are made up
    // here, so their CRCs are known).
    void WriteSfv(const std::string& sfvName, const std::vector<std::string>& files);
    // Puts a file's content in place (corrupted when asked) and reports the upload.
    void Upload(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb,
                bool corrupt = false);
    void Success(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb,
                 int sfvCount, int good);
    void Failed(const std::string& name, const std::string& user, const std::string& group, int kbps, int kb);
    void Event(const std::string& event, const std::string& name, const std::vector<std::string>& args = {});

    std::vector<std::string> Tree() const { return List(dir_); }
    std::string Log() const;  // "<absent>" without a log file

private:
    std::string Content(const std::string& name);

    const Site& site_;
    std::string dir_;
    std::map<std::string, std::string> contents_;
};

}  // namespace e2e

#endif
