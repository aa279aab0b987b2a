// Reading the .sfv and the ACL (Part 4.2), the server's verdicts, the CRC
// pass with its ".bad" treatment and the "-missing" markers (Part 4.3).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "main/run_state.h"
#include "sfv/sfv.h"
#include "test_support.h"
#include "util/util.h"

namespace {

using test_support::Exists;
using test_support::FileText;
using test_support::IsFile;
using test_support::JoinPath;
using test_support::ListDir;
using test_support::ScratchDir;
using test_support::WriteFile;

using Names = std::vector<std::string>;

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

uint32_t CrcOf(const std::string& bytes) { return Crc32Update(0, bytes.data(), bytes.size()); }

// The .sfv line that lists `name` with the CRC of `contents`.
std::string SfvLine(const std::string& name, const std::string& contents) {
    return name + " " + Hex8(CrcOf(contents)) + "\n";
}

// An ACL line in the form the server writes: four characters, the key, '=',
// then user, group, tag, good flag and one more flag.
std::string AclLine(const std::string& name, char goodFlag) {
    return "0000" + std::to_string(FileKey(name.c_str())) + "=user|group|tag|" + goodFlag + "|0\n";
}

struct Entry {
    std::string name;
    uint32_t crc;
    uint32_t key;
    bool good;
};

std::vector<Entry> Entries(OrvexLog& log) {
    std::vector<Entry> out;
    if (!log.sfvEntries) return out;
    for (const void* e = log.sfvEntries->First(); e; e = log.sfvEntries->Next()) {
        const SfvEntry* s = static_cast<const SfvEntry*>(e);
        out.push_back({s->name, static_cast<uint32_t>(s->crc), s->key, s->good != 0});
    }
    return out;
}

Names EntryNames(OrvexLog& log) {
    Names names;
    for (const Entry& e : Entries(log)) names.push_back(e.name);
    return names;
}

std::vector<AclEntry> AclEntries(OrvexLog& log) {
    std::vector<AclEntry> out;
    if (!log.aclEntries) return out;
    for (const void* e = log.aclEntries->First(); e; e = log.aclEntries->Next())
        out.push_back(*static_cast<const AclEntry*>(e));
    return out;
}

// One release directory, the working directory of the test, with a sibling
// directory outside it and the configuration (and diagnostic log) apart.
class SfvTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(root_.path().empty());
        rel_ = root_ / "rel";
        outside_ = root_ / "outside";
        cfg_ = root_ / "cfg";
        ASSERT_TRUE(PlatCreateDir(rel_.c_str()));
        ASSERT_TRUE(PlatCreateDir(outside_.c_str()));
        ASSERT_TRUE(PlatCreateDir(cfg_.c_str()));
        Configure("");
        ResetRunState();
        CopyText(ReleaseDir, (rel_ + kPathSep).c_str());
        ASSERT_TRUE(PlatChangeDir(rel_.c_str()));
    }

    void TearDown() override {
        PlatChangeDir(::testing::TempDir().c_str());
        std::string empty = root_ / "empty.ini";
        WriteFile(empty, "");
        theConfig.Load(empty.c_str());
        theConfig.configDir[0] = '\0';
        ResetRunState();
    }

    // The GENERAL section of the configuration.
    void Configure(const std::string& general) {
        std::string ini = cfg_ + kPathSep + "Crevik.ini";
        ASSERT_TRUE(WriteFile(ini, "[GENERAL]\n" + general));
        ASSERT_TRUE(theConfig.Load(ini.c_str()));
    }
    void SetBad(int mode) { Configure("BAD=" + std::to_string(mode) + "\n"); }

    std::string Rel(const std::string& name) const { return JoinPath(rel_, name); }
    void Put(const std::string& name, const std::string& bytes) { ASSERT_TRUE(WriteFile(Rel(name), bytes)); }
    void Sfv(const std::string& text, const std::string& name = "release.sfv") { Put(name, text); }
    void Acl(const std::string& text) { Put(kAclFileName, text); }

    std::string DiagLog() const {
        std::string text = FileText(cfg_ + kPathSep + "Crevik.log");
        return text == "<absent>" ? "" : text;
    }

    // An upload log read from a release without a log file, so it is empty.
    void ReadEmptyLog(OrvexLog& log) { ASSERT_TRUE(log.ReadLogFile(Rel(".upChk.log").c_str())); }
    void Record(OrvexLog& log, const std::string& name, int status = 'N') {
        UploadRecord r;
        std::memset(&r, 0, sizeof r);
        r.key = static_cast<double>(FileKey(name.c_str()));
        CopyText(r.user, "u1");
        CopyText(r.group, "g1");
        r.size = 700;
        r.speed = 150;
        r.status = status;
        ASSERT_EQ(log.records->Append(&r), 0);
    }
    bool HasRecord(OrvexLog& log, const std::string& name) {
        UploadRecord probe;
        probe.key = static_cast<double>(FileKey(name.c_str()));
        return log.records->Find(&probe) != nullptr;
    }

    ScratchDir root_{"crevik_sfv"};
    std::string rel_, outside_, cfg_;
};

