// The program as a whole: which command lines run a handler, and how runs
// on one release directory are serialised.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "harness.h"
#include "log/orvex_log.h"
#include "main/startup.h"

namespace {

using e2e::Release;
using e2e::Site;
using namespace std::chrono_literals;

const e2e::Words kJoe = {"joe", "crew", "350", "700"};
const std::string kJoeLine = std::to_string(FileKey("a.r00")) + "|joe|crew|700|350|N\n";

TEST(Dispatch, RunsHandlersOnlyWithTheirWordCountInAnyLetterCase) {
    Site site;
    Release r(site, "Some.Release");
    r.Upload("a.r00", {"joe", "crew", "350"});  // 6 words
    EXPECT_EQ(site.Run({"fileuploaded"}), 0);
    r.Event("nosuchevent", "a.r00", kJoe);
    EXPECT_EQ(r.Log(), "<absent>");

    r.Event("FileUploaded", "a.r00", kJoe);
    EXPECT_EQ(r.Log(), kJoeLine);
    r.Event("FILEDELETED", "a.r00");
    EXPECT_EQ(r.Log(), "<absent>");  // the last record gone, the log goes too
}

TEST(Dispatch, PathsTooLongToHoldWholeAreLeftAlone) {
    Site site;
    // Cut to its slot, this word would name a file in the directory above.
    std::string deep = site.up(std::string(200, 'd') + "/" + std::string(100, 'e') + "/");
    std::filesystem::create_directories(deep);
    EXPECT_EQ(site.Run({"sfvuploaded", deep + "a.sfv", "2", "0"}), 0);
    EXPECT_TREE(site.up(std::string(200, 'd')), std::string(100, 'e') + "/");
    EXPECT_TRUE(e2e::List(deep).empty());
    // A shorter name lets Windows remove the site.
    std::filesystem::rename(site.up(std::string(200, 'd')), site.up("d"));
}

TEST(Dispatch, FindsItsConfigurationBesideTheProgram) {
    Site site;
    site.SetConfig("[GENERAL]\nLOGFILE=.custom.log\n");
    Release r(site, "Some.Release");
    r.Upload("a.r00", kJoe);
    EXPECT_TRUE(e2e::Exists(r.path(".custom.log")));
    EXPECT_EQ(r.Log(), "<absent>");
}

// Another process holds the run lock of a directory, as a run would, until
// it lets go or is killed.
#ifdef _WIN32
const char kHoldEnv[] = "CREVIK_E2E_HOLD_DIR";

std::string MutexName(const std::string& dir, const char* suffix = "") {
    char name[kMutexNameMax + 1];
    MakeMutexName(dir.c_str(), name);
    return name + std::string(suffix);
}

// The holder is this test program started again with the directory in its
// environment; it takes the lock before gtest runs.
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
    HANDLE ready, done, process = nullptr, keep = nullptr;
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
        // Kept open so that the mutex outlives a killed holder and is found
        // abandoned rather than made anew.
        keep = OpenMutexA(SYNCHRONIZE, FALSE, MutexName(dir).c_str());
        EXPECT_NE(keep, nullptr);
    }
    ~Holder() {
        Kill();
        for (HANDLE h : {ready, done, process, keep}) CloseHandle(h);
    }
    void LetGo() { SetEvent(done); }
    void Kill() {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 30000);
    }
};
#else
struct Holder {
    pid_t pid;
    int letGo[2];
    explicit Holder(const std::string& dir) {
        int ready[2];
        EXPECT_TRUE(pipe(ready) == 0 && pipe(letGo) == 0);
        pid = fork();
        if (pid == 0) {
            char c = AcquireRunMutex(dir.c_str());
            if (write(ready[1], &c, 1) == 1 && read(letGo[0], &c, 1) == 1) ReleaseRunMutex();
            _exit(0);
        }
        char c = 0;
        EXPECT_TRUE(read(ready[0], &c, 1) == 1 && c) << "the holder did not take the lock";
        for (int fd : {ready[0], ready[1], letGo[0]}) close(fd);
    }
    ~Holder() {
        Kill();
        close(letGo[1]);
    }
    void LetGo() { EXPECT_EQ(write(letGo[1], "", 1), 1); }
    void Kill() {
        if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }
};
#endif

// Starts joe's upload of a.r00 without waiting for it.
long StartUpload(const Site& site, const Release& r) {
    e2e::WriteFile(r.path("a.r00"), "x");
    return site.Start({"fileuploaded", r.path("a.r00"), "joe", "crew", "350", "700"});
}

TEST(RunLock, RunsOnOneReleaseWaitAndOtherReleasesDoNot) {
    Site site;
    Release r(site, "Some.Release"), other(site, "Other.Release");
    Holder holder(r.path());
    long waiting = StartUpload(site, r);
    other.Upload("b.r00", {"ann", "crew", "1", "1"});
    EXPECT_NE(other.Log(), "<absent>");  // finished while the first release was held
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(r.Log(), "<absent>") << "ran while another run held the release";
    holder.LetGo();
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_EQ(r.Log(), kJoeLine);
}

// A killed holder leaves an abandoned mutex on Windows, a dropped flock on POSIX.
TEST(RunLock, AHolderKilledWhileARunWaitsDoesNotBlockIt) {
    Site site;
    Release r(site, "Some.Release");
    Holder holder(r.path());
    long waiting = StartUpload(site, r);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(r.Log(), "<absent>");
    auto killed = std::chrono::steady_clock::now();
    holder.Kill();
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    EXPECT_EQ(r.Log(), kJoeLine);
}

}  // namespace
