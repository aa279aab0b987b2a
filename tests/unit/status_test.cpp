// Templates, the progress bar and the status entries as they appear on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "status/status.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

std::string Expand(const std::string& templ) {
    char out[kMaxPath];  // exactly the callers' size, so an overrun shows under ASan
    ExpandTemplate(templ.c_str(), out);
    return out;
}

TEST(Templates, ReplaceWholeNamesFromTheFirstEntryWithinTheLimits) {
    TemplateVars::Clear();
    TemplateVars::Add(3, "good", "4", "sfv_count", "10", "val", "$good");
    TemplateVars::Add(2, "good", "9", "", "empty names never match");
    EXPECT_EQ(Expand("[$goodies of $sfv_count] $$good $Good $1 $val $sfv_ $"), "[4ies of 10] $4 $Good $1 $good $sfv_ $");
    // Names keep 31 characters, values 255, and an expansion stops at 259.
    TemplateVars::Clear();
    TemplateVars::Add(1, std::string(40, 'n').c_str(), std::string(300, 'v').c_str());
    std::string ref = "$" + std::string(31, 'n');
    EXPECT_EQ(Expand("[" + ref + ref + "]"), "[" + std::string(258, 'v'));
    EXPECT_EQ(Expand(ref + "12345"), std::string(255, 'v') + "1234");
}

// Status entries (names starting with '['); directories get a trailing '/'.
Names Entries(const fs::path& dir) {
    Names names;
    for (const std::string& name : test_support::ListDir(dir.string()))
        if (name[0] == '[') names.insert(name);
    return names;
}

class StatusEntries : public ReleaseDirTest {
protected:
    // A name of `c` that makes root_/name/ exactly `length` characters long.
    std::string Padded(char c, size_t length) const { return std::string(length - root_.string().size() - 2, c); }
};

TEST_F(StatusEntries, ProgressBarShowsTheTruncatedShareWithin127Characters) {
    EXPECT_EQ(std::string(MakeProgressBar(5, '-', '#')), "#" + std::string(19, '-'));
    EXPECT_EQ(std::string(MakeProgressBar(150, '-', '#')), std::string(30, '#'));
    Settings("[GENERAL]\nPROGRESS_LENGTH=-3\n");
    EXPECT_EQ(std::string(MakeProgressBar(-50, '-', '#')), "");
    Settings("[GENERAL]\nPROGRESS_LENGTH=500\n");
    EXPECT_EQ(std::string(MakeProgressBar(50, '-', '#')), std::string(63, '#') + std::string(64, '-'));
    EXPECT_EQ(std::string(MakeProgressBar(INT32_MAX, '-', '#')), std::string(127, '#'));
}

TEST_F(StatusEntries, ProgressDirectoryIsRenamedAndBecomesTheCompletionDirectory) {
    UpdateProgressDir("10", "4", "40", false);
    EXPECT_EQ(Entries(release_), Names{"[40% DONE]-[4 of 10 files checked]/"});
    fs::create_directory(release_ / "[9% DONE]-[1 of 9 files checked]");  // an empty extra match goes
    fs::create_directories(release_ / "[99% DONE]-[9 of 9 files checked]" / "content");  // a full one stays
    UpdateProgressDir("10", "5", "50", false);
    EXPECT_EQ(Entries(release_), (Names{"[50% DONE]-[5 of 10 files checked]/", "[99% DONE]-[9 of 9 files checked]/"}));

    theLog.raceTotalSize = 144000;
    theLog.raceAvgSpeed = 1536;
    fs::remove(release_ / "[99% DONE]-[9 of 9 files checked]" / "content");
    UpdateProgressDir("10", "10", "100", true);
    EXPECT_EQ(Entries(release_), Names{"[100% COMPLETE]-[#10@140.6MB files at 1.5MBps]/"});
}

TEST_F(StatusEntries, CustomTemplatesShowTheBarAndTheWinnerOrADash) {
    Settings("[GENERAL]\nPROGRESS_LENGTH=10\nPROGRESS_FILL==x\nPROGRESS_BLNK=.y\n[TEMPLATE]\nINCOMPLETE=[$progressbar "
             "$percent]\nCOMPLETE=[$racewin_user@$racewin_ugrp $race_users of $race_groups $racewin_group $percent]\n");
    UpdateProgressDir("10", "5", "55", false);
    EXPECT_EQ(Entries(release_), Names{"[=====..... 55]/"});
    UpdateProgressDir("0", "0", "100", true);  // a log without any racer
    EXPECT_EQ(Entries(release_), Names{"[-@- 0 of 0 - $percent]/"});
    theLog.userTallies = new OrderedList(sizeof(RaceTally), CompareTallySize);
    theLog.groupTallies = new OrderedList(sizeof(RaceTally), CompareTallySize);
    RaceTally joe = {10.0, "joe", "crew", 1000, 100, 1}, team = {10.0, "amy", "team", 1000, 100, 1};
    theLog.userTallies->Append(&joe);
    theLog.groupTallies->Append(&team);
    UpdateProgressDir("1", "1", "100", true);  // "[* *]" finds the previous name
    EXPECT_EQ(Entries(release_), Names{"[joe@crew 1 of 1 team $percent]/"});
}