// ---- .sfv loading -----------------------------------------------------------

class SfvLoad : public SfvTest {};

TEST_F(SfvLoad, ExampleTableOfLineParsing) {
    Sfv("file.rar 1a2b3c4d\n"
        "my file.r00   DEADBEEF\n"
        "tab.rar\t0x1A2B3C4D\n"
        "stop.rar 1A2B3C4Dxyz\n"
        "big.rar 123456789\n"
        "readme\n"
        "nocrc.rar\n"
        "colon.rar:1A2B3C4D\n"
        "minus.rar -1\n"
        "plus.rar +1a\n"
        "  padded.rar   0000abcd   \n");
    OrvexLog log;
    log.LoadSfvFile();
    std::vector<Entry> e = Entries(log);
    ASSERT_EQ(e.size(), 10u);
    EXPECT_EQ(e[0].name, "file.rar");
    EXPECT_EQ(e[0].crc, 0x1A2B3C4Du);
    EXPECT_EQ(e[0].key, FileKey("FILE.RAR"));
    EXPECT_FALSE(e[0].good);
    EXPECT_EQ(e[1].name, "my file.r00");
    EXPECT_EQ(e[1].crc, 0xDEADBEEFu);
    EXPECT_EQ(e[2].name, "tab.rar");
    EXPECT_EQ(e[2].crc, 0x1A2B3C4Du);
    EXPECT_EQ(e[3].name, "stop.rar");
    EXPECT_EQ(e[3].crc, 0x1A2B3C4Du);
    EXPECT_EQ(e[4].name, "big.rar");
    EXPECT_EQ(e[4].crc, 0xFFFFFFFFu);
    EXPECT_EQ(e[5].name, "nocrc");  // split at the last dot
    EXPECT_EQ(e[5].crc, 0u);
    EXPECT_EQ(e[6].name, "colon.rar");
    EXPECT_EQ(e[6].crc, 0u);  // the conversion starts at the colon
    EXPECT_EQ(e[7].name, "minus.rar");
    EXPECT_EQ(e[7].crc, 0xFFFFFFFFu);  // a minus negates modulo 2^32
    EXPECT_EQ(e[8].name, "plus.rar");
    EXPECT_EQ(e[8].crc, 0x1Au);
    EXPECT_EQ(e[9].name, "padded.rar");
    EXPECT_EQ(e[9].crc, 0xABCDu);
    EXPECT_EQ(DiagLog(), "");
}

TEST_F(SfvLoad, CommentsAndBlankLinesGiveAnEmptyList) {
    Sfv("; a comment\n"
        "   ;indented comment 12345678\n"
        "\n"
        "  \t \r\n"
        "\r\n");
    OrvexLog log;
    log.LoadSfvFile();
    ASSERT_NE(log.sfvEntries, nullptr);
    EXPECT_EQ(log.sfvEntries->Count(), 0);
    EXPECT_EQ(DiagLog(), "");
}

TEST_F(SfvLoad, OnlyALeadingSemicolonMakesAComment) {
    Sfv("; c\n"
        "a;b.rar 0000000A\n"
        "# not.rar 0000000B\n");
    OrvexLog log;
    log.LoadSfvFile();
    EXPECT_EQ(EntryNames(log), (Names{"a;b.rar", "# not.rar"}));
}

