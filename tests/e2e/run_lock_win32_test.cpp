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

using e2e::Exists;
using e2e::Site;

const char kHoldEnv[] = "CREVIK_E2E_HOLD_DIR";

std::string EventName(const std::string& dir, const char* what) {
    char name[kMutexNameMax + 1];
    MakeMutexName(dir.c_str(), name);
    return std::string(name) + what;
}

// Child mode: this test program, started again, holds the release's mutex
// as a run would, until told to release it or killed. Runs before gtest.
[[maybe_unused]] const bool childHolder = [] {
    char dir[MAX_PATH];
    if (!GetEnvironmentVariableA(kHoldEnv, dir, sizeof dir)) return false;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, EventName(dir, "_ready").c_str());
    HANDLE done = OpenEventA(SYNCHRONIZE, FALSE, EventName(dir, "_done").c_str());
    if (!ready || !done || !AcquireRunMutex(dir)) ExitProcess(2);
    SetEvent(ready);
    WaitForSingleObject(done, INFINITE);
    ReleaseRunMutex();
    ExitProcess(0);
}();

class Holder {
public:
    explicit Holder(const std::string& dir)
        : ready_(CreateEventA(nullptr, TRUE, FALSE, EventName(dir, "_ready").c_str())),
          done_(CreateEventA(nullptr, TRUE, FALSE, EventName(dir, "_done").c_str())) {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, sizeof self);
        std::string line = std::string("\"") + self + "\" --gtest_filter=-*";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        SetEnvironmentVariableA(kHoldEnv, dir.c_str());
        if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            process_ = pi.hProcess;
        }
        SetEnvironmentVariableA(kHoldEnv, nullptr);
        EXPECT_NE(process_, nullptr);
        EXPECT_EQ(WaitForSingleObject(ready_, 30000), WAIT_OBJECT_0) << "the holder did not take the lock";
    }
    ~Holder() {
        if (process_) {
            TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        CloseHandle(ready_);
        CloseHandle(done_);
    }
    void Release() { Finish(SetEvent(done_)); }
    void Kill() { Finish(TerminateProcess(process_, 1)); }

private:
    void Finish(BOOL told) {
        EXPECT_TRUE(told);
        EXPECT_EQ(WaitForSingleObject(process_, 30000), WAIT_OBJECT_0);
        CloseHandle(process_);
        process_ = nullptr;
    }
    HANDLE ready_;
    HANDLE done_;
    HANDLE process_ = nullptr;
};

struct Release {
    Site site;
    std::string dir = site.up("Some.Release\\");
    Release() {
        e2e::MakeDirs(dir);
        e2e::WriteFile(dir + "a.r00", std::string(100, 'x'));
    }
    long Upload() const { return site.Start("fileuploaded", dir + "a.r00", {"joe", "crew", "350", "700"}); }
    bool Logged() const { return Exists(dir + ".upChk.log"); }
};

TEST(RunLockWin32, RunsOnOneReleaseWaitAndOtherReleasesDoNot) {
    Release r;
    std::string other = r.site.up("Other.Release\\");
    e2e::MakeDirs(other);
    e2e::WriteFile(other + "b.r00", "b");

    Holder holder(r.dir);
    long waiting = r.Upload();
    EXPECT_EQ(r.site.Event("fileuploaded", other + "b.r00", {"ann", "crew", "1", "1"}), 0);
    EXPECT_TRUE(Exists(other + ".upChk.log"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(r.Logged()) << "ran while another run held the release";
    holder.Release();
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_EQ(e2e::ReadFile(r.dir + ".upChk.log"), std::to_string(FileKey("a.r00")) + "|joe|crew|700|350|N\n");
}

TEST(RunLockWin32, AKilledHolderLeavesAnAbandonedMutexThatDoesNotBlock) {
    Release r;
    Holder holder(r.dir);
    // Kept open so that the mutex outlives the holder and is found
    // abandoned rather than made anew.
    char name[kMutexNameMax + 1];
    MakeMutexName(r.dir.c_str(), name);
    HANDLE keep = OpenMutexA(SYNCHRONIZE, FALSE, name);
    ASSERT_NE(keep, nullptr);
    long waiting = r.Upload();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(r.Logged());
    auto killed = std::chrono::steady_clock::now();
    holder.Kill();
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(20));
    EXPECT_TRUE(r.Logged());
    CloseHandle(keep);
}

}  // namespace
#endif
