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
#include "log/orvex_log.h"
#include "main/startup.h"

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
    EXPECT_TREE(deep);
    // A shorter name lets Windows remove the site.
    std::filesystem::rename(site.up(std::string(200, 'd')), site.up("d"));
}

// Holds the run lock of a release as a run would, until it lets go or dies.
#ifdef _WIN32
// A thread that ends without letting go abandons its mutex, as a killed process does.
struct Holder {
    HANDLE letGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool release = false;
    std::thread thread;
    explicit Holder(const std::string& dir) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        bool held = false;
        thread = std::thread([&, dir] {
            held = AcquireRunMutex(dir.c_str());
            SetEvent(ready);
            WaitForSingleObject(letGo, INFINITE);
            if (release) ReleaseRunMutex();
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        EXPECT_TRUE(held) << "the holder did not take the lock";
    }
    ~Holder() {
        Kill();
        CloseHandle(letGo);
    }
    void LetGo() {
        release = true;
        Kill();
    }
    void Kill() {
        SetEvent(letGo);
        if (thread.joinable()) thread.join();
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

TEST(RunLock, RunsOnOneReleaseWaitForItsHolderEvenAKilledOneAndOtherReleasesDoNot) {
    Site site;
    Release other(site, "Other.Release");
    for (bool kill : {false, true}) {
        SCOPED_TRACE(kill ? "killed holder" : "holder lets go");
        Release r(site, kill ? "Killed.Release" : "Some.Release");
        const std::string name = kill ? "b.r00" : "a.r00";
        Holder holder(r.path());
        WriteFile(r.path(name), "x");
        long waiting = site.Start({"fileuploaded", r.path(name), "joe", "crew", "350", "700"});
        other.Upload(name, {"ann", "crew", "1", "1"});  // finishes while the first release is held
        EXPECT_NE(other.Log().find(std::to_string(FileKey(name.c_str()))), std::string::npos);
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(r.Log(), "<absent>") << "ran while another run held the release";
        auto freed = std::chrono::steady_clock::now();
        kill ? holder.Kill() : holder.LetGo();
        EXPECT_EQ(Site::Wait(waiting), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - freed, 5s);
        EXPECT_EQ(r.Log(), std::to_string(FileKey(name.c_str())) + "|joe|crew|700|350|N\n");
    }
}

}  // namespace