TEST_F(SfvLoad, TheAlphanumericTestIsAsciiOnly) {
    // 0xE9 is a letter in Latin-1 locales, but never here: it ends the pass
    // as the separator, so the CRC reads from it and gives 0.
    Sfv("abc.r\xE9" "01\n"
        "\xE9t\xE9.rar 0000000F\n");
    OrvexLog log;
    log.LoadSfvFile();
    std::vector<Entry> e = Entries(log);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].name, "abc.r");
    EXPECT_EQ(e[0].crc, 0u);
    EXPECT_EQ(e[1].name, "\xE9t\xE9.rar");
    EXPECT_EQ(e[1].crc, 0xFu);
}

TEST_F(SfvLoad, FirstOfTwoSfvFilesInSortedOrderIsRead) {
    Sfv("second.rar 00000002\n", "b.sfv");
    Sfv("first.rar 00000001\n", "A.SFV");
    Sfv("third.rar 00000003\n", "c.sfv");
    Put("d.sfvx", "not.rar 00000004\n");
    OrvexLog log;
    log.LoadSfvFile();
    EXPECT_EQ(EntryNames(log), (Names{"first.rar"}));
}

TEST_F(SfvLoad, NoSfvWritesThePatternAndIsNotLookedForAgain) {
    OrvexLog log;
    log.LoadSfvFile();
    ASSERT_NE(log.sfvEntries, nullptr);
    EXPECT_EQ(log.sfvEntries->Count(), 0);
    std::string expected = std::string("OrvexLog::LoadSfvFile() sfv file is not exist (pattern = ") + ReleaseDir +
                           "*.sfv)\r\n";
    std::string diag = DiagLog();
    ASSERT_GE(diag.size(), expected.size());
    EXPECT_EQ(diag.substr(diag.size() - expected.size()), expected);
    EXPECT_EQ(diag.find('\n'), diag.size() - 1);  // one line

    Sfv("late.rar 00000001\n");
    log.LoadSfvFile();
    EXPECT_EQ(log.sfvEntries->Count(), 0);
    EXPECT_EQ(DiagLog(), diag);
}

TEST_F(SfvLoad, ADirectoryAsFirstMatchLoadsNothing) {
    ASSERT_TRUE(PlatCreateDir(Rel("a.sfv").c_str()));
    Sfv("b.rar 00000001\n", "b.sfv");
    OrvexLog log;
    log.LoadSfvFile();
    ASSERT_NE(log.sfvEntries, nullptr);
    EXPECT_EQ(log.sfvEntries->Count(), 0);
    EXPECT_EQ(DiagLog(), "");
}

TEST_F(SfvLoad, LongLinesArriveIn275CharacterPieces) {
    // 280 letters then " 1A2B3C4D": the first piece is 275 letters (wholly
    // alphanumeric, skipped); the rest is a line of its own.
    std::string text = std::string(280, 'a') + " 1A2B3C4D\n";
    // A piece of 275 with a separator: the name is the piece before it.
    text += std::string(200, 'b') + "." + std::string(74, 'c') + std::string(10, 'd') + " 00000001\n";
    Sfv(text);
    OrvexLog log;
    log.LoadSfvFile();
    std::vector<Entry> e = Entries(log);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "aaaaa");
    EXPECT_EQ(e[0].crc, 0x1A2B3C4Du);
    EXPECT_EQ(e[1].name, std::string(200, 'b'));  // split at the dot; ".ccc…" holds no digit
    EXPECT_EQ(e[1].crc, 0u);
    EXPECT_EQ(e[2].name, "dddddddddd");
    EXPECT_EQ(e[2].crc, 1u);
}

TEST_F(SfvLoad, NamesOver259CharactersAreSkippedNotCut) {
    std::string fits(259, 'n');
    std::string tooLong(260, 'm');
    Sfv(fits + " 00000001\n" + tooLong + " 00000002\n" + "after.rar 00000003\n");
    OrvexLog log;
    log.LoadSfvFile();
    EXPECT_EQ(EntryNames(log), (Names{fits, "after.rar"}));
}

