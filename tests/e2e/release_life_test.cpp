// Whole release lives, event by event, as an FTP server drives them.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifndef _WIN32
#include <sys/xattr.h>
#include <unistd.h>
#endif

#include "harness.h"
#include "log/upload_log.h"

namespace {

using namespace e2e;

std::string Line(const std::string& file, const std::string& rest) {
    return std::to_string(FileKey(file.c_str())) + "|" + rest + "\n";
}

// Expects these lines of the report's release block, padded as the report pads them.
void ExpectReport(const std::string& report, const std::vector<std::pair<const char*, std::string>>& lines) {
    for (const auto& [label, value] : lines) {
        char line[128];
        std::snprintf(line, sizeof line, "| %-11s: %-54s |\r\n", label, value.c_str());
        EXPECT_NE(report.find(line), std::string::npos) << line << "not in:\n" << report;
    }
}

TEST(ReleaseLife, PlainReleaseFromFirstUploadToDeletedSfv) {
    Site site;
    site.SetConfig("[GENERAL]\nMESSAGE=race.txt\n");
    Release rel(site, "Some.Release");
    std::filesystem::create_directories(site.up("Other.Release"));
    WriteFile(site.up("[--INCOMPLETE--]-[Other.Release]"), "");

    // Command lines too short for their event, or of no event, do nothing; event words have any case.
    rel.Upload("a.r00", {"joe", "crew", "350"});
    EXPECT_EQ(site.Run({"fileuploaded"}), 0);
    rel.Event("nosuchevent", "a.r00", {"joe", "crew", "350", "700"});
    EXPECT_EQ(rel.Log(), "<absent>");
    rel.Event("FileUploaded", "a.r00", {"joe", "crew", "350", "700"});
    EXPECT_TREE(rel.path(), ".upChk.log", "[UP #1@700KB by joe@crew at 350KBps]/", "a.r00");
    EXPECT_EQ(rel.Log(), Line("a.r00", "joe|crew|700|350|N"));

    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01", "a.r02", "a.r03"});
    rel.Event("SFVUPLOADED", "rel.sfv", {"4", "0"});
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
    ExpectReport(FileText(rel.path("race.txt")),
                 {{"Rel Name", "Some.Release"},
                  {"Total", "4 files, 3400 KB, 425 KBps, 2 user(s), 2 group(s)"},
                  {"Race win", "ann@flow (2 files, 2000 KB, 500 KB/s)"},
                  {"Peak speed", "500 KBytes/s (by ann@flow)"}});

    rel.Event("filedeleted", "REL.SFV");
    EXPECT_TREE(rel.path(), ".upChk.log", "[UP #2@1.4MB by joe@crew at 350KBps]/",
                "[UP #2@2.0MB by ann@flow at 500KBps]/", "a.r00", "a.r01", "a.r02", "a.r03", "rel.sfv");
    EXPECT_TREE(site.up(), "Other.Release/", "Some.Release/", "[--INCOMPLETE--]-[Other.Release]");
}

// CD1 is checked by crevik itself for a file that came before its .sfv, then
// by the server; CD2 loses its only upload and its .sfv.
TEST(ReleaseLife, SplitReleaseKeepsOneIncompleteEntryPerDisc) {
    Site site;
    site.SetConfig("[GENERAL]\nINCOMPLETE_PARENT=2\nMESSAGE=race.txt\n");
    Release cd1(site, "Some.Release/CD1"), cd2(site, "Some.Release/CD2");
    WriteFile(site.up("[--INCOMPLETE--]-[Some.Release]"), "");  // the release's own, from its top level
    WriteFile(site.up("[--INCOMPLETE--]-[Other.Release]"), "");
    cd1.Upload("x.r00", {"joe", "crew", "100", "100"}, /*corrupt=*/true);
    WriteFile(cd1.path("old.r00.bad"), "");  // an earlier failure, gone at completion
    for (const Release* cd : {&cd1, &cd2}) {
        cd->WriteSfv("cd.sfv", {"x.r00", "x.r01"});
        cd->Event("sfvuploaded", "cd.sfv", {"2", "0"});
    }
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release-CD1]/",
                "[--INCOMPLETE--]-[Some.Release-CD2]/", "[--INCOMPLETE--]-[Some.Release]");
    EXPECT_TREE(cd1.path(), ".upChk.log", "[0% DONE]-[0 of 2 files checked]/", "[UP #1@100KB by joe@crew at 100KBps]/",
                "cd.sfv", "old.r00.bad", "x.r00-missing", "x.r00.bad", "x.r01-missing");
    EXPECT_EQ(cd1.Log(), Line("x.r00", "joe|crew|100|100|N"));

    cd1.Upload("x.r00", {"joe", "crew", "100", "100"});
    cd1.Event("sfvsuccess", "x.r00", {"joe", "crew", "100", "100", "2", "1"});  // x.r00.bad goes
    cd1.Upload("x.r01", {"ann", "flow", "300", "300"}, /*corrupt=*/true);
    cd1.Event("sfvfailed", "x.r01", {"ann", "flow", "300", "300"});
    EXPECT_TREE(cd1.path(), ".upChk.log", "[50% DONE]-[1 of 2 files checked]/", "[UP #1@100KB by joe@crew at 100KBps]/",
                "[UP #1@300KB by ann@flow at 300KBps]/", "cd.sfv", "old.r00.bad", "x.r00", "x.r01-missing",
                "x.r01.bad");
    std::remove(cd1.path("x.r01.bad").c_str());
    cd1.Event("filedeleted", "x.r01.bad");
    cd1.Upload("x.r01", {"ann", "flow", "300", "300"});
    cd1.Event("sfvsuccess", "x.r01", {"ann", "flow", "300", "300", "2", "2"});
    cd1.Event("sfvcomplete", "cd.sfv");
    EXPECT_TREE(cd1.path(), ".upChk.log", "[100% COMPLETE]-[#2@400KB files at 200KBps]/",
                "[UP #1@100KB by joe@crew at 100KBps]/", "[UP #1@300KB by ann@flow at 300KBps]/", "cd.sfv", "race.txt",
                "x.r00", "x.r01");
    EXPECT_EQ(cd1.Log(), Line("x.r00", "joe|crew|100|100|S") + Line("x.r01", "ann|flow|300|300|S"));
    ExpectReport(FileText(cd1.path("race.txt")),
                 {{"Rel Name", "Some.Release (CD1)"},
                  {"Total", "2 files, 400 KB, 200 KBps, 2 user(s), 2 group(s)"},
                  {"Race win", "ann@flow (1 files, 300 KB, 300 KB/s)"},
                  {"Peak speed", "300 KBytes/s (by ann@flow)"}});
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release-CD2]/",
                "[--INCOMPLETE--]-[Some.Release]");

    cd2.Upload("x.r00", {"joe", "crew", "100", "100"});
    std::remove(cd2.path("x.r00").c_str());
    cd2.Event("filedeleted", "x.r00");  // the last record gone, the log goes too
    cd2.Event("filedeleted", "cd.sfv");
    EXPECT_TREE(site.up(), "Some.Release/", "[--INCOMPLETE--]-[Other.Release]", "[--INCOMPLETE--]-[Some.Release]");
    EXPECT_TREE(cd2.path(), "cd.sfv");
}

