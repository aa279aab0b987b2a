// Reading the .sfv and the ACL, the server's verdicts gating the CRC pass, its
// ".bad" treatment per BAD mode, and the guard on names reaching outside.
#include <cstring>

#include "sfv/sfv.h"
#include "test_support.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name, contents

// A loaded list's items joined by '|': "name=CRC" for the .sfv, "key:good other" for the ACL.
std::string Item(const SfvEntry& s) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "=%08X", static_cast<unsigned>(s.crc));
    return s.name + std::string(crc);
}
std::string Item(const AclEntry& a) {
    return std::to_string(static_cast<long long>(a.key)) + ":" + a.goodFlag + " " + a.otherFlag;
}
template <typename Entry>
std::string Items(OrderedList* list) {
    if (!list) return "<no list>";
    std::string out;
    for (const void* e = list->First(); e; e = list->Next())
        out += (out.empty() ? "" : "|") + Item(*static_cast<const Entry*>(e));
    return out;
}

void Put(const Files& all) { for (const auto& [name, text] : all) ASSERT_TRUE(WriteFile(name, text)); }

// An ACL line as the server writes it: 4 characters, key=user|group|tag|good|other.
std::string AclLine(const std::string& name, char goodFlag) {
    return "0000" + std::to_string(FileKey(name.c_str())) + "=user|group|tag|" + goodFlag + "|0\n";
}

using SfvTest = ReleaseDirTest;

TEST_F(SfvTest, LinesOfTheFirstSfvInSortedOrderGiveNamesAndCrcsOrAreSkipped) {
    const std::string longest(259, 'n');
    Put({{"b.sfv", "second.rar 00000002\n"},
         {"A.SFV",
          "file.rar 1a2b3c4d\nmy file.r00   DEADBEEF\ntab.rar\t0x1A2B3C4D\n"
          "stop.rar 1A2B3C4Dxyz\nbig.rar 123456789\n"  // the CRC stops at the junk or at FFFFFFFF
          "readme\nfile.rar\ncolon.rar:1A2B3C4D\n"      // no separator; split at the dot; at the colon
          "  padded.rar   0000abcd   \n; c 12345678\n   ;indented 12345678\n\n \t \r\na;b.rar 0000000A\n# no.rar B\n"
          // Names reaching outside the release, naming it or its parent, and empty ones are skipped.
          "../v 1\n..\\v 1\n/v 1\nC:v 1\nsub/x 1\nsub\\x 1\n. 1\n.. 1\n -1\n... 1\n.. . 1\n" +
          // 275 letters make a piece of their own (skipped); the rest is a line. 259 characters fit a name.
          std::string(280, 'a') + " 1A2B3C4D\n" + longest + " 00000001\n" + std::string(260, 'm') + " 00000002\n" +
          "ok..rar 1\n...x 2\n.hidden 3\na.rar 00000001\r\nlast.rar 00000004"}});
    SfvList log(settings_);
    log.LoadSfvFile(Dir());
    EXPECT_EQ(Items<SfvEntry>(log.entries),
              "file.rar=1A2B3C4D|my file.r00=DEADBEEF|tab.rar=1A2B3C4D|stop.rar=1A2B3C4D|big.rar=FFFFFFFF|"
              "file=00000000|colon.rar=00000000|padded.rar=0000ABCD|a;b.rar=0000000A|# no.rar=0000000B|"
              "aaaaa=1A2B3C4D|" + longest + "=00000001|ok..rar=00000001|...x=00000002|.hidden=00000003|"
              "a.rar=00000001|last.rar=00000004");
    ASSERT_TRUE(PlatCreateDir("0.sfv"));  // a directory loads nothing
    SfvList again(settings_);
    again.LoadSfvFile(Dir());
    EXPECT_EQ(Items<SfvEntry>(again.entries) + Diag(), "");
}

