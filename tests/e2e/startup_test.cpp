// The program as a whole: which command lines run a handler, and how runs
// on one release directory are serialised.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "harness.h"
#include "log/orvex_log.h"
#include "main/startup.h"

namespace {

using e2e::Exists;
using e2e::ReadFile;
using e2e::Site;

struct Release {
    Site site;
    std::string dir = site.up("Some.Release/");
    Release() {
        e2e::MakeDirs(dir);
        e2e::WriteFile(dir + "a.r00", std::string(100, 'x'));
    }
    std::string Log() const { return ReadFile(dir + ".upChk.log"); }
    bool Logged() const { return Exists(dir + ".upChk.log"); }
};

const std::string kKeyOfA_r00 = std::to_string(FileKey("a.r00"));

TEST(Dispatch, RunsHandlersOnlyWithTheirWordCountInAnyLetterCase) {
    Release r;
    EXPECT_EQ(r.site.Event("fileuploaded", r.dir + "a.r00", {"joe", "crew", "350"}), 0);  // 6 words
    EXPECT_FALSE(r.Logged());
    EXPECT_EQ(r.site.Run({r.site.program(), "fileuploaded"}), 0);
    EXPECT_EQ(r.site.Event("nosuchevent", r.dir + "a.r00", {"joe", "crew", "350", "700"}), 0);
    EXPECT_FALSE(r.Logged());

    EXPECT_EQ(r.site.Event("FileUploaded", r.dir + "a.r00", {"joe", "crew", "350", "700"}), 0);
    EXPECT_EQ(r.Log(), kKeyOfA_r00 + "|joe|crew|700|350|N\n");
    EXPECT_EQ(r.site.Event("FILEDELETED", r.dir + "a.r00"), 0);
    EXPECT_FALSE(r.Logged());  // the last record gone, the log goes too
}

TEST(Dispatch, PathsTooLongToHoldWholeAreLeftAlone) {
    Site site;
    // Cut to its slot, this word would name a file in the directory above.
    std::string deep = site.up(std::string(200, 'd') + "/" + std::string(100, 'e') + "/");
    e2e::MakeDirs(deep);
    EXPECT_EQ(site.Event("sfvuploaded", deep + "a.sfv", {"2", "0"}), 0);
    EXPECT_EQ(e2e::Joined(e2e::List(site.up(std::string(200, 'd')))), std::string(100, 'e') + "/\n");
    EXPECT_EQ(e2e::Joined(e2e::List(deep)), "");
}

TEST(Dispatch, FindsItsConfigurationBesideTheProgram) {
    Release r;
    r.site.SetConfig("[GENERAL]\nLOGFILE=.custom.log\n");
    r.site.Event("fileuploaded", r.dir + "a.r00", {"joe", "crew", "350", "700"});
    EXPECT_TRUE(Exists(r.dir + ".custom.log"));
    EXPECT_FALSE(r.Logged());
}

#ifndef _WIN32
// Holds the run lock of a directory in a child until told to die.
pid_t HoldLockInChild(const std::string& dir) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        if (!AcquireRunMutex(dir.c_str())) _exit(1);
        char c = 1;
        if (write(ready[1], &c, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char c = 0;
    EXPECT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    return pid;
}

TEST(RunLock, RunsOnOneReleaseWaitAndOtherReleasesDoNot) {
    Release r;
    std::string other = r.site.up("Other.Release/");
    e2e::MakeDirs(other);
    e2e::WriteFile(other + "b.r00", "b");

    pid_t holder = HoldLockInChild(r.dir);
    long waiting = r.site.Start("fileuploaded", r.dir + "a.r00", {"joe", "crew", "350", "700"});
    EXPECT_EQ(r.site.Event("fileuploaded", other + "b.r00", {"ann", "crew", "1", "1"}), 0);
    EXPECT_TRUE(Exists(other + ".upChk.log"));  // finished while the first release was held

    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(r.Logged()) << "ran while another run held the release";
    kill(holder, SIGTERM);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(Site::Wait(waiting), 0);
    EXPECT_EQ(r.Log(), kKeyOfA_r00 + "|joe|crew|700|350|N\n");
}

TEST(RunLock, AHolderThatWasKilledNeverBlocksTheNextRun) {
    Release r;
    pid_t holder = HoldLockInChild(r.dir);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(r.site.Event("fileuploaded", r.dir + "a.r00", {"joe", "crew", "350", "700"}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(r.Logged());
}
#endif

}  // namespace
