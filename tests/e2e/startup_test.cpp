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

// Holds the run lock of a release as a run would, until it dies.
#ifdef _WIN32
// A thread that ends without letting go abandons its mutex, as a killed process does.
struct Holder {
    HANDLE die = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;
    explicit Holder(const std::string& dir) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        bool held = false;
        thread = std::thread([&, dir] {
            held = AcquireRunLock(dir.c_str()) != nullptr;
            SetEvent(ready);
            WaitForSingleObject(die, INFINITE);
        });
        WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        EXPECT_TRUE(held) << "the holder did not take the lock";
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
    explicit Holder(const std::string& dir) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        pid = fork();
        if (pid == 0) {
            char held = AcquireRunLock(dir.c_str()) != nullptr;
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

TEST(RunLock, ARunWaitsForTheReleaseHolderEvenOneThatDiesAndOtherReleasesDoNot) {
    Site site;
    Release r(site, "Some.Release"), other(site, "Other.Release");
    Holder holder(r.path());
    WriteFile(r.path("a.r00"), "x");
    long waiting = site.Start({"fileuploaded", r.path("a.r00"), "joe", "crew", "350", "700"});
    other.Upload("b.r00", {"ann", "crew", "1", "1"});
    EXPECT_NE(other.Log(), "<absent>");  // finished while the first release was held
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(r.Log(), "<absent>") << "ran while another run held the release";
    auto killed = std::chrono::steady_clock::now();
    holder.Kill();
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    EXPECT_EQ(r.Log(), std::to_string(FileKey("a.r00")) + "|joe|crew|700|350|N\n");
}

}  // namespace