TEST_F(SfvLoad, CrlfEndsNoFinalLineFeedAndDuplicates) {
    Sfv("a.rar 00000001\r\n"
        "dup.rar 00000002\r\n"
        "DUP.RAR 00000003\r\n"
        "last.rar 00000004");
    OrvexLog log;
    log.LoadSfvFile();
    std::vector<Entry> e = Entries(log);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].name, "a.rar");
    EXPECT_EQ(e[1].name, "dup.rar");
    EXPECT_EQ(e[2].name, "DUP.RAR");
    EXPECT_EQ(e[3].name, "last.rar");
    EXPECT_EQ(e[3].crc, 4u);
    // A look-up by key finds the first of the duplicates.
    SfvEntry probe;
    probe.key = FileKey("Dup.Rar");
    const SfvEntry* found = static_cast<const SfvEntry*>(log.sfvEntries->Find(&probe));
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->name, "dup.rar");
    EXPECT_EQ(found->crc, 2.0);
}

TEST_F(SfvLoad, BinaryGarbageIsNeverACrash) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    garbage += std::string("\0\0\0", 3) + "\nok.rar 0000000A\n" + std::string(600, '\xFF');
    Sfv(garbage);
    OrvexLog log;
    log.LoadSfvFile();
    std::vector<Entry> e = Entries(log);
    bool sawOk = false;
    for (const Entry& entry : e) {
        EXPECT_LT(entry.name.size(), static_cast<size_t>(kMaxPath));
        EXPECT_EQ(entry.name.find_first_of("/\\:"), std::string::npos);
        if (entry.name == "ok.rar") sawOk = entry.crc == 0xA;
    }
    EXPECT_TRUE(sawOk);
}

TEST_F(SfvLoad, NamesThatLeaveTheReleaseAreSkipped) {
    Sfv("../x 00000001\n"
        "..\\x 00000001\n"
        "/etc/x 00000001\n"
        "C:x 00000001\n"
        "C:\\x 00000001\n"
        "sub/x 00000001\n"
        "sub\\x 00000001\n"
        ". 00000001\n"
        ".. 00000001\n"
        "..\n"
        "... 00000001\n"    // Windows trims trailing dots and blanks:
        ".. . 00000001\n"   // names of dots and blanks only can mean "." or ".."
        " -00000001\n"  // an empty name is no file either
        "ok..rar 00000001\n"
        "...x 00000001\n"
        ".hidden 00000001\n");
    OrvexLog log;
    log.LoadSfvFile();
    EXPECT_EQ(EntryNames(log), (Names{"ok..rar", "...x", ".hidden"}));
}

// ---- ACL loading --------------------------------------------------------------

class AclLoad : public SfvTest {};

TEST_F(AclLoad, NoAclIsNoErrorAndAnEmptyList) {
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    ASSERT_NE(log.aclEntries, nullptr);
    EXPECT_EQ(log.aclEntries->Count(), 0);
    EXPECT_EQ(DiagLog(), "");
}

TEST_F(AclLoad, FieldsOfAWellFormedLine) {
    Acl("abcd==2238185766=joe|crew|tag|1|x\r\n");
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].key, 2238185766.0);
    EXPECT_STREQ(a[0].user, "joe");
    EXPECT_STREQ(a[0].group, "crew");
    EXPECT_STREQ(a[0].tag, "tag");
    EXPECT_EQ(a[0].goodFlag, '1');
    EXPECT_EQ(a[0].otherFlag, 'x');
}

TEST_F(AclLoad, SixteenCharactersAreSkippedSeventeenParsed) {
    std::string sixteen = "abcd1=u|g|t|1|0\n";
    std::string seventeen = "abcd12=u|g|t|1|0\n";
    ASSERT_EQ(sixteen.size(), 16u);
    ASSERT_EQ(seventeen.size(), 17u);
    Acl(sixteen + seventeen + "short\n" + "\n");
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].key, 12.0);
    EXPECT_EQ(a[0].otherFlag, '0');
}

TEST_F(AclLoad, MissingFieldsSkipTheLine) {
    Acl("abcd100=user|group|tag|1\n"          // no sixth field
        "abcd101=user|group|tag\n"            // no fifth
        "abcd102 user|group|tag|1|0\n"        // no '=': the key runs to the end
        "abcd================\n"              // no key text
        "abcd103=user|group|tag|1|\n"         // the line end is the sixth field
        "abcd104=user|group||1|0\n"           // an empty field vanishes: only four
        "abcd105=|||user|group|tag|1|0|9|9\n"  // leading and extra fields
        "0123106=user|group|tag|1|0");        // the first four characters are ignored
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].key, 103.0);
    EXPECT_EQ(a[0].goodFlag, '1');
    EXPECT_EQ(a[0].otherFlag, '\n');
    EXPECT_EQ(a[1].key, 105.0);
    EXPECT_STREQ(a[1].user, "user");
    EXPECT_EQ(a[1].goodFlag, '1');
    EXPECT_EQ(a[1].otherFlag, '0');
    EXPECT_EQ(a[2].key, 106.0);
}

