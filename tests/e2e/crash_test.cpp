// A run killed at any moment of its save leaves the release's upload log as
// it was or as the run meant to leave it: never empty, never a mix. The
// program runs under ptrace so that a kill lands at a chosen system call.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "harness.h"
#include "log/upload_log.h"

namespace {

using namespace e2e;

constexpr int kRecords = 500;
constexpr int kKills = 200;
constexpr int kSyscallStop = SIGTRAP | 0x80;

// Runs the program traced by this process, from stop to stop (each system
// call's entry and exit), calling `atStop` at each, and kills it at stop
// number `killAt` (0: never). Returns the stops seen and whether it exited
// with 0; -1 when the system does not allow tracing.
std::pair<int, bool> Trace(const Site& site, const Words& words, int killAt, const std::function<void(int)>& atStop) {
    pid_t pid = static_cast<pid_t>(site.Start(words, e2e::Site::How::Traced));
    int status = 0, stops = 0, signal = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return {-1, false};
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_EXITKILL | PTRACE_O_TRACESYSGOOD);
    for (;;) {
        ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
        if (waitpid(pid, &status, 0) < 0 || WIFSIGNALED(status)) return {stops, false};
        if (WIFEXITED(status)) return {stops, WEXITSTATUS(status) == 0};
        signal = WSTOPSIG(status) == kSyscallStop ? 0 : WSTOPSIG(status);
        if (signal) continue;
        atStop(++stops);
        if (stops != killAt) continue;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return {stops, false};
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
    WriteFile(rel.path("new.r00"), "x");
    const Words upload = {"fileuploaded", rel.path("new.r00"), "joe", "crew", "350", "700"};

    // A whole run shows which stops lie inside the save: from the temporary
    // file's creation up to its rename over the log.
    WriteFile(logPath, oldLog);
    int firstInSave = 0, lastInSave = 0;
    auto [stops, exitedWell] = Trace(site, upload, 0, [&](int stop) {
        if (!Exists(tempPath)) return;
        if (!firstInSave) firstInSave = stop;
        lastInSave = stop;
    });
    ASSERT_GE(stops, 0) << "this system does not let a process trace its child";
    ASSERT_TRUE(exitedWell);
    ASSERT_EQ(FileText(logPath), newLog);
    ASSERT_GT(firstInSave, 0) << "the save wrote no temporary file";

    // Kills at each stop in turn, from just before the temporary file exists to just after the rename.
    const int moments = lastInSave - firstInSave + 3;
    int leftOld = 0, leftNew = 0, killedWithTempFile = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (int n = 0; n < kKills; ++n) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "only " << n << " kills in the time allowed";
        WriteFile(logPath, oldLog);
        std::remove(tempPath.c_str());  // the count below is of this run's own temporary file
        int killAt = firstInSave - 1 + n % moments;
        bool tempAtKill = false;
        auto [stopsSeen, exited] = Trace(site, upload, killAt, [&](int stop) {
            if (stop == killAt) tempAtKill = Exists(tempPath);
        });
        ASSERT_TRUE(stopsSeen == killAt && !exited)
            << "the run ended after " << stopsSeen << " stops, before stop " << killAt;
        std::string log = FileText(logPath);
        ASSERT_TRUE(log == oldLog || log == newLog)
            << "a kill at stop " << killAt << " left a log of " << log.size() << " bytes (old " << oldLog.size()
            << ", new " << newLog.size() << ")";
        ++(log == oldLog ? leftOld : leftNew);
        killedWithTempFile += tempAtKill;
    }
    std::printf(
        "[  figures ] %d kills inside stops %d..%d of %d: %d left the old log, %d the new one, "
        "%d struck while the temporary file existed\n",
        kKills, firstInSave - 1, lastInSave + 1, stops, leftOld, leftNew, killedWithTempFile);
    EXPECT_GT(leftOld, 0);
    EXPECT_GT(leftNew, 0);
    EXPECT_GT(killedWithTempFile, kKills / 2);

    // A temporary file left by a killed save does not stand in the next run's way.
    WriteFile(logPath, oldLog);
    WriteFile(tempPath, "a killed run's partial save");
    EXPECT_EQ(site.Run(upload), 0);
    EXPECT_EQ(FileText(logPath), newLog);
    EXPECT_FALSE(Exists(tempPath));
}

}  // namespace
#endif