// Settings from Crevik.ini beside the program: BAD 2 deletes a damaged file
// and its record but keeps older .bad files, MISSING 0 makes no markers, the
// log's name and the status templates are the site's.
TEST(ReleaseLife, SettingsShapeTheStatusEntriesAndBadFiles) {
    Site site;
    site.SetConfig(
        "[GENERAL]\nBAD=2\nLOGFILE=.custom.log\nPROGRESS_LENGTH=10\nPROGRESS_FILL==\nPROGRESS_BLNK=.\n"
        "[TEMPLATE]\nINCOMPLETE=[$progressbar] $percent%\nINCOMPLETE_PARENTA=($good of $sfv_count) $dirname\n");
    Release rel(site, "Rel");
    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01", "a.r02"});
    rel.Upload("a.r00", {"joe", "crew", "100", "100"}, /*corrupt=*/true);
    rel.Upload("a.r01", {"joe", "crew", "100", "100"});
    WriteFile(rel.path("a.r01.bad"), "old");
    rel.Event("sfvuploaded", "rel.sfv", {"3", "0"});
    EXPECT_TREE(rel.path(), ".custom.log", "[..........] 0%/", "[UP #1@100KB by joe@crew at 100KBps]/", "a.r00-missing",
                "a.r01", "a.r01.bad", "a.r02-missing", "rel.sfv");
    EXPECT_EQ(FileText(rel.path(".custom.log")), Line("a.r01", "joe|crew|100|100|N"));
    rel.Event("sfvsuccess", "a.r01", {"joe", "crew", "100", "100", "3", "2"});
    EXPECT_TREE(rel.path(), ".custom.log", "[======....] 66%/", "[UP #1@100KB by joe@crew at 100KBps]/",
                "a.r00-missing", "a.r01", "a.r01.bad", "a.r02-missing", "rel.sfv");
    EXPECT_TREE(site.up(), "(2 of 3) Rel", "Rel/");
    rel.Event("sfvcomplete", "rel.sfv");
    EXPECT_TREE(rel.path(), ".custom.log", "[100% COMPLETE]-[#3@100KB files at 100KBps]/",
                "[UP #1@100KB by joe@crew at 100KBps]/", "a.r01", "a.r01.bad", "rel.sfv");

    // The .sfv's own pass only adds markers: a good file's old marker and .bad copy wait for its sfvsuccess.
    Site plain;
    Release late(plain, "Rel");
    late.Upload("a.r00", {"joe", "crew", "100", "100"});
    WriteFile(late.path("a.r00-missing"), "");
    WriteFile(late.path("a.r00.bad"), "old");
    late.WriteSfv("rel.sfv", {"a.r00", "a.r01"});
    late.Event("sfvuploaded", "rel.sfv", {"2", "0"});
    EXPECT_TREE(late.path(), ".upChk.log", "[0% DONE]-[0 of 2 files checked]/", "[UP #1@100KB by joe@crew at 100KBps]/",
                "a.r00", "a.r00-missing", "a.r00.bad", "a.r01-missing", "rel.sfv");

    Site quiet;
    quiet.SetConfig("[GENERAL]\nMISSING=0\n");
    Release unmarked(quiet, "Rel");
    unmarked.WriteSfv("rel.sfv", {"a.r00"});
    unmarked.Event("sfvuploaded", "rel.sfv", {"1", "0"});
    EXPECT_TREE(unmarked.path(), "[0% DONE]-[0 of 1 files checked]/", "rel.sfv");
}

