// Reading the .sfv and the ACL, the server's verdicts, the CRC pass with its
// ".bad" treatment, the "-missing" markers and the guard on outside names.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sfv/sfv.h"
#include "test_support.h"

namespace {

using test_support::FileText;
using test_support::JoinPath;
using test_support::ListDir;
using test_support::WriteFile;

using Names = std::vector<std::string>;
using Files = std::vector<std::pair<std::string, std::string>>;  // name, contents

// The loaded .sfv as "name=CRC" items joined by '|'.
std::string SfvList(OrvexLog& log) {
    if (!log.sfvEntries) return "<no list>";
    std::string out;
    for (const void* e = log.sfvEntries->First(); e; e = log.sfvEntries->Next()) {
        const SfvEntry* s = static_cast<const SfvEntry*>(e);
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(s->crc));
        out += (out.empty() ? "" : "|") + std::string(s->name) + "=" + crc;
    }
    return out;
}

// The loaded ACL as "key:user/group/tag/good/other" items joined by '|'.
std::string AclList(OrvexLog& log) {
    if (!log.aclEntries) return "<no list>";
    std::string out;
    for (const void* e = log.aclEntries->First(); e; e = log.aclEntries->Next()) {
        const AclEntry* a = static_cast<const AclEntry*>(e);
        out += (out.empty() ? "" : "|") + std::to_string(static_cast<long long>(a->key)) + ":" + a->user + "/" +
               a->group + "/" + a->tag + "/" + a->goodFlag + "/" + a->otherFlag;
    }
    return out;
}

// An ACL line as the server writes it: 4 characters, key=user|group|tag|good|other.
std::string AclLine(const std::string& name, char goodFlag) {
    return "0000" + std::to_string(FileKey(name.c_str())) + "=user|group|tag|" + goodFlag + "|0\n";
}

// Every name below `dir` with the contents of each file.
std::string Tree(const std::string& dir) {
    std::string out;
    for (const std::string& n : ListDir(dir))
        out += n.back() == '/' ? n + "{" + Tree(JoinPath(dir, n.substr(0, n.size() - 1))) + "}"
                               : n + "=" + FileText(JoinPath(dir, n)) + ";";
    return out;
}

// The release is the working directory; Crevik.ini and Crevik.log are in root_.
class SfvTest : public ReleaseDirTest {
protected:
    static void Put(const std::string& name, const std::string& bytes) { ASSERT_TRUE(WriteFile(name, bytes)); }
    static void Put(const Files& files) { for (const auto& f : files) Put(f.first, f.second); }

    // The diagnostic log without the time stamp of its first line.
    std::string Diag() const {
        std::string text = FileText((root_ / "Crevik.log").string());
        return text.size() < 20 || text == "<absent>" ? "" : text.substr(20);
    }
    std::string Listing() const {
        std::string out;
        for (const std::string& n : ListDir(release_.string())) out += (out.empty() ? "" : " ") + n;
        return out;
    }

    // theLog read from the release, with an upload record for each name.
    static void Uploaded(const Names& names) {
        ASSERT_TRUE(theLog.ReadLogFile(UploadLogPath));
        for (const std::string& n : names) theLog.AddWithCheck("u", "g", 1, 1, n.c_str(), 'N');
        theLog.modified = false;
    }
    static bool Recorded(const std::string& name) { return theLog.GetNodeWithCheckBad(name.c_str()) != nullptr; }
};

class SfvLoad : public SfvTest {};

