// "upload" and "delete": crevik verifying by itself, as behind a server that
// only reports stores and deletes.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "log/upload_log.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using e2e::Exists;
using e2e::Release;
using e2e::Site;

std::string Line(const std::string& file, const std::string& rest) {
    return std::to_string(FileKey(file.c_str())) + "|" + rest + "\n";
}

TEST(VerifyWords, AReleaseVerifiedCompletedReopenedAndCompletedAgain) {
    Site site;
    site.SetConfig("[GENERAL]\nMESSAGE=race.txt\n");
    Release rel(site, "Some.Release");

    rel.Put("a.r00");  // before the .sfv: only recorded
    rel.Event("UPLOAD", "a.r00", {"joe", "crew", "350"});
    rel.Put("a.r01", /*corrupt=*/true);
    rel.Event("upload", "a.r01", {"ann", "flow", "500"});
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|4|350|N") + Line("a.r01", "ann|flow|4|500|N"));

    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01", "a.r02"});
    rel.Event("upload", "rel.sfv", {"joe", "crew", "10"});
    rel.Event("upload", "rel.sfv", {"joe", "crew", "10"});  // arriving twice changes nothing
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|4|350|S") + Line("rel.sfv", "joe|crew|1|10|N") +
                             Line("a.r01", "ann|flow|4|500|F"));
    EXPECT_TREE(rel.path(), ".upChk.log", "[33% DONE]-[1 of 3 files checked]/",
                "[UP #1@4KB by ann@flow at 500KBps]/", "[UP #2@5KB by joe@crew at 45KBps]/", "a.r00",
                "a.r01-missing", "a.r01.bad", "a.r02-missing", "rel.sfv");
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Some.Release]");

    rel.Put("a.r01");  // repaired: good over the failed upload
    rel.Event("upload", "a.r01", {"ann", "flow", "400"});
    rel.Put("a.r02");
    rel.Event("upload", "a.r02", {"ann", "flow", "400"});
    const char* complete = "[100% COMPLETE]-[#3@12KB files at 381KBps]/";
    EXPECT_TREE(rel.path(), ".upChk.log", complete, "[UP #2@5KB by joe@crew at 45KBps]/",
                "[UP #2@8KB by ann@flow at 400KBps]/", "a.r00", "a.r01", "a.r02", "race.txt", "rel.sfv");
    EXPECT_TREE(site.up(), "Some.Release/");

    std::remove(rel.path("a.r02").c_str());  // the server's hook runs after the file is gone
    rel.Event("delete", "a.r02");
    EXPECT_TREE(rel.path(), ".upChk.log", "[66% DONE]-[2 of 3 files checked]/",
                "[UP #1@4KB by ann@flow at 400KBps]/", "[UP #2@5KB by joe@crew at 45KBps]/", "a.r00", "a.r01",
                "a.r02-missing", "rel.sfv");
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Some.Release]");

    rel.Put("a.r02");
    rel.Event("upload", "a.r02", {"ann", "flow", "400"});
    EXPECT_TRUE(Exists(rel.path(complete)) && Exists(rel.path("race.txt")));
    EXPECT_TREE(site.up(), "Some.Release/");

    rel.Event("upload", "a.r00", {"joe", "crew", "35"});  // sent again, slower: the completion shows it
    EXPECT_TREE(rel.path(), ".upChk.log", "[100% COMPLETE]-[#3@12KB files at 89KBps]/",
                "[UP #2@5KB by joe@crew at 23KBps]/", "[UP #2@8KB by ann@flow at 400KBps]/", "a.r00", "a.r01", "a.r02",
                "race.txt", "rel.sfv");
}

TEST(VerifyWords, EdgesChangeNothingTheyShouldNot) {
    Site site;
    Release rel(site, "Rel");
    rel.WriteSfv("rel.sfv", {"a.r00"});
    rel.Event("upload", "rel.sfv", {"joe", "crew", "1"});
    const std::string log = rel.Log();

    rel.Event("delete", "unknown.r09");  // a file the log does not know: no change
    EXPECT_EQ(rel.Log(), log);
    rel.Put("notes.txt");  // not listed: a plain record; a speed word that is no number is measured
    rel.Event("upload", "notes.txt", {"joe", "crew", "fast"});
    EXPECT_EQ(rel.Log().find(std::to_string(FileKey("notes.txt")) + "|joe|crew|4|"), log.size());
    EXPECT_EQ(site.Run({"upload", site.up("No.Such.Release/a.r00"), "joe", "crew"}), 0);
    EXPECT_FALSE(Exists(site.up("No.Such.Release")));
    EXPECT_EQ(site.Run({"upload", site.up("Rel/a.r00"), "joe"}), 0);  // too few words: nothing
    EXPECT_TRUE(Exists(rel.path("a.r00-missing")));
}

#ifndef _WIN32
TEST(VerifyWords, SharedGroupLinksNeverFollowedAndLinkEntries) {
    Site site;
    site.SetConfig("[GENERAL]\nINCOMPLETE_PARENT=3\n");
    Release rel(site, "Rel/CD1");
    chmod(site.up("Rel").c_str(), 02775);
    chmod(rel.path().c_str(), 02775);
    const std::string outside = site.up("precious.txt");
    e2e::WriteFile(outside, "keep");
    symlink(outside.c_str(), rel.path("a.r01-missing").c_str());  // planted by another user
    symlink(outside.c_str(), rel.path(".upChk.log.tmp").c_str());

    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01"});
    rel.Put("a.r00");
    rel.Event("upload", "a.r00", {"joe", "crew", "9"});
    rel.Event("upload", "rel.sfv", {"joe", "crew", "9"});
    EXPECT_EQ(e2e::FileText(outside), "keep");
    struct stat st;
    for (const char* made : {".upChk.log", "[50% DONE]-[1 of 2 files checked]"}) {
        ASSERT_EQ(stat(rel.path(made).c_str(), &st), 0) << made;
        EXPECT_TRUE(st.st_mode & S_IWGRP) << made;
    }
    const std::string entry = site.up("[--INCOMPLETE--]-[Rel-CD1]");
    char target[64] = {};
    ASSERT_GT(readlink(entry.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), "Rel/CD1");

    std::remove(rel.path("a.r01-missing").c_str());
    rel.Put("a.r01");
    rel.Event("upload", "a.r01", {"joe", "crew", "9"});
    EXPECT_FALSE(Exists(entry));  // the link went, the release it pointed to stays
    EXPECT_TRUE(Exists(rel.path("a.r01")));
}
#endif

}  // namespace
