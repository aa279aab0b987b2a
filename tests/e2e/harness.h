// Drives the built program as the FTP server would: one process per event,
// in a private upload area with its own program directory and settings.
#ifndef CREVIK_E2E_HARNESS_H
#define CREVIK_E2E_HARNESS_H

#include <gtest/gtest.h>

#include "../file_io.h"

namespace e2e {

using namespace test_files;

// A fresh upload area: <root>/bin holds the program (and Crevik.ini),
// <root>/up is the upload area.
class Site {
public:
    Site();
    ~Site();
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    std::string up(const std::string& rel = "") const;  // path inside the upload area
    void SetConfig(const std::string& iniText) const { WriteFile(root_ + "/bin/Crevik.ini", iniText); }
    // Starts the program with these words after its name, without waiting
    // (on POSIX, traced by this process when asked); Wait() gives its exit
    // status (-1 when it did not exit normally).
    long Start(const Words& words, bool traced = false) const;
    static int Wait(long pid);
    int Run(const Words& words) const { return Wait(Start(words)); }

private:
    std::string root_, program_;
};

// A release directory in a site, and the events an FTP server sends for it.
class Release {
public:
    // `dir` is relative to the upload area, e.g. "Some.Release/CD1".
    Release(const Site& site, const std::string& dir) : site_(site), dir_(site.up(dir + "/")) {
        std::filesystem::create_directories(dir_);
    }
    std::string path(const std::string& name = "") const { return dir_ + name; }
    // Writes the .sfv listing these files, whose contents are made up here.
    void WriteSfv(const std::string& sfvName, const Words& files) const;
    // Puts a file's content in place (damaged when asked) and reports the upload.
    void Upload(const std::string& name, const Words& args, bool corrupt = false) const;
    // Sends an event on a file of the release; the program must exit with 0.
    void Event(const std::string& event, const std::string& name, const Words& args = {}) const;
    std::string Log() const { return FileText(dir_ + ".upChk.log"); }  // "<absent>" without a log

private:
    const Site& site_;
    std::string dir_;
};

}  // namespace e2e

#endif