TEST_F(AclLoad, AnEmptyFieldShiftsTheLaterOnes) {
    // Meant as user, (empty), group, tag, 0, 1: the flag read as the good
    // flag is then the first character of the sixth field.
    Acl("abcd200=user||group|tag|0|1\n");
    OrvexLog log;
    log.LoadAclFile(ReleaseDir);
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_STREQ(a[0].user, "user");
    EXPECT_STREQ(a[0].group, "group");
    EXPECT_STREQ(a[0].tag, "tag");
    EXPECT_EQ(a[0].goodFlag, '0');
    EXPECT_EQ(a[0].otherFlag, '1');
}

TEST_F(AclLoad, LongFieldsAreCutToTheirWidths) {
    std::string longText(40, 'w');
    Acl("abcd300=" + longText + "|" + longText + "|abcdef|1|0\n");
    OrvexLog log;
    log.LoadAclFile(ReleaseDir);
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(std::string(a[0].user), std::string(31, 'w'));
    EXPECT_EQ(std::string(a[0].group), std::string(31, 'w'));
    EXPECT_STREQ(a[0].tag, "abc");
    EXPECT_EQ(a[0].goodFlag, '1');
}

TEST_F(AclLoad, KeysFollowUnsignedDecimalRules) {
    Acl("abcd  42xyz=u|g|t|1|0\n"
        "abcdnope=u|g|t|1|0\n"
        "abcd99999999999=u|g|t|1|0\n");
    OrvexLog log;
    log.LoadAclFile(ReleaseDir);
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].key, 42.0);
    EXPECT_EQ(a[1].key, 0.0);
    EXPECT_EQ(a[2].key, 4294967295.0);
}

TEST_F(AclLoad, LongLinesAndGarbageAreHandledInPieces) {
    std::string text = "abcd400=" + std::string(130, 'u') + "|g|t|1|0\n";  // 120, then the rest
    for (int i = 0; i < 2048; ++i) text.push_back(static_cast<char>((i * 53 + 7) & 0xFF));
    text += "\nabcd401=u|g|t|1|0\n";
    Acl(text);
    OrvexLog log;
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    std::vector<AclEntry> a = AclEntries(log);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a.back().key, 401.0);
    for (const AclEntry& e : a) EXPECT_NE(e.key, 400.0);
}

TEST_F(AclLoad, AnAclThatExistsButCannotBeReadIsReported) {
    // Tests run as root, so a directory stands in for a refused open.
    ASSERT_TRUE(PlatCreateDir(Rel(kAclFileName).c_str()));
    OrvexLog log;
    EXPECT_FALSE(log.LoadAclFile(ReleaseDir));
    ASSERT_NE(log.aclEntries, nullptr);
    EXPECT_EQ(log.aclEntries->Count(), 0);
#ifdef _WIN32
    std::string expected = std::string("OrvexLog::LoadAclFile() fopen failed - ") + std::strerror(EACCES) + "\r\n";
#else
    std::string expected = std::string("OrvexLog::LoadAclFile() fopen failed - ") + std::strerror(EISDIR) + "\r\n";
#endif
    std::string diag = DiagLog();
    ASSERT_GE(diag.size(), expected.size());
    EXPECT_EQ(diag.substr(diag.size() - expected.size()), expected);
    EXPECT_EQ(diag.find('\n'), diag.size() - 1);

    // Read once per run: the list exists now, so no second attempt.
    EXPECT_TRUE(log.LoadAclFile(ReleaseDir));
    EXPECT_EQ(DiagLog(), diag);
}

// ---- scanning, the CRC pass and markers -------------------------------------

class SfvCheck : public SfvTest {};

