// Whole release lives, event by event, as an FTP server drives them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "log/orvex_log.h"

namespace {

using e2e::Exists;

using e2e::Release;
using e2e::Site;

std::string Line(const std::string& file, const std::string& rest) {
    return std::to_string(FileKey(file.c_str())) + "|" + rest + "\n";
}

// One line of the report's release block, padded as the report pads it.
std::string InfoLine(const char* label, const std::string& value) {
    char line[128];
    std::snprintf(line, sizeof line, "| %-11s: %-54s |\r\n", label, value.c_str());
    return line;
}

TEST(ReleaseLife, PlainReleaseFromFirstUploadToDeletedSfv) {
    Site site;
    site.SetConfig("[GENERAL]\nMESSAGE=race.txt\n");
    Release rel(site, "Some.Release");
    std::filesystem::create_directories(site.up("Other.Release"));
    e2e::WriteFile(site.up("[--INCOMPLETE--]-[Other.Release]"), "");

    rel.Upload("a.r00", {"joe", "crew", "350", "700"});
    EXPECT_TREE(rel.path(), ".upChk.log", "[UP #1@700KB by joe@crew at 350KBps]/", "a.r00");
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|700|350|N"));

    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01", "a.r02", "a.r03"});
    rel.Event("sfvuploaded", "rel.sfv", {"4", "0"});
    EXPECT_TREE(rel.path(), ".upChk.log", "[0% DONE]-[0 of 4 files checked]/", "[UP #1@700KB by joe@crew at 350KBps]/",
                "a.r00", "a.r01-missing", "a.r02-missing", "a.r03-missing", "rel.sfv");
    EXPECT_TREE(site.up(), "Other.Release/", "Some.Release/", "[--INCOMPLETE--]-[Other.Release]",
                "[--INCOMPLETE--]-[Some.Release]");

    rel.Event("sfvsuccess", "a.r00", {"joe", "crew", "350", "700", "4", "1"});
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|700|350|S"));

    rel.Upload("a.r01", {"ann", "flow", "500", "1000"}, /*corrupt=*/true);
    rel.Event("sfvfailed", "a.r01", {"ann", "flow", "500", "1000"});
    EXPECT_TREE(rel.path(), ".upChk.log", "[25% DONE]-[1 of 4 files checked]/",
                "[UP #1@1000KB by ann@flow at 500KBps]/", "[UP #1@700KB by joe@crew at 350KBps]/", "a.r00",
                "a.r01-missing", "a.r01.bad", "a.r02-missing", "a.r03-missing", "rel.sfv");
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|700|350|S") + Line("a.r01", "ann|flow|1000|500|F"));

    std::remove(rel.path("a.r01.bad").c_str());
    rel.Event("filedeleted", "a.r01.bad");  // the bad copy's record goes with it, and ann's last upload
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|700|350|S"));
    EXPECT_FALSE(Exists(rel.path("[UP #1@1000KB by ann@flow at 500KBps]")));

    rel.Upload("a.r01", {"ann", "flow", "500", "1000"});
    rel.Event("sfvsuccess", "a.r01", {"ann", "flow", "500", "1000", "4", "2"});
    rel.Upload("a.r02", {"joe", "crew", "350", "700"});
    rel.Event("sfvsuccess", "a.r02", {"joe", "crew", "350", "700", "4", "3"});
    EXPECT_TREE(rel.path(), ".upChk.log", "[75% DONE]-[3 of 4 files checked]/",
                "[UP #1@1000KB by ann@flow at 500KBps]/", "[UP #2@1.4MB by joe@crew at 350KBps]/", "a.r00", "a.r01",
                "a.r02", "a.r03-missing", "rel.sfv");
    rel.Upload("a.r03", {"ann", "flow", "500", "1000"});
    rel.Event("sfvsuccess", "a.r03", {"ann", "flow", "500", "1000", "4", "4"});  // 100%: only the record moves
    EXPECT_TRUE(Exists(rel.path("a.r03-missing")));
    std::string logBefore = rel.Log();

    rel.Event("sfvcomplete", "rel.sfv");
    EXPECT_TREE(rel.path(), ".upChk.log", "[100% COMPLETE]-[#4@3.3MB files at 425KBps]/",
                "[UP #2@1.4MB by joe@crew at 350KBps]/", "[UP #2@2.0MB by ann@flow at 500KBps]/", "a.r00", "a.r01",
                "a.r02", "a.r03", "race.txt", "rel.sfv");
    EXPECT_EQ(rel.Log(), logBefore);
    EXPECT_FALSE(Exists(site.up("[--INCOMPLETE--]-[Some.Release]")));
    std::string report = e2e::FileText(rel.path("race.txt"));
    for (const std::string& line :
         {InfoLine("Rel Name", "Some.Release"), InfoLine("Total", "4 files, 3400 KB, 425 KBps, 2 user(s), 2 group(s)"),
          InfoLine("Race win", "ann@flow (2 files, 2000 KB, 500 KB/s)"),
          InfoLine("Peak speed", "500 KBytes/s (by ann@flow)")})
        EXPECT_NE(report.find(line), std::string::npos) << line << "not in:\n" << report;

    rel.Event("filedeleted", "REL.SFV");
    EXPECT_TREE(rel.path(), ".upChk.log", "[UP #2@1.4MB by joe@crew at 350KBps]/",
                "[UP #2@2.0MB by ann@flow at 500KBps]/", "a.r00", "a.r01", "a.r02", "a.r03", "rel.sfv");
    EXPECT_TREE(site.up(), "Other.Release/", "Some.Release/", "[--INCOMPLETE--]-[Other.Release]");
}

TEST(ReleaseLife, SplitReleaseKeepsOneIncompleteEntryPerDisc) {
    Site site;
    site.SetConfig("[GENERAL]\nINCOMPLETE_PARENT=2\n");
    Release cd1(site, "Some.Release/CD1");
    Release cd2(site, "Some.Release/CD2");
    e2e::WriteFile(site.up("[--INCOMPLETE--]-[Some.Release]"), "");  // the release's own, from its top level
    e2e::WriteFile(site.up("[--INCOMPLETE--]-[Other.Release]"), "");
    for (Release* cd : {&cd1, &cd2}) {
        cd->WriteSfv("cd.sfv", {"x.r00", "x.r01"});
        cd->Event("sfvuploaded", "cd.sfv", {"2", "0"});
    }
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release-CD1]/",
                "[--INCOMPLETE--]-[Some.Release-CD2]/", "[--INCOMPLETE--]-[Some.Release]");
    EXPECT_TREE(cd1.path(), "[0% DONE]-[0 of 2 files checked]/", "cd.sfv", "x.r00-missing", "x.r01-missing");

    cd1.Upload("x.r00", {"joe", "crew", "100", "100"});
    cd1.Event("sfvsuccess", "x.r00", {"joe", "crew", "100", "100", "2", "1"});
    cd1.Upload("x.r01", {"joe", "crew", "300", "300"});
    cd1.Event("sfvsuccess", "x.r01", {"joe", "crew", "300", "300", "2", "2"});
    cd1.Event("sfvcomplete", "cd.sfv");
    EXPECT_TREE(cd1.path(), ".upChk.log", "[100% COMPLETE]-[#2@400KB files at 200KBps]/",
                "[UP #2@400KB by joe@crew at 200KBps]/", "cd.sfv", "x.r00", "x.r01");
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release-CD2]/",
                "[--INCOMPLETE--]-[Some.Release]");

    cd2.Event("filedeleted", "cd.sfv");
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release]");
    EXPECT_TREE(cd2.path(), "cd.sfv");
}