// Status directories are settled among the release's sub-directories, which
// a note kept with the release names so that no listing is read: whatever
// was done by hand in between, the next events leave the tree a search of
// the whole directory would. Files and links are never status directories.
TEST(ReleaseLife, StatusDirectoriesFollowWhatWasDoneByHandAndLeaveFilesAlone) {
    const std::string progress = "[0% DONE]-[0 of 4 files checked]";
    struct Case {
        const char* what;
        void (*byHand)(const Release& rel);
        Words extra;           // left beside the settled directories
        const char* planted;  // POSIX: a note naming this and the progress directory, which is one short
    };
    const Case cases[] = {
        {"nothing", [](const Release&) {}, {}, nullptr},
        {"copies that come first",
         [](const Release& rel) {
             MakeDirs(rel.path("[UP #0@1KB by joe@crew at 1KBps]"));
             MakeDirs(rel.path("[0% DONE]-[0 of 3 files checked]"));
         },
         {}, nullptr},
        {"a copy that is not empty",
         [](const Release& rel) {
             MakeDirs(rel.path("[9% DONE]-[9 of 9 files checked]"));
             WriteFile(rel.path("[9% DONE]-[9 of 9 files checked]/keep"), "x");
         },
         {"[9% DONE]-[9 of 9 files checked]/"}, nullptr},
        {"renamed",
         [](const Release& rel) {
             std::filesystem::rename(rel.path("[UP #1@700KB by joe@crew at 350KBps]"), rel.path("[up #9@9KB by joe@crew at 9KBps]"));
             std::filesystem::rename(rel.path("[0% DONE]-[0 of 4 files checked]"), rel.path("[50% DONE]-[2 of 4 files checked]"));
         },
         {}, nullptr},
        {"a file named like one, and a directory the note does not name",
         [](const Release& rel) {
             WriteFile(rel.path("[0% DONE]-[0 of 1 files checked]"), "upload");
             MakeDirs(rel.path("Sample"));
         },
         {"[0% DONE]-[0 of 1 files checked]", "Sample/"}, nullptr},
#ifndef _WIN32
        {"a link to a directory named like one",
         [](const Release& rel) { EXPECT_EQ(symlink("..", rel.path("[UP #0@1KB by joe@crew at 1KBps]").c_str()), 0); },
         {"[UP #0@1KB by joe@crew at 1KBps]/"}, "[UP #0@1KB by joe@crew at 1KBps]"},
        {"a note naming the release itself", [](const Release&) {}, {}, "."},
        {"a note naming its parent", [](const Release&) {}, {}, ".."},
        {"a note naming a path", [](const Release&) {}, {}, "/tmp"},
        {"a note naming a file", [](const Release&) {}, {}, "a.r00"},
#endif
    };
    for (const Case& c : cases) {
        Site site;
        Release rel(site, "Rel");
        rel.Upload("a.r00", {"joe", "crew", "350", "700"});
        rel.WriteSfv("rel.sfv", {"a.r00", "a.r01", "a.r02", "a.r03"});
        rel.Event("sfvuploaded", "rel.sfv", {"4", "0"});
        EXPECT_TREE(rel.path(), ".upChk.log", progress + "/", "[UP #1@700KB by joe@crew at 350KBps]/", "a.r00",
                    "a.r01-missing", "a.r02-missing", "a.r03-missing", "rel.sfv");
        c.byHand(rel);
#ifndef _WIN32
        if (c.planted) {
            std::string note = std::string(c.planted) + '\0' + progress;
            EXPECT_EQ(setxattr(rel.path().c_str(), "user.crevik.subdirs", note.data(), note.size(), 0), 0);
        }
#endif
        rel.Event("sfvsuccess", "a.r00", {"joe", "crew", "350", "700", "4", "1"});
        rel.Upload("a.r01", {"joe", "crew", "350", "700"});
        Words tree = {".upChk.log", "[25% DONE]-[1 of 4 files checked]/", "[UP #2@1.4MB by joe@crew at 350KBps]/",
                      "a.r00", "a.r01", "a.r01-missing", "a.r02-missing", "a.r03-missing", "rel.sfv"};
        tree.insert(tree.end(), c.extra.begin(), c.extra.end());
        std::sort(tree.begin(), tree.end());
        EXPECT_EQ(Tree(rel.path()), Joined(tree)) << c.what;
    }
}

}  // namespace