TEST_F(SfvCheck, ScanCountsEntriesUploadsAndServerVerdictsOnce) {
    Sfv(SfvLine("a.rar", "A") + SfvLine("b.rar", "B") + SfvLine("c.rar", "C"));
    Acl(AclLine("b.rar", '1') + AclLine("c.rar", '0') + AclLine("zzz.rar", '1'));
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "A.RAR");  // matched by key: letter case does not matter
    Record(log, "c.rar", 'F');
    EXPECT_EQ(log.ScanSfvStatus(), 3);
    EXPECT_EQ(log.sfvCount, 3);
    EXPECT_EQ(log.sfvGood, 1);
    EXPECT_EQ(log.sfvUploaded, 2);
    std::vector<Entry> e = Entries(log);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_FALSE(e[0].good);
    EXPECT_TRUE(e[1].good);
    EXPECT_FALSE(e[2].good);

    log.sfvGood = 99;  // made once per run: nothing is recomputed
    EXPECT_EQ(log.ScanSfvStatus(), 3);
    EXPECT_EQ(log.sfvGood, 99);
}

TEST_F(SfvCheck, AnAclVerdictMeansNoCrcIsComputed) {
    SetBad(1);
    Sfv(SfvLine("a.rar", "good a") + SfvLine("b.rar", "good b") + SfvLine("c.rar", "good c") +
        SfvLine("d.rar", "good d"));
    Acl(AclLine("b.rar", '1'));
    Put("a.rar", "CORRUPTED");  // uploaded, wrong CRC: left alone, since no CRC is computed
    Put("d.rar", "good d");     // uploaded intact: still gets a marker
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    Record(log, "b.rar");
    Record(log, "d.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvGood, 1);
    EXPECT_EQ(FileText(Rel("a.rar")), "CORRUPTED");
    EXPECT_FALSE(Exists(Rel("a.rar.bad")));
    EXPECT_TRUE(HasRecord(log, "a.rar"));
    EXPECT_FALSE(log.modified);
    EXPECT_EQ(ListDir(rel_), (Names{".brindlesrv.acl", "a.rar", "a.rar-missing", "c.rar-missing", "d.rar",
                                    "d.rar-missing", "release.sfv"}));
}

TEST_F(SfvCheck, AVerdictForAFileNotListedDoesNotStopTheCrcPass) {
    SetBad(0);
    Sfv(SfvLine("a.rar", "good a"));
    Acl(AclLine("other.rar", '1') + AclLine("a.rar", '0'));
    Put("a.rar", "good a");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    EXPECT_EQ(log.CheckSfvFiles(), 1);
    EXPECT_TRUE(Entries(log)[0].good);
}

TEST_F(SfvCheck, WithoutAclACorruptFileBecomesBadUnderBad1) {
    SetBad(1);
    Sfv(SfvLine("a.rar", "good a") + SfvLine("b.rar", "good b") + SfvLine("c.rar", "good c"));
    Put("a.rar", "CORRUPTED");
    Put("a.rar.bad", "an older bad copy");
    Put("b.rar", "good b");
    Put("c.rar", "not uploaded, wrong");  // no record: never opened, never renamed
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    Record(log, "b.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvCount, 3);
    EXPECT_EQ(log.sfvUploaded, 2);
    EXPECT_EQ(log.sfvGood, 1);
    EXPECT_FALSE(Exists(Rel("a.rar")));
    EXPECT_EQ(FileText(Rel("a.rar.bad")), "CORRUPTED");
    EXPECT_EQ(FileText(Rel("c.rar")), "not uploaded, wrong");
    EXPECT_TRUE(HasRecord(log, "a.rar"));
    EXPECT_FALSE(log.modified);
    std::vector<Entry> e = Entries(log);
    EXPECT_FALSE(e[0].good);
    EXPECT_TRUE(e[1].good);
    EXPECT_FALSE(e[2].good);
    EXPECT_EQ(ListDir(rel_),
              (Names{"a.rar-missing", "a.rar.bad", "b.rar", "c.rar", "c.rar-missing", "release.sfv"}));
    EXPECT_EQ(FileText(Rel("a.rar-missing")), "");
}

TEST_F(SfvCheck, Bad1LeavesAFileThatIsNotThereAlone) {
    SetBad(1);
    Sfv(SfvLine("gone.rar", "data"));
    Put("gone.rar.bad", "kept");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "gone.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(FileText(Rel("gone.rar.bad")), "kept");
    EXPECT_EQ(ListDir(rel_), (Names{"gone.rar-missing", "gone.rar.bad", "release.sfv"}));
}

TEST_F(SfvCheck, Bad2DeletesTheFileItsBadCopyAndItsRecord) {
    SetBad(2);
    Sfv(SfvLine("a.rar", "good a") + SfvLine("b.rar", "good b"));
    Put("a.rar", "CORRUPTED");
    Put("a.rar.bad", "an older bad copy");
    Put("b.rar", "good b");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    Record(log, "b.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvGood, 1);
    EXPECT_FALSE(HasRecord(log, "a.rar"));
    EXPECT_TRUE(HasRecord(log, "b.rar"));
    EXPECT_TRUE(log.modified);
    EXPECT_EQ(ListDir(rel_), (Names{"a.rar-missing", "b.rar", "release.sfv"}));
}

TEST_F(SfvCheck, Bad0LeavesACorruptFileWhereItIs) {
    SetBad(0);
    Sfv(SfvLine("a.rar", "good a"));
    Put("a.rar", "CORRUPTED");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    EXPECT_EQ(log.CheckSfvFiles(), 0);
    log.MakeMissingFiles();
    EXPECT_TRUE(HasRecord(log, "a.rar"));
    EXPECT_FALSE(log.modified);
    EXPECT_EQ(ListDir(rel_), (Names{"a.rar", "a.rar-missing", "release.sfv"}));
    EXPECT_EQ(FileText(Rel("a.rar")), "CORRUPTED");
}

TEST_F(SfvCheck, BadDefaultsTo1) {
    Sfv(SfvLine("a.rar", "good a"));
    Put("a.rar", "CORRUPTED");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "a.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(ListDir(rel_), (Names{"a.rar-missing", "a.rar.bad", "release.sfv"}));
}

TEST_F(SfvCheck, NoUploadRecordsMeansNoCrcAndAMarkerPerFile) {
    SetBad(2);
    Sfv(SfvLine("a.rar", "good a") + SfvLine("b.rar", "good b"));
    Put("a.rar", "CORRUPTED");
    OrvexLog log;
    ReadEmptyLog(log);
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvUploaded, 0);
    EXPECT_EQ(log.sfvGood, 0);
    EXPECT_EQ(ListDir(rel_), (Names{"a.rar", "a.rar-missing", "b.rar-missing", "release.sfv"}));
}

TEST_F(SfvCheck, AnEmptyFileListedWithCrcZeroCountsGood) {
    SetBad(1);
    Sfv("empty.rar 00000000\n" + SfvLine("full.rar", "x"));
    Put("empty.rar", "");
    Put("full.rar", "x");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "empty.rar");
    Record(log, "full.rar");
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvGood, 2);
    EXPECT_EQ(ListDir(rel_), (Names{"empty.rar", "full.rar", "release.sfv"}));
}