TEST(ReleaseLife, TemplatesShowProgressWhereTheSiteAsksForIt) {
    Site site;
    site.SetConfig(
        "[GENERAL]\nPROGRESS_LENGTH=10\nPROGRESS_FILL==\nPROGRESS_BLNK=.\n"
        "[TEMPLATE]\nINCOMPLETE=[$progressbar] $percent%\n"
        "INCOMPLETE_PARENTA=($good of $sfv_count) $dirname\n");
    Release rel(site, "Rel");
    rel.WriteSfv("rel.sfv", {"f1", "f2", "f3"});
    rel.Event("sfvuploaded", "rel.sfv", {"3", "0"});
    rel.Upload("f1", {"joe", "crew", "10", "10"});
    rel.Event("sfvsuccess", "f1", {"joe", "crew", "10", "10", "3", "2"});
    EXPECT_TRUE(std::filesystem::is_directory(rel.path("[======....] 66%")));
    EXPECT_TRUE(Exists(site.up("(2 of 3) Rel")));

    Site defaults;
    Release ten(defaults, "Ten");
    ten.Event("sfvsuccess", "f4", {"joe", "crew", "10", "10", "10", "4"});
    EXPECT_TRUE(std::filesystem::is_directory(ten.path("[40% DONE]-[4 of 10 files checked]")));
}

TEST(ReleaseLife, BadFilesAndMarkersFollowTheSettings) {
    Site site;
    site.SetConfig("[GENERAL]\nBAD=2\n");
    Release rel(site, "Rel");
    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01"});
    rel.Upload("a.r00", {"joe", "crew", "100", "100"}, /*corrupt=*/true);
    rel.Upload("a.r01", {"joe", "crew", "100", "100"});
    e2e::WriteFile(rel.path("a.r01.bad"), "old");
    rel.Event("sfvuploaded", "rel.sfv", {"2", "0"});
    // BAD 2: the damaged upload and its record are gone.
    EXPECT_TREE(rel.path(), ".upChk.log", "[0% DONE]-[0 of 2 files checked]/", "[UP #2@200KB by joe@crew at 100KBps]/",
                "a.r00-missing", "a.r01", "a.r01.bad", "rel.sfv");
    EXPECT_EQ(rel.Log(), Line("a.r01", "joe|crew|100|100|N"));
    rel.Event("sfvcomplete", "rel.sfv");
    EXPECT_TRUE(Exists(rel.path("a.r01.bad")));  // only BAD 1 cleans .bad files up
    EXPECT_FALSE(Exists(rel.path("a.r00-missing")));

    Site renaming;
    Release other(renaming, "Rel");
    other.WriteSfv("rel.sfv", {"a.r00"});
    other.Upload("a.r00", {"joe", "crew", "100", "100"}, /*corrupt=*/true);
    other.Event("sfvuploaded", "rel.sfv", {"1", "0"});
    EXPECT_TREE(other.path(), ".upChk.log", "[0% DONE]-[0 of 1 files checked]/",
                "[UP #1@100KB by joe@crew at 100KBps]/", "a.r00-missing", "a.r00.bad", "rel.sfv");
    other.Event("sfvcomplete", "rel.sfv");
    EXPECT_FALSE(Exists(other.path("a.r00.bad")));
    EXPECT_FALSE(Exists(other.path("a.r00-missing")));

    Site quiet;
    quiet.SetConfig("[GENERAL]\nMISSING=0\n");
    Release unmarked(quiet, "Rel");
    unmarked.WriteSfv("rel.sfv", {"a.r00"});
    unmarked.Event("sfvuploaded", "rel.sfv", {"1", "0"});
    EXPECT_TREE(unmarked.path(), "[0% DONE]-[0 of 1 files checked]/", "rel.sfv");
}

}  // namespace
