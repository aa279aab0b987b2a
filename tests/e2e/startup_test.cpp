// The program as a whole: which paths it leaves alone, and how runs on one
// release directory are serialised.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "harness.h"
#include "log/upload_log.h"
#include "release/session.h"

namespace {

using namespace e2e;
using namespace std::chrono_literals;

TEST(Startup, PathsTooLongToHoldWholeAreLeftAlone) {
    Site site;
    // Cut to its slot, this word would name a file in the directory above.
    std::string deep = site.up(std::string(200, 'd') + "/" + std::string(100, 'e') + "/");
    std::filesystem::create_directories(deep);
    EXPECT_EQ(site.Run({"sfvuploaded", deep + "a.sfv", "2", "0"}), 0);
    EXPECT_TREE(site.up(std::string(200, 'd')), std::string(100, 'e') + "/");
    // Listed under a shorter name: MinGW's directory listing is undefined past
    // MAX_PATH (64-bit builds list the working directory). It also lets Windows
    // remove the site.
    std::filesystem::rename(site.up(std::string(200, 'd')), site.up("d"));
    EXPECT_TREE(site.up("d/" + std::string(100, 'e') + "/"));
}

// Holds the run lock of a release as a run would, or (shared) its lock file
// as a run on another host would, until it dies.
PlatRunLock* Hold(const std::string& dir, bool shared) {
    return shared ? PlatAcquireFileLock((dir + ".upChk.log.lock").c_str(), 0) : AcquireRunLock(dir.c_str());
}
#ifdef _WIN32
// A thread that ends without letting go abandons its mutex, as a killed
// process does; a killed process's handles close, and their file locks go.
struct Holder {
    HANDLE die = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;
    Holder(const std::string& dir, bool shared) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        PlatRunLock* held = nullptr;
        thread = std::thread([&, dir, shared] {
            PlatRunLock* lock = held = Hold(dir, shared);
            SetEvent(ready);
            WaitForSingleObject(die, INFINITE);
            if (shared) PlatReleaseRunLock(lock);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        EXPECT_NE(held, nullptr) << "the holder did not take the lock";
    }
    ~Holder() {
        Kill();
        CloseHandle(die);
    }
    void Kill() {
        SetEvent(die);
        if (thread.joinable()) thread.join();
    }
};
#else
struct Holder {
    pid_t pid;
    Holder(const std::string& dir, bool shared) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        pid = fork();
        if (pid == 0) {
            char held = Hold(dir, shared) != nullptr;
            if (write(ready[1], &held, 1) == 1) pause();
            _exit(0);
        }
        char held = 0;
        EXPECT_TRUE(read(ready[0], &held, 1) == 1 && held) << "the holder did not take the lock";
        close(ready[0]);
        close(ready[1]);
    }
    ~Holder() { Kill(); }
    void Kill() {
        if (pid > 0 && kill(pid, SIGKILL) == 0) waitpid(pid, nullptr, 0);
        pid = -1;
    }
};
#endif

// LOCK=shared: the lock file beside the log, held by a run on another host.
TEST(RunLock, ARunWaitsForTheReleaseHolderEvenOneThatDiesAndOtherReleasesDoNot) {
    for (bool shared : {false, true}) {
        Site site;
        site.SetConfig(shared ? "[GENERAL]\nLOCK=Shared\n" : "");
        Release r(site, "Some.Release"), other(site, "Other.Release");
        Holder holder(r.path(), shared);
#ifndef _WIN32  // a link planted as the other release's lock file is replaced, never followed
        std::filesystem::create_symlink(site.up("victim"), other.path(".upChk.log.lock"));
#endif
        WriteFile(r.path("a.r00"), "x");
        long waiting = site.Start({"fileuploaded", r.path("a.r00"), "joe", "crew", "350", "700"});
        other.Upload("b.r00", {"ann", "crew", "1", "1"});
        EXPECT_NE(other.Log(), "<absent>");  // finished while the first release was held
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(r.Log(), "<absent>") << "ran while another run held the release; shared " << shared;
        auto killed = std::chrono::steady_clock::now();
        holder.Kill();
        EXPECT_EQ(Site::Wait(waiting), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
        EXPECT_EQ(r.Log(), std::to_string(FileKey("a.r00")) + "|joe|crew|700|350|N\n");
        EXPECT_EQ(std::filesystem::is_regular_file(other.path(".upChk.log.lock")), shared);
        EXPECT_FALSE(std::filesystem::exists(site.up("victim")));
    }
}

}  // namespace
