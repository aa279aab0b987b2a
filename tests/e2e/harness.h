// Drives the built program as the FTP server would: one process per event,
// in a private upload area with its own program directory and settings.
#ifndef CREVIK_E2E_HARNESS_H
#define CREVIK_E2E_HARNESS_H

#include <gtest/gtest.h>

#include "../file_io.h"

namespace e2e {

using namespace test_files;
inline void MakeDirs(const std::string& path) { std::filesystem::create_directories(path); }

// A fresh upload area: <root>/bin holds the program (and Crevik.ini),
// <root>/up is the upload area.
class Site {
public:
    Site();
    ~Site();
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    std::string up(const std::string& rel = "") const;  // path inside the upload area
    std::string bin(const std::string& name) const;     // path beside the program
    void SetConfig(const std::string& iniText) const { WriteFile(root_ + "/bin/Crevik.ini", iniText); }
    // Starts the program with these words after its name, without waiting;
    // Wait() gives its exit status (-1 when it did not exit normally).
    // Captured: standard output and error go to the site's files. Traced
    // (POSIX): this process traces it. AsNobody (POSIX, started by root):
    // captured, as user nobody with no other group.
    enum class How { Plain, Captured, Traced, AsNobody };
    long Start(const Words& words, How how = How::Plain) const;
    static int Wait(long pid);
    int Run(const Words& words) const { return Wait(Start(words)); }
    struct Output {
        int status;
        std::string out, err;
    };
    Output Capture(const Words& words, How how = How::Captured) const;  // one run, waited for; lines end in "\n"

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
    void Put(const std::string& name, bool corrupt = false) const;  // the content only
    // Sends an event on a file of the release; the program must exit with 0.
    void Event(const std::string& event, const std::string& name, const Words& args = {}) const;
    std::string Log() const { return FileText(dir_ + ".upChk.log"); }  // "<absent>" without a log

private:
    const Site& site_;
    std::string dir_;
};

// The race feed, as this setting puts it beside the program: site.bin("race.feed").
constexpr const char* kFeedSetting = "[GENERAL]\nFEED=race.feed\n";
// Lines that hold `needle`.
long CountLines(const std::string& text, const std::string& needle);
#ifndef _WIN32
// A Python script of the source tree with its words and one path: its output
// and exit status.
int RunPython(const std::string& scriptAndWords, const std::string& path, std::string* out);
// Checks every line of a feed; prints one line per feed line: the event and
// its names as the hex of their bytes.
constexpr const char* kFeedCheck = "tests/e2e/feed_check.py";
#endif

}  // namespace e2e

#endif
