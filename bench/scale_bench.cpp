// How the cost of one event grows with the release: releases of N small
// files with a .sfv, each event timed as the median of several runs of the
// program on a release laid out afresh before every run, with the status
// directories the program shows for it, for N = 100, 1,000 and 10,000. Then
// rescan and check of each release once, and the peak resident memory of any
// run on it. Ratios between rows are what count: the load of a shared
// machine moves every row alike.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/upload_log.h"
#include "sfv/crc32.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

constexpr int kFileBytes = 1000;
constexpr int kUsers = 12;   // racers, spread over kGroups groups
constexpr int kGroups = 4;

long peakKb = 0;
double lastCpuMs = 0;  // user and system time of the last run: what a shared machine's load moves least

double RunMs(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", 0x1 /* O_WRONLY */, 0);
    auto start = std::chrono::steady_clock::now();
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    int status;
    rusage usage;
    wait4(pid, &status, 0, &usage);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    peakKb = std::max(peakKb, usage.ru_maxrss);
    lastCpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string FileName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "Big.Set.%05d.rar", i);
    return name;
}

struct Release {
    fs::path dir;
    int files;
    std::vector<std::string> names;
};

// The files and the .sfv once; the log and status entries per run.
Release MakeRelease(const fs::path& area, int files) {
    Release rel{area / ("Scale." + std::to_string(files)), files, {}};
    fs::create_directories(rel.dir);
    std::ofstream sfv(rel.dir / "big.set.sfv", std::ios::binary);
    std::string body(kFileBytes, 'x');
    for (int i = 0; i < files; ++i) {
        rel.names.push_back(FileName(i));
        std::snprintf(&body[0], body.size(), "%d", i);
        std::ofstream(rel.dir / rel.names.back(), std::ios::binary) << body;
        char line[64];
        std::snprintf(line, sizeof line, " %08X\r\n", Crc32Update(0, body.data(), body.size()));
        sfv << rel.names.back() << line;
    }
    return rel;
}

// Everything the program made goes; a log of the first `logged` files with
// this status is written.
void ResetRelease(const Release& rel, int logged, char status) {
    for (const auto& entry : fs::directory_iterator(rel.dir)) {
        std::string name = entry.path().filename().string();
        bool own = name.compare(0, 8, "Big.Set.") == 0 && name.size() == 17;
        if (!own && name != "big.set.sfv") fs::remove_all(entry.path());
    }
    std::ofstream log(rel.dir / ".upChk.log", std::ios::binary);
    for (int i = 0; i < logged; ++i)
        log << FileKey(rel.names[static_cast<size_t>(i)].c_str()) << "|racer" << i % kUsers << "|grp"
            << i % kUsers % kGroups << "|1|" << 100 + i % 900 << '|' << status << '\n';
}

struct Event {
    const char* title;
    int loggedBack;  // the log holds all files but this many
    char status;     // of every logged record
    std::vector<std::string> (*words)(const std::string& program, const Release& rel);
    bool progress;   // the release shows its progress before the event
};

std::string LastFile(const Release& rel) { return (rel.dir / rel.names.back()).string(); }

// The copy of the program whose Crevik.ini turns the race feed on, beside the plain one's directory.
std::string FeedProgram(const std::string& program) {
    return (fs::path(program).parent_path().parent_path() / "feed" / "crevik").string();
}

// The status directories the program made for the log as it stands: each
// racer's upload directory, from an upload of a file it has sent, which
// changes no record, and the progress of all files but the last two.
void ShowStatus(const std::string& program, const Release& rel, bool progress) {
    for (int i = 0; i < kUsers; ++i)
        RunMs({program, "fileuploaded", (rel.dir / rel.names[static_cast<size_t>(i)]).string(),
               "racer" + std::to_string(i), "grp" + std::to_string(i % kGroups), std::to_string(100 + i), "1"});
    if (progress)
        RunMs({program, "sfvsuccess", (rel.dir / rel.names[0]).string(), "racer0", "grp0", "100", "1",
               std::to_string(rel.files), std::to_string(rel.files - 2)});
}