TEST_F(SfvCheck, ANameListedTwiceIsVerifiedPerEntry) {
    SetBad(1);
    Sfv(SfvLine("dup.rar", "good") + SfvLine("dup.rar", "good") + SfvLine("twice.rar", "fine") +
        SfvLine("twice.rar", "fine"));
    Put("dup.rar", "CORRUPTED");
    Put("twice.rar", "fine");
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, "dup.rar");
    Record(log, "twice.rar");
    log.MakeMissingFiles();
    // twice.rar is good twice; dup.rar is renamed by the first entry and
    // the second finds it gone (CRC 0, no file) and leaves the copy alone.
    EXPECT_EQ(log.sfvGood, 2);
    EXPECT_EQ(FileText(Rel("dup.rar.bad")), "CORRUPTED");
    EXPECT_EQ(ListDir(rel_),
              (Names{"dup.rar-missing", "dup.rar.bad", "release.sfv", "twice.rar"}));
}

TEST_F(SfvCheck, AnExistingMarkerIsEmptiedAgain) {
    Sfv(SfvLine("a.rar", "A"));
    Put("a.rar-missing", "left over");
    OrvexLog log;
    ReadEmptyLog(log);
    log.MakeMissingFiles();
    EXPECT_EQ(FileText(Rel("a.rar-missing")), "");
}