TEST_F(SfvTest, AclLinesAreSplitIntoFieldsOrSkippedAnUnreadableAclIsReportedOnce) {
    EXPECT_TRUE(SfvList(settings_).LoadAclFile(Dir()));  // no ACL: silence
    EXPECT_EQ(Diag(), "");
    Put({{kAclFileName,
          "abcd1=u|g|t|1|0\n"                       // 16 characters: skipped
          "abcd12=u|g|t|1|0\n"                      // 17: read
          "abcd100=user|group|tag|1\n"              // no sixth field: skipped
          "abcd200=user||group|tag|0|1\n"           // an empty field shifts the later ones
          "abcd==2238185766=joe|crew|tag|1|x\r\n"}});
    SfvList log(settings_);
    EXPECT_TRUE(log.LoadAclFile(Dir()));
    EXPECT_EQ(Items<AclEntry>(log.acl), "12:1 0|200:0 1|2238185766:1 x");

    ASSERT_TRUE(PlatDeleteFile(kAclFileName) && PlatCreateDir(kAclFileName));  // as root, a directory is unreadable
    SfvList refused(settings_);
    EXPECT_FALSE(refused.LoadAclFile(Dir()));
    const std::string expected = std::string("OrvexLog::LoadAclFile() fopen failed - ") +
                                 std::strerror(kDirectoryOpenErrno) + "\n";
    EXPECT_EQ(Items<AclEntry>(refused.acl) + Diag(), expected);
    EXPECT_TRUE(refused.LoadAclFile(Dir()));  // read once per run: no second attempt
    EXPECT_EQ(Diag(), expected);
}

// One release per row: a.rar uploaded damaged (recorded as A.RAR, an older
// a.rar.bad beside it), b.rar intact, c.rar damaged but never uploaded,
// empty.rar empty with CRC 00000000, gone.rar recorded but not on disk beside
// a gone.rar.bad, and ../victim, outside, recorded with a wrong CRC. Only a
// '1' for a listed file is a verdict; without one the CRC pass runs.
TEST_F(SfvTest, VerdictsOrTheCrcPassDecideBadFilesRecordsAndMarkers) {
    const std::string noVerdict = AclLine("other.rar", '1') + AclLine("a.rar", '0');
    const std::string renamed = "a.rar-missing a.rar.bad b.rar c.rar c.rar-missing empty.rar gone.rar-missing";
    const struct { std::string acl, ini, files, aBad; int good; bool removed; } rows[] = {
        {AclLine("b.rar", '1'), "BAD=1",
         "a.rar a.rar-missing a.rar.bad b.rar c.rar c.rar-missing empty.rar empty.rar-missing gone.rar-missing "
         "gone.rar.bad", "old", 1, false},
        {noVerdict, "BAD=0", "a.rar " + renamed + " gone.rar.bad", "old", 2, false},
        {noVerdict, "", renamed + " gone.rar.bad", "CORRUPTED", 2, false},  // BAD is 1 by default
        // The uploader's status directory shows the records BAD 2 left.
        {noVerdict, "BAD=2", "[UP #3@3KB by u@g at 1KBps]/ a.rar-missing b.rar c.rar c.rar-missing empty.rar "
         "gone.rar-missing", "<absent>", 2, true},
    };
    const std::string victim = (root_ / "victim").string();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ini + " " + r.acl);
        UseRelease("Release" + std::to_string(&r - rows));
        Settings("[GENERAL]\n" + r.ini + "\n");
        Put({{"release.sfv",
              "a.rar 11111111\nb.rar CBF43926\nc.rar 22222222\nempty.rar 00000000\ngone.rar 3\n../victim 4\n"},
             {kAclFileName, r.acl}, {"a.rar", "CORRUPTED"}, {"a.rar.bad", "old"}, {"b.rar", "123456789"},
             {"c.rar", "wrong"}, {"empty.rar", ""}, {"gone.rar.bad", "kept"}, {victim, "outside"}});
        MakeMissingFiles(*rel_);  // without the upload log: no markers
        ASSERT_TRUE(RunLog().ReadLogFile(LogPath()));
        for (const char* n : {"A.RAR", "b.rar", "empty.rar", "gone.rar", "../victim"})
            RunLog().AddWithCheck("u", "g", 1, 1, n, 'N');
        RunLog().modified = false;
        MakeMissingFiles(*rel_);
        EXPECT_EQ(rel_->sfv.uploaded, 4);
        EXPECT_EQ(rel_->sfv.good, r.good);
        std::string listing;
        for (const std::string& n : List(release_.string())) listing += " " + n;
        EXPECT_EQ(listing, " .brindlesrv.acl " + r.files + " release.sfv");
        EXPECT_EQ(FileText("a.rar.bad"), r.aBad);
        EXPECT_EQ(FileText(victim) + FileText(victim + "-missing"), "outside<absent>");
        EXPECT_EQ(!RunLog().GetNodeWithCheckBad("a.rar") + !RunLog().GetNodeWithCheckBad("gone.rar"), r.removed ? 2 : 0);
        EXPECT_EQ(RunLog().modified, r.removed);
    }
}

}  // namespace