TEST_F(SfvLoad, LinesGiveNamesAndCrcsOrAreSkipped) {
    const std::string longest(259, 'n');
    const struct { std::string text, entries; } cases[] = {
        {"file.rar 1a2b3c4d\n", "file.rar=1A2B3C4D"},
        {"my file.r00   DEADBEEF\n", "my file.r00=DEADBEEF"},
        {"tab.rar\t0x1A2B3C4D\n", "tab.rar=1A2B3C4D"},
        {"stop.rar 1A2B3C4Dxyz\n", "stop.rar=1A2B3C4D"},  // the CRC stops at the junk
        {"big.rar 123456789\n", "big.rar=FFFFFFFF"},
        {"readme\n", ""},                                // no separator
        {"file.rar\n", "file=00000000"},                 // split at the dot
        {"colon.rar:1A2B3C4D\n", "colon.rar=00000000"},  // the conversion starts at the colon
        {"  padded.rar   0000abcd   \n", "padded.rar=0000ABCD"},
        {"; c 12345678\n   ;indented 12345678\n\n \t \r\na;b.rar 0000000A\n# no.rar B\n",
         "a;b.rar=0000000A|# no.rar=0000000B"},
        // 275 letters make a piece of their own (skipped); the rest is a line.
        {std::string(280, 'a') + " 1A2B3C4D\n", "aaaaa=1A2B3C4D"},
        {longest + " 00000001\n" + std::string(260, 'm') + " 00000002\n", longest + "=00000001"},
        {"a.rar 00000001\r\nlast.rar 00000004", "a.rar=00000001|last.rar=00000004"},
        {"ok..rar 1\n...x 2\n.hidden 3\n", "ok..rar=00000001|...x=00000002|.hidden=00000003"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Put("release.sfv", c.text);
        OrvexLog log;
        log.LoadSfvFile();
        EXPECT_EQ(SfvList(log), c.entries);
    }
}

TEST_F(SfvLoad, TheFirstMatchInSortedOrderIsReadAndADirectoryLoadsNothing) {
    Put({{"b.sfv", "second.rar 00000002\n"}, {"A.SFV", "first.rar 00000001\n"}});
    OrvexLog log;
    log.LoadSfvFile();
    EXPECT_EQ(SfvList(log), "first.rar=00000001");
    ASSERT_TRUE(PlatCreateDir("0.sfv"));
    OrvexLog again;
    again.LoadSfvFile();
    EXPECT_EQ(SfvList(again), "");
    EXPECT_EQ(Diag(), "");
}

class AclLoad : public SfvTest {};

TEST_F(AclLoad, LinesAreSplitIntoFieldsOrSkipped) {
    Put(kAclFileName,
        "abcd1=u|g|t|1|0\n"                       // 16 characters: skipped
        "abcd12=u|g|t|1|0\n"                      // 17: read
        "abcd100=user|group|tag|1\n"              // no sixth field: skipped
        "abcd200=user||group|tag|0|1\n"           // an empty field shifts the later ones
        "abcd==2238185766=joe|crew|tag|1|x\r\n");
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    EXPECT_EQ(AclList(log), "12:u/g/t/1/0|200:user/group/tag/0/1|2238185766:joe/crew/tag/1/x");
}

TEST_F(AclLoad, AMissingAclIsSilentAnUnreadableOneIsReported) {
    OrvexLog none;
    EXPECT_TRUE(none.LoadAclFile(ReleaseDir));
    EXPECT_EQ(AclList(none), "");
    EXPECT_EQ(Diag(), "");

    // Tests run as root, so a directory stands in for a refused open.
    ASSERT_TRUE(PlatCreateDir(kAclFileName));
    OrvexLog log;
    EXPECT_FALSE(log.LoadAclFile(ReleaseDir));
    EXPECT_EQ(AclList(log), "");
#ifdef _WIN32
    std::string expected = std::string("OrvexLog::LoadAclFile() fopen failed - ") + std::strerror(EACCES) + "\r\n";
#else
    std::string expected = std::string("OrvexLog::LoadAclFile() fopen failed - ") + std::strerror(EISDIR) + "\r\n";
#endif
    EXPECT_EQ(Diag(), expected);
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));  // read once per run: no second attempt
    EXPECT_EQ(Diag(), expected);
}

class SfvCheck : public SfvTest {};