TEST_F(SfvCheck, NoSfvMakesNoMarkers) {
    OrvexLog log;
    ReadEmptyLog(log);
    log.MakeMissingFiles();
    EXPECT_EQ(log.sfvCount, 0);
    EXPECT_TRUE(ListDir(rel_).empty());
    EXPECT_NE(DiagLog().find("OrvexLog::LoadSfvFile() sfv file is not exist"), std::string::npos);
}

TEST_F(SfvCheck, MakeMissingFilesNeedsTheLog) {
    Sfv(SfvLine("a.rar", "A"));
    OrvexLog log;
    log.MakeMissingFiles();
    std::string expected = "OrvexLog::MakeMissingFiles() Log is not readed\r\n";
    std::string diag = DiagLog();
    ASSERT_GE(diag.size(), expected.size());
    EXPECT_EQ(diag.substr(diag.size() - expected.size()), expected);
    EXPECT_EQ(diag.find('\n'), diag.size() - 1);
    EXPECT_EQ(log.sfvEntries, nullptr);
    EXPECT_EQ(log.sfvCount, -1);
    EXPECT_EQ(ListDir(rel_), (Names{"release.sfv"}));
}

TEST_F(SfvCheck, MarkersOfMaximalNamesFailQuietly) {
    std::string name(259, 'n');
    Sfv(name + " 00000001\n" + SfvLine("a.rar", "A"));
    OrvexLog log;
    ReadEmptyLog(log);
    Record(log, name);
    log.MakeMissingFiles();
    EXPECT_TRUE(IsFile(Rel("a.rar-missing")));
}

// Names that would reach outside the release: with a record each and a
// corrupt target, BAD 1 would rename and BAD 2 delete them, and every marker
// would be created outside.
class SfvTraversal : public SfvTest, public ::testing::WithParamInterface<int> {
protected:
    void Build(OrvexLog& log) {
        SetBad(GetParam());
        ASSERT_TRUE(WriteFile(JoinPath(outside_, "victim"), "outside data"));
        ASSERT_TRUE(WriteFile(JoinPath(outside_, "victim.bad"), "outside bad"));
        ASSERT_TRUE(WriteFile(root_ / "victim", "parent data"));
        ASSERT_TRUE(PlatCreateDir(Rel("sub").c_str()));
        ASSERT_TRUE(WriteFile(JoinPath(Rel("sub"), "x"), "sub data"));
        names_ = {"../outside/victim", "..\\outside\\victim", "../victim", "..\\victim", outside_ + kPathSep + "victim",
                  "C:victim", "sub/x", "sub\\x", ".", ".."};
        std::string sfv;
        for (const std::string& n : names_) sfv += n + " 12345678\n";
        sfv += SfvLine("ok.rar", "ok");
        Sfv(sfv);
        Put("ok.rar", "ok");
        ReadEmptyLog(log);
        for (const std::string& n : names_) Record(log, n);
        Record(log, "ok.rar");
        rootBefore_ = ListDir(root_.path());
        outsideBefore_ = ListDir(outside_);
    }
    Names names_, rootBefore_, outsideBefore_;
};

TEST_P(SfvTraversal, NothingOutsideTheReleaseIsCreatedRenamedOrDeleted) {
    OrvexLog log;
    Build(log);
    log.MakeMissingFiles();
    EXPECT_EQ(EntryNames(log), (Names{"ok.rar"}));
    EXPECT_EQ(log.sfvGood, 1);
    EXPECT_EQ(ListDir(root_.path()), rootBefore_);
    EXPECT_EQ(ListDir(outside_), outsideBefore_);
    EXPECT_EQ(FileText(JoinPath(outside_, "victim")), "outside data");
    EXPECT_EQ(FileText(JoinPath(outside_, "victim.bad")), "outside bad");
    EXPECT_EQ(FileText(root_ / "victim"), "parent data");
    EXPECT_EQ(ListDir(Rel("sub")), (Names{"x"}));
    EXPECT_EQ(ListDir(rel_), (Names{"ok.rar", "release.sfv", "sub/"}));
    for (const std::string& n : names_) EXPECT_TRUE(HasRecord(log, n)) << n;
    EXPECT_FALSE(log.modified);
}

INSTANTIATE_TEST_SUITE_P(BadModes, SfvTraversal, ::testing::Values(0, 1, 2));

}  // namespace
