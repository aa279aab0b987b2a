// Template, progress bar and status entry rules that whole release lives (the end-to-end tests) do not reach.
#include "status/status.h"

#include "test_support.h"

namespace {

TemplateVars vars;

std::string Expand(const std::string& templ) {
    char out[kMaxPath];  // exactly the callers' size, so an overrun shows under ASan
    ExpandTemplate(vars, templ.c_str(), out);
    return out;
}

TEST(Templates, ReplaceWholeNamesFromTheFirstEntryWithinTheLimits) {
    vars = TemplateVars();
    vars.Add("good", "4");
    vars.Add("sfv_count", "10");
    vars.Add("val", "$good");
    vars.Add("good", "9");
    vars.Add("", "empty names never match");
    EXPECT_EQ(Expand("[$goodies of $sfv_count] $$good $Good $1 $val $sfv_ $"),
              "[4ies of 10] $4 $Good $1 $good $sfv_ $");
    // Names keep 31 characters, values 255, and an expansion stops at 259.
    vars = TemplateVars();
    vars.Add(std::string(40, 'n').c_str(), std::string(300, 'v').c_str());
    std::string ref = "$" + std::string(31, 'n');
    EXPECT_EQ(Expand("[" + ref + ref + "]"), "[" + std::string(258, 'v'));
    EXPECT_EQ(Expand(ref + "12345"), std::string(255, 'v') + "1234");
}

// The status entries of a directory: names starting with '['.
std::string Entries(const fs::path& dir) {
    std::string out;
    for (const std::string& name : List(dir.string()))
        if (name[0] == '[') out += name + "\n";
    return out;
}

// A name of `c` that makes root/name/ exactly `n` characters long.
std::string Padded(const fs::path& root, char c, size_t n) { return std::string(n - root.string().size() - 2, c); }

// The status calls on the fixture's settings and release.
class StatusEntries : public ReleaseDirTest {
protected:
    ProgressBar MakeProgressBar(int32_t percent, char blank, char fill) {
        return ::MakeProgressBar(settings_.progressLength, percent, blank, fill);
    }
    bool IsReleaseSubDir(const char* name) { return ::IsReleaseSubDir(settings_, name); }
    void UpdateUpDir(const char* user, const char* group) { ::UpdateUpDir(settings_, RunLog(), user, group); }
    void UpdateIncompleteLink(const char* count, const char* good, const char* percent, bool remove) {
        ::UpdateIncompleteLink(settings_, Dir(), count, good, percent, remove);
    }
    void CleanMarkers() { ::CleanMarkers(settings_, Dir()); }
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

TEST_F(StatusEntries, NamesLoseSeparatorsAndWildcardsAndWinnersShowDashesUntilKnown) {
    UpdateUpDir("joe", "crew");  // the log is not read: no figures, no directory
    ASSERT_TRUE(RunLog().ReadLogFile(LogPath()));
    for (const char* d : {"[UP #0@0 by _@crew at 0]", "[UP #5@5 by _@crew at 5]", "[UP #9@9 by _@crew at 9]/x"})
        fs::create_directories(release_ / d);  // the first match is renamed, an empty extra one goes, a full one stays
    RunLog().AddWithCheck("../x", "a\\b/c?", 700, 350, "b.rar", 'N');
    UpdateUpDir("../x", "a\\b/c?");
    RunLog().AddWithCheck("*", "crew", 1400, 700, "c.rar", 'N');
    UpdateUpDir("*", "crew");
    EXPECT_EQ(Entries(release_), "[UP #1@1.4MB by _@crew at 700KBps]/\n[UP #1@700KB by .._x@a_b_c_ at 350KBps]/\n"
                                 "[UP #9@9 by _@crew at 9]/\n");

    UseRelease("Done.Release");
    Settings("[TEMPLATE]\nCOMPLETE=[$racewin_user@$racewin_ugrp $race_users $racewin_group $percent]\n");
    RaceStats race;
    ShowCompletionDir(settings_, "0", race);  // no racer yet: dashes
    RaceTally joe = {10.0, "../joe", "cr*w", 1000, 100, 1}, team = {10.0, "amy", "team", 1000, 100, 1};
    race.racers.push_back(joe);
    race.groups.push_back(team);
    ShowCompletionDir(settings_, "1", race);
    EXPECT_EQ(Entries(release_), "[-@- 0 - $percent]/\n[.._joe@cr_w 1 team $percent]/\n");
}

TEST_F(StatusEntries, SubDirsAreCdNumbersOrListedWordsAndMode0KeepsNoEntry) {
    Settings("[GENERAL]\nINCOMPLETE_PARENT=0\nEXTRA_SUB_DIRS=DVD1  " + std::string(150, 'x') + " sample\n");
    for (const char* name : {"cD07", "Cd1", "dvd1", "Sample"}) EXPECT_TRUE(IsReleaseSubDir(name)) << name;
    for (const char* name : {"cd123", "cda", "CD", "DVD", "samples"}) EXPECT_FALSE(IsReleaseSubDir(name)) << name;
    UpdateIncompleteLink("10", "4", "40", false);
    EXPECT_EQ(Entries(root_), "");
}

TEST_F(StatusEntries, PathsThatWouldBeCutAreRefused) {
    std::string parent = Padded(root_, 'p', 205);
    UseRelease(parent + "/" + std::string(45, 'r'));  // Dir() of 251 characters
    UpdateIncompleteLink("10", "4", "40", false);  // "[--INCOMPLETE--]-[rrr...]" beside it would take 269
    EXPECT_EQ(Entries(root_ / parent), "");

    UseRelease(Padded(root_, 'q', 253));
    for (const char* f : {"k-miss", "abcdef", "abcdefg.bad"}) WriteFile((release_ / f).string(), "");
    CleanMarkers();  // "*-missing" would be cut to "*-miss", ".../abcdefg.bad" to ".../abcdef"
    EXPECT_TRUE(fs::exists(release_ / "k-miss") && fs::exists(release_ / "abcdef"));

    // Its directory part, cut to 255 after any drive, would name a sibling.
    size_t drive = root_.string().size() > 1 && root_.string()[1] == ':' ? 2 : 0;
    UseRelease(Padded(root_, 's', 257 + drive));
    std::string sibling = Padded(root_, 's', 256 + drive) + "x";
    for (const fs::path& f : {root_ / sibling, release_ / "x"}) WriteFile(f.string(), "");
    DirFinder finder;
    EXPECT_EQ(finder.Open((std::string(Dir()) + "*").c_str()), nullptr);
    finder.DeleteAll();
    EXPECT_TRUE(fs::exists(root_ / sibling));
}

TEST_F(StatusEntries, MarkersGoOnlyWhenTheirSwitchIsOne) {
    for (const char* f : {"a.rar-missing", "b.rar.bad", "c.BAD"}) WriteFile((release_ / f).string(), "");
    fs::create_directories(release_ / "full-missing" / "x");
    fs::create_directory(release_ / "empty-missing");  // only the empty directory goes
    Settings("[GENERAL]\nMISSING=2\nBAD=0\n");
    CleanMarkers();
    EXPECT_EQ(List(release_.string()).size(), 5u);
    Settings("");
    CleanMarkers();
    EXPECT_TREE(release_.string(), "full-missing/");
}

}  // namespace
