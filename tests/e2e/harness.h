// Drives the built program as the FTP server would: one process per event,
// in a private upload area with its own program directory and settings.
#ifndef CREVIK_E2E_HARNESS_H
#define CREVIK_E2E_HARNESS_H

#include <string>
#include <vector>

namespace e2e {

// A fresh upload area: <root>/bin holds the program (and Crevik.ini),
// <root>/up is the upload area.
class Site {
public:
    Site();
    ~Site();
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    std::string root() const { return root_; }
    std::string program() const { return program_; }
    std::string up(const std::string& rel = "") const;  // path inside the upload area

    void SetConfig(const std::string& iniText) const;
    // Runs one event; returns the exit status (-1 when the program did not exit normally).
    int Run(const std::vector<std::string>& words) const;
    int Event(const std::string& event, const std::string& file, const std::vector<std::string>& args = {}) const;
    // Starts an event without waiting; Wait() collects it.
    long Start(const std::string& event, const std::string& file, const std::vector<std::string>& args = {}) const;
    static int Wait(long pid);

private:
    // Starts the program with these words as its command line; the process or 0.
    long Spawn(const std::vector<std::string>& words) const;

    std::string root_;
    std::string program_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
bool IsDir(const std::string& path);
void MakeDirs(const std::string& path);
// Entry names of a directory, sorted; directories get a trailing '/'.
std::vector<std::string> List(const std::string& dir);
std::string Joined(const std::vector<std::string>& names);  // one per line, for readable failures

}  // namespace e2e

#endif
