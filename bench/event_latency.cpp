// Latency of one "fileuploaded" event on a release with 500 logged files,
// as the median of many runs, against starting a trivial program measured
// in the same run. The FTP server waits for every event, so this is the
// cost a user sees per upload. Then the cost of the race feed: a verdict
// ("sfvsuccess") with FEED unset against the same with FEED set.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/upload_log.h"

extern char** environ;

namespace {

constexpr int kLoggedFiles = 500;
constexpr int kRuns = 301;

double RunOnceMs(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status;
    waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/crevik\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    fs::path area = fs::temp_directory_path() / ("crevik-latency-" + std::to_string(getpid()));
    fs::path rel = area / "Some.Release";
    fs::create_directories(rel);
    fs::path program = area / "crevik";
    fs::copy_file(argv[1], program);
    fs::create_directories(area / "fed");
    fs::path fedProgram = area / "fed" / "crevik";
    fs::copy_file(argv[1], fedProgram);
    std::ofstream(area / "fed" / "Crevik.ini") << "[GENERAL]\nFEED=race.feed\n";

    {
        std::ofstream log(rel / ".upChk.log", std::ios::binary);
        std::ofstream sfv(rel / "some.sfv", std::ios::binary);
        for (int i = 0; i < kLoggedFiles; ++i) {
            std::string name = "some.r" + std::to_string(i);
            log << FileKey(name.c_str()) << "|user" << i % 7 << "|crew|15000|900|S\n";
            sfv << name << " 8CDC1683\r\n";  // the CRC of "x"
            std::ofstream(rel / name) << "x";
        }
        sfv << "new.r999 8CDC1683\r\n";
    }
    std::ofstream(rel / "new.r999") << "x";

    std::vector<std::string> event = {program.string(), "fileuploaded", (rel / "new.r999").string(),
                                      "user1", "crew", "900", "15000"};
    std::vector<std::string> trivial = {"/bin/true"};
    std::vector<std::string> verdict = {program.string(), "sfvsuccess", (rel / "new.r999").string(), "user1",
                                        "crew", "900", "15000", std::to_string(kLoggedFiles + 1), "501"};
    std::vector<std::string> fedVerdict = verdict;
    fedVerdict[0] = fedProgram.string();
    std::vector<double> eventMs, trivialMs, verdictMs, fedMs;
    for (int i = 0; i < kRuns; ++i) {  // interleaved, so load changes hit all alike
        eventMs.push_back(RunOnceMs(event));
        trivialMs.push_back(RunOnceMs(trivial));
        verdictMs.push_back(RunOnceMs(verdict));
        fedMs.push_back(RunOnceMs(fedVerdict));
    }
    double e = Median(eventMs), t = Median(trivialMs), v = Median(verdictMs), f = Median(fedMs);
    std::printf("fileuploaded, %d logged files: median %.3f ms over %d runs\n", kLoggedFiles, e, kRuns);
    std::printf("/bin/true:                      median %.3f ms over %d runs\n", t, kRuns);
    std::printf("ratio: %.2f (target 3 or less)\n", e / t);
    std::printf("sfvsuccess, no feed:            median %.3f ms\n", v);
    std::printf("sfvsuccess, feed on:            median %.3f ms (+%.3f ms, ratio %.2f)\n", f, f - v, f / v);
    fs::remove_all(area);
    return 0;
}
