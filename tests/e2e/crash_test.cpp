// A run killed at any moment of its save leaves the release's upload log as
// it was or as the run meant to leave it: never empty, never a mix. The
// program runs under ptrace so that a kill lands at a chosen system call.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "log/orvex_log.h"

namespace {

using e2e::Release;
using e2e::Site;

constexpr int kRecords = 500;
constexpr int kKills = 200;
constexpr int kSyscallStop = SIGTRAP | 0x80;

// Starts the program stopped at its first instruction, traced by this
// process; -1 when the system does not allow tracing.
pid_t StartTraced(const Site& site, e2e::Words words) {
    words.insert(words.begin(), site.program());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(126);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 1);  // LeakSanitizer cannot run under a tracer
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return -1;
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_EXITKILL | PTRACE_O_TRACESYSGOOD);
    return pid;
}

struct Outcome {
    int stops;  // system call entries and exits seen
    bool killed;
    int exitCode;
};

// Steps the traced program from stop to stop, calling `atStop` at each, and
// kills it at stop number `killAt` (0: never).
Outcome Trace(pid_t pid, int killAt, const std::function<void(int)>& atStop) {
    int stops = 0, signal = 0, status = 0;
    for (;;) {
        ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
        if (waitpid(pid, &status, 0) < 0) return {stops, false, -1};
        if (WIFEXITED(status)) return {stops, false, WEXITSTATUS(status)};
        if (WIFSIGNALED(status)) return {stops, true, -1};
        signal = WSTOPSIG(status) == kSyscallStop ? 0 : WSTOPSIG(status);
        if (signal) continue;
        atStop(++stops);
        if (stops != killAt) continue;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return {stops, true, -1};
    }
}

TEST(KilledMidSave, LeavesTheOldLogOrTheNewOneAndNothingElse) {
    Site site;
    Release rel(site, "Crash.Release");
    const std::string logPath = rel.path(".upChk.log"), tempPath = logPath + ".tmp";
    std::string oldLog;
    for (int i = 0; i < kRecords; ++i) {
        std::string name = "file" + std::to_string(i) + ".r00";
        oldLog += std::to_string(FileKey(name.c_str())) + "|a.user.with.a.long.name.of.31ch|crew|1000|500|S\n";
    }
    const std::string newLog = oldLog + std::to_string(FileKey("new.r00")) + "|joe|crew|700|350|N\n";
    e2e::WriteFile(rel.path("new.r00"), "x");
    const e2e::Words upload = {"fileuploaded", rel.path("new.r00"), "joe", "crew", "350", "700"};
    auto tempExists = [&] {
        struct stat st;
        return stat(tempPath.c_str(), &st) == 0;
    };

    // A whole run shows which stops lie inside the save: from the temporary
    // file's creation up to its rename over the log.
    e2e::WriteFile(logPath, oldLog);
    int firstInSave = 0, lastInSave = 0;
    pid_t traced = StartTraced(site, upload);
    ASSERT_GT(traced, 0) << "this system does not let a process trace its child";
    Outcome whole = Trace(traced, 0, [&](int stop) {
        if (!tempExists()) return;
        if (!firstInSave) firstInSave = stop;
        lastInSave = stop;
    });
    ASSERT_EQ(whole.exitCode, 0);
    ASSERT_EQ(e2e::FileText(logPath), newLog);
    ASSERT_GT(firstInSave, 0) << "the save wrote no temporary file";

    // Kills from just before the temporary file exists to just after the rename.
    std::random_device seed;
    unsigned seedValue = seed();
    SCOPED_TRACE("seed " + std::to_string(seedValue));
    std::mt19937 random(seedValue);
    std::uniform_int_distribution<int> moment(firstInSave - 1, lastInSave + 1);
    int leftOld = 0, leftNew = 0, killedWithTempFile = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (int n = 0; n < kKills; ++n) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "only " << n << " kills in the time allowed";
        e2e::WriteFile(logPath, oldLog);
        std::remove(tempPath.c_str());  // the count below is of this run's own temporary file
        int killAt = moment(random);
        bool tempAtKill = false;
        traced = StartTraced(site, upload);
        ASSERT_GT(traced, 0);
        Outcome run = Trace(traced, killAt, [&](int stop) {
            if (stop == killAt) tempAtKill = tempExists();
        });
        ASSERT_TRUE(run.killed) << "the run ended after " << run.stops << " stops, before stop " << killAt;
        std::string log = e2e::FileText(logPath);
        ASSERT_TRUE(log == oldLog || log == newLog)
            << "a kill at stop " << killAt << " left a log of " << log.size() << " bytes (old " << oldLog.size()
            << ", new " << newLog.size() << ")";
        ++(log == oldLog ? leftOld : leftNew);
        killedWithTempFile += tempAtKill;
    }
    std::printf(
        "[  figures ] %d kills inside stops %d..%d of %d: %d left the old log, %d the new one, "
        "%d struck while the temporary file existed\n",
        kKills, firstInSave - 1, lastInSave + 1, whole.stops, leftOld, leftNew, killedWithTempFile);
    EXPECT_GT(leftOld, 0);
    EXPECT_GT(leftNew, 0);
    EXPECT_GT(killedWithTempFile, kKills / 2);

    // A temporary file left by a killed save does not stand in the next run's way.
    e2e::WriteFile(logPath, oldLog);
    e2e::WriteFile(tempPath, "a killed run's partial save");
    EXPECT_EQ(site.Run(upload), 0);
    EXPECT_EQ(e2e::FileText(logPath), newLog);
    EXPECT_FALSE(tempExists());
}

}  // namespace
#endif
