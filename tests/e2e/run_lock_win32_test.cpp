// Runs of crevik.exe on one release directory, serialised by the named mutex.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "harness.h"
#include "log/orvex_log.h"
#include "main/startup.h"

namespace {

const char kHoldEnv[] = "CREVIK_E2E_HOLD_DIR";

std::string MutexName(const std::string& dir, const char* suffix = "") {
    char name[kMutexNameMax + 1];
    MakeMutexName(dir.c_str(), name);
    return name + std::string(suffix);
}

// Child mode: this test program, started again, holds the release's mutex
// as a run would, until told to let go or killed. Runs before gtest.
[[maybe_unused]] const bool childHolder = [] {
    char dir[MAX_PATH];
    if (!GetEnvironmentVariableA(kHoldEnv, dir, sizeof dir)) return false;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, MutexName(dir, "_ready").c_str());
    HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, MutexName(dir, "_done").c_str());
    if (!ready || !done || !AcquireRunMutex(dir)) ExitProcess(2);
    SetEvent(ready);
    WaitForSingleObject(done, INFINITE);
    ReleaseRunMutex();
    ExitProcess(0);
}();

struct Holder {
    HANDLE ready, done, process = nullptr;
    explicit Holder(const std::string& dir)
        : ready(CreateEventA(nullptr, TRUE, FALSE, MutexName(dir, "_ready").c_str())),
          done(CreateEventA(nullptr, TRUE, FALSE, MutexName(dir, "_done").c_str())) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string line = std::string("\"") + self + "\" --gtest_filter=-*";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        SetEnvironmentVariableA(kHoldEnv, dir.c_str());
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            process = pi.hProcess;
        }
        SetEnvironmentVariableA(kHoldEnv, nullptr);
        EXPECT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0) << "the holder did not take the lock";
    }
    ~Holder() {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 30000);
        for (HANDLE h : {ready, done, process}) CloseHandle(h);
    }
};

struct Release {
    e2e::Site site;
    std::string dir = site.up("Some.Release\\");
    Release() {
        e2e::MakeDirs(dir);
        e2e::WriteFile(dir + "a.r00", std::string(100, 'x'));
    }
    long Upload() const { return site.Start("fileuploaded", dir + "a.r00", {"joe", "crew", "350", "700"}); }
    bool Logged() const { return e2e::Exists(dir + ".upChk.log"); }
};

TEST(RunLockWin32, RunsOnOneReleaseWaitAndOtherReleasesDoNot) {
    Release r;
    std::string other = r.site.up("Other.Release\\");
    e2e::MakeDirs(other);
    e2e::WriteFile(other + "b.r00", "b");

    Holder holder(r.dir);
    long waiting = r.Upload();
    EXPECT_EQ(r.site.Event("fileuploaded", other + "b.r00", {"ann", "crew", "1", "1"}), 0);
    EXPECT_TRUE(e2e::Exists(other + ".upChk.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(r.Logged()) << "ran while another run held the release";
    SetEvent(holder.done);
    EXPECT_EQ(e2e::Site::Wait(waiting), 0);
    EXPECT_EQ(e2e::ReadFile(r.dir + ".upChk.log"), std::to_string(FileKey("a.r00")) + "|joe|crew|700|350|N\n");
}

TEST(RunLockWin32, AKilledHolderLeavesAnAbandonedMutexThatDoesNotBlock) {
    Release r;
    Holder holder(r.dir);
    // Kept open so that the mutex outlives the holder and is found abandoned
    // rather than made anew.
    HANDLE keep = OpenMutexA(SYNCHRONIZE, FALSE, MutexName(r.dir).c_str());
    ASSERT_NE(keep, nullptr);
    long waiting = r.Upload();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(r.Logged());
    TerminateProcess(holder.process, 1);
    EXPECT_EQ(e2e::Site::Wait(waiting), 0);
    EXPECT_TRUE(r.Logged());
    CloseHandle(keep);
}

}  // namespace
#endif