const Event kEvents[] = {
    // The last upload of a release whose other files are logged, as
    // "fileuploaded" words it, and as "upload" (the program verifies) on a
    // release that stays one file short.
    {"upload@N", 1, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "fileuploaded", LastFile(rel), "racer1", "grp1", "500", "1"};
     }, false},
    {"upload word", 2, 'S',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "upload", (rel.dir / rel.names[rel.names.size() - 2]).string(),
                                         "racer1", "grp1", "500"};
     }, false},
    {"sfvsuccess", 1, 'S',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "sfvsuccess", LastFile(rel), "racer1", "grp1", "500", "1",
                                         std::to_string(rel.files), std::to_string(rel.files - 1)};
     }, true},
    // The .sfv arrives last: every logged file gets its CRC checked.
    {"sfvuploaded", 0, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "sfvuploaded", (rel.dir / "big.set.sfv").string(),
                                         std::to_string(rel.files), "0"};
     }, false},
    // The same with the race feed on: a line for every verdict of the pass.
    {"sfvuploaded feed", 0, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{FeedProgram(p), "sfvuploaded", (rel.dir / "big.set.sfv").string(),
                                         std::to_string(rel.files), "0"};
     }, false},
    // The same behind a server that only says a file was stored.
    {"upload .sfv", 0, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "upload", (rel.dir / "big.set.sfv").string(), "racer1", "grp1", "500"};
     }, false},
    {"sfvcomplete", 0, 'S',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "sfvcomplete", LastFile(rel)};
     }, true},
    // Operator commands on a release whose files were all uploaded unverified.
    {"rescan", 0, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "rescan", rel.dir.string()};
     }, false},
    {"check", 0, 'N',
     [](const std::string& p, const Release& rel) {
         return std::vector<std::string>{p, "check", rel.dir.string()};
     }, false},
};
constexpr int kEventCount = sizeof kEvents / sizeof kEvents[0];

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s path/to/crevik [parent-dir] [runs]\n", argv[0]);
        return 2;
    }
    fs::path parent = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
    int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 11;
    fs::path area = parent / ("crevik-scale-" + std::to_string(getpid()));
    fs::create_directories(area / "bin");
    std::string program = (area / "bin" / "crevik").string();
    fs::copy_file(argv[1], program);
    fs::create_directories(area / "feed");
    fs::copy_file(argv[1], FeedProgram(program));
    std::ofstream(area / "feed" / "Crevik.ini") << "[GENERAL]\nFEED=race.feed\n";

    const int sizes[] = {100, 1000, 10000};
    constexpr int kSizes = 3;
    std::vector<Release> releases;
    for (int files : sizes) releases.push_back(MakeRelease(area, files));
    sync();  // the files written back before the timing, not during its first rows
    // A few untimed runs first: the first runs of a fresh copy of the program are slower.
    for (int warm = 0; warm < 5; ++warm)
        for (const Release& rel : releases) {
            ResetRelease(rel, rel.files - kEvents[0].loggedBack, kEvents[0].status);
            RunMs(kEvents[0].words(program, rel));
        }
    // Sizes interleaved run by run, so that a change in the machine's load
    // hits every row alike.
    double ms[kEventCount][kSizes], cpu[kEventCount][kSizes];
    long peak[kSizes] = {};
    for (int e = 0; e < kEventCount; ++e) {
        std::vector<double> times[kSizes], cpuTimes[kSizes];
        for (int r = 0; r < runs; ++r)
            for (int s = 0; s < kSizes; ++s) {
                const Release& rel = releases[static_cast<size_t>(s)];
                ResetRelease(rel, rel.files - kEvents[e].loggedBack, kEvents[e].status);
                ShowStatus(program, rel, kEvents[e].progress);
                peakKb = 0;
                times[s].push_back(RunMs(kEvents[e].words(program, rel)));
                cpuTimes[s].push_back(lastCpuMs);
                peak[s] = std::max(peak[s], peakKb);
            }
        for (int s = 0; s < kSizes; ++s) {
            ms[e][s] = Median(times[s]);
            cpu[e][s] = Median(cpuTimes[s]);
        }
    }

    for (int table = 0; table < 2; ++table) {
        double (&t)[kEventCount][kSizes] = table == 0 ? ms : cpu;
        std::printf("\nmedian %s ms of one run over %d runs (%d B files, %d racers in %d groups)\n|  N files |",
                    table == 0 ? "wall" : "CPU (user + system)", runs, kFileBytes, kUsers, kGroups);
        for (const Event& e : kEvents) std::printf(" %s |", e.title);
        std::printf(" peak MB |\n|---|");
        for (int e = 0; e < kEventCount; ++e) std::printf("---|");
        std::printf("---|\n");
        for (int s = 0; s < kSizes; ++s) {
            std::printf("| %d |", sizes[s]);
            for (int e = 0; e < kEventCount; ++e) std::printf(" %.1f |", t[e][s]);
            std::printf(" %.1f |\n", static_cast<double>(peak[s]) / 1024.0);
        }
        double grow = 0;
        for (int e = 0; e < kEventCount; ++e) grow = std::max(grow, t[e][2] / t[e][1]);
        std::printf("largest 10,000 / 1,000 ratio: %.1f (aim: 12 or less)\n", grow);
        std::printf("10,000 / 100: upload@N %.1f, sfvsuccess %.1f (aim: 4 or less)\n", t[0][2] / t[0][0],
                    t[2][2] / t[2][0]);
    }
    std::printf("peak memory at 10,000: %.1f MB (aim: under 16)\n", static_cast<double>(peak[2]) / 1024.0);
    fs::remove_all(area);
    return 0;
}