TEST_F(StatusEntries, UploadDirectoryFollowsTheUsersFiguresInsideTheRelease) {
    UpdateUpDir("joe", "crew");  // the log is not read: no figures, no directory
    EXPECT_EQ(Entries(release_), Names{});
    ASSERT_TRUE(theLog.ReadLogFile(UploadLogPath));
    theLog.AddWithCheck("joe", "crew", 700, 350, "a.rar", 'N');
    UpdateUpDir("joe", "crew");
    EXPECT_EQ(Entries(release_), Names{"[UP #1@700KB by joe@crew at 350KBps]/"});
    theLog.AddWithCheck("../x", "a\\b/c", 700, 350, "b.rar", 'N');
    UpdateUpDir("../x", "a\\b/c");
    theLog.AddWithCheck("*", "crew", 1400, 700, "c.rar", 'N');
    UpdateUpDir("*", "crew");
    EXPECT_EQ(Entries(release_).count("[UP #1@700KB by joe@crew at 350KBps]/"), 1u);  // not taken by "*"
    theLog.RemoveRecord("a.rar");
    UpdateUpDir("joe", "crew");
    EXPECT_EQ(Entries(release_),
              (Names{"[UP #1@700KB by .._x@a_b_c at 350KBps]/", "[UP #1@1.4MB by _@crew at 700KBps]/"}));
}

TEST_F(StatusEntries, IncompleteEntryBesideTheReleaseByMode) {
    EXPECT_TRUE(IsReleaseSubDir("cD07") && IsReleaseSubDir("Cd1"));
    EXPECT_FALSE(IsReleaseSubDir("cd123") || IsReleaseSubDir("cda") || IsReleaseSubDir("CD"));
    UseRelease("Some.Release/CD1");
    for (std::string mode : {"1", "2"}) {
        Settings("[GENERAL]\nINCOMPLETE_PARENT=" + mode + "\n");
        UpdateIncompleteLink("10", "4", "40", false);
        EXPECT_EQ(Entries(root_), Names{"[--INCOMPLETE--]-[Some.Release-CD1]" + std::string(mode == "1" ? "" : "/")});
        UpdateIncompleteLink("10", "10", "100", true);
        EXPECT_EQ(Entries(root_), Names{});
    }
    Settings("[GENERAL]\nINCOMPLETE_PARENT=0\n");
    UpdateIncompleteLink("10", "4", "40", false);
    EXPECT_EQ(Entries(root_), Names{});

    UseRelease("Some.Release/Sample");  // every listed word counts, also past the 127th character
    Settings("[GENERAL]\nEXTRA_SUB_DIRS=DVD1  " + std::string(150, 'x') + " sample\n[TEMPLATE]\n"
             "INCOMPLETE_PARENTB=[$percent% $progressbar]-[$dirname-$sub]\n");
    UpdateIncompleteLink("10", "4", "40", false);
    UpdateIncompleteLink("10", "5", "50", false);
    EXPECT_EQ(Entries(root_), Names{"[50% ##########----------]-[Some.Release-Sample]"});
}

TEST_F(StatusEntries, PathsThatWouldBeCutAreRefused) {
    std::string parent = Padded('p', 205);
    UseRelease(parent + "/" + std::string(45, 'r'));  // ReleaseDir of 251 characters
    UpdateIncompleteLink("10", "4", "40", false);  // "[--INCOMPLETE--]-[rrr...]" beside it would take 269
    EXPECT_EQ(Entries(root_ / parent), Names{});

    UseRelease(Padded('q', 253));
    for (const char* f : {"k-miss", "abcdef", "abcdefg.bad"}) test_support::WriteFile((release_ / f).string(), "");
    CleanMarkers();  // "*-missing" would be cut to "*-miss", ".../abcdefg.bad" to ".../abcdef"
    EXPECT_TRUE(fs::exists(release_ / "k-miss") && fs::exists(release_ / "abcdef"));

    // Its directory part, cut to 255 after any drive, would name a sibling.
    size_t drive = root_.string().size() > 1 && root_.string()[1] == ':' ? 2 : 0;
    UseRelease(Padded('s', 257 + drive));
    std::string sibling = Padded('s', 256 + drive) + "x";
    for (const fs::path& f : {root_ / sibling, release_ / "x"}) test_support::WriteFile((f).string(), "");
    DirFinder finder;
    EXPECT_EQ(finder.Open((std::string(ReleaseDir) + "*").c_str()), nullptr);
    finder.DeleteAll();
    EXPECT_TRUE(fs::exists(root_ / sibling));
}

TEST_F(StatusEntries, MarkersGoOnlyWhenTheirSwitchIsOne) {
    for (const char* f : {"a.rar-missing", "b.rar.bad"}) test_support::WriteFile((release_ / f).string(), "");
    fs::create_directories(release_ / "full-missing" / "x");
    fs::create_directory(release_ / "empty-missing");  // only the empty directory goes
    Settings("[GENERAL]\nMISSING=2\nBAD=0\n");
    CleanMarkers();
    EXPECT_TRUE(fs::exists(release_ / "a.rar-missing") && fs::exists(release_ / "b.rar.bad"));
    Settings("");
    CleanMarkers();
    EXPECT_FALSE(fs::exists(release_ / "a.rar-missing") || fs::exists(release_ / "b.rar.bad") ||
                 fs::exists(release_ / "empty-missing"));
    EXPECT_TRUE(fs::exists(release_ / "full-missing" / "x"));
}

TEST_F(StatusEntries, DirFinderDeletesOnlyWhatItsOpenSearchStandsOn) {
    for (const char* f : {"a.bad", "b-missing", "c-missing"}) test_support::WriteFile((release_ / f).string(), "");
    DirFinder finder;
    finder.DeleteAll();
    ASSERT_NE(finder.Open("*.bad"), nullptr);
    finder.Close();
    finder.DeleteAll();
    ASSERT_NE(finder.Open("*.bad"), nullptr);
    EXPECT_STREQ(finder.Open((release_.string() + "/*-MISSING").c_str()), "b-missing");
    finder.DeleteAll();
    EXPECT_TRUE(fs::exists(release_ / "a.bad"));
    EXPECT_FALSE(fs::exists(release_ / "b-missing") || fs::exists(release_ / "c-missing"));
}

}  // namespace