// One release per row: a.rar uploaded damaged (recorded as A.RAR, an older
// a.rar.bad beside it), b.rar intact, c.rar damaged but never uploaded,
// empty.rar empty with CRC 00000000, gone.rar recorded but not on disk beside
// a gone.rar.bad. Only a '1' for a listed file is a verdict.
TEST_F(SfvCheck, VerdictsOrTheCrcPassDecideBadFilesRecordsAndMarkers) {
    const std::string noVerdict = AclLine("other.rar", '1') + AclLine("a.rar", '0');
    const std::string renamed = "a.rar-missing a.rar.bad b.rar c.rar c.rar-missing empty.rar gone.rar-missing";
    const struct { std::string acl, ini, files, aBad; int good; bool removed; } rows[] = {
        {AclLine("b.rar", '1'), "BAD=1",
         "a.rar a.rar-missing a.rar.bad b.rar c.rar c.rar-missing empty.rar empty.rar-missing gone.rar-missing "
         "gone.rar.bad", "old", 1, false},
        {noVerdict, "BAD=0", "a.rar " + renamed + " gone.rar.bad", "old", 2, false},
        {noVerdict, "BAD=1", renamed + " gone.rar.bad", "CORRUPTED", 2, false},
        {noVerdict, "", renamed + " gone.rar.bad", "CORRUPTED", 2, false},  // BAD is 1 by default
        {noVerdict, "BAD=2", "a.rar-missing b.rar c.rar c.rar-missing empty.rar gone.rar-missing", "<absent>", 2,
         true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ini + " " + r.acl);
        UseRelease("Release" + std::to_string(&r - rows));
        Settings("[GENERAL]\n" + r.ini + "\n");
        Put({{"release.sfv", "a.rar 11111111\nb.rar CBF43926\nc.rar 22222222\nempty.rar 00000000\ngone.rar 3\n"},
             {kAclFileName, r.acl}, {"a.rar", "CORRUPTED"}, {"a.rar.bad", "old"}, {"b.rar", "123456789"},
             {"c.rar", "wrong"}, {"empty.rar", ""}, {"gone.rar.bad", "kept"}});
        Uploaded({"A.RAR", "b.rar", "empty.rar", "gone.rar"});
        theLog.MakeMissingFiles();
        EXPECT_EQ(theLog.sfvUploaded, 4);
        EXPECT_EQ(theLog.sfvGood, r.good);
        EXPECT_EQ(Listing(), ".brindlesrv.acl " + r.files + " release.sfv");
        EXPECT_EQ(FileText("a.rar.bad"), r.aBad);
        EXPECT_EQ(FileText("c.rar"), "wrong");
        EXPECT_EQ(Recorded("a.rar"), !r.removed);
        EXPECT_EQ(Recorded("gone.rar"), !r.removed);
        EXPECT_TRUE(Recorded("b.rar"));
        EXPECT_EQ(theLog.modified, r.removed);
    }
}

TEST_F(SfvCheck, MarkersNeedTheUploadLog) {
    Put("release.sfv", "a.rar 00000001\n");
    theLog.MakeMissingFiles();
    EXPECT_EQ(Diag(), "OrvexLog::MakeMissingFiles() Log is not readed\r\n");
    EXPECT_EQ(Listing(), "release.sfv");
}

// Names that reach outside the release, recorded and listed with a wrong CRC:
// BAD 1 would rename, BAD 2 delete, and markers would go where they point.
class SfvTraversal : public SfvTest, public ::testing::WithParamInterface<int> {};

TEST_P(SfvTraversal, NothingOutsideTheReleaseChanges) {
    Settings("[GENERAL]\nBAD=" + std::to_string(GetParam()) + "\n");
    const std::string outside = (root_ / "outside").string();
    ASSERT_TRUE(PlatCreateDir(outside.c_str()));
    ASSERT_TRUE(PlatCreateDir("sub"));
    Put({{JoinPath(outside, "victim"), "outside data"}, {JoinPath(outside, "victim.bad"), "outside bad"},
         {(root_ / "victim").string(), "parent data"}, {JoinPath("sub", "x"), "sub data"}});
    const Names names = {"../outside/victim", "..\\outside\\victim", "../victim", "..\\victim",
                         JoinPath(outside, "victim"), "C:victim", "sub/x", "sub\\x", ".", "..", "", "...", ".. ."};
    std::string sfv;
    for (const std::string& name : names) sfv += name + " -12345678\n";
    Put("release.sfv", sfv);
    Uploaded(names);
    const std::string before = Tree(root_.string());
    theLog.MakeMissingFiles();
    EXPECT_EQ(SfvList(theLog), "");
    EXPECT_EQ(Tree(root_.string()), before);
    for (const std::string& name : names) EXPECT_TRUE(Recorded(name)) << name;
    EXPECT_FALSE(theLog.modified);
}

INSTANTIATE_TEST_SUITE_P(SfvBadModes, SfvTraversal, ::testing::Values(0, 1, 2));

}  // namespace
