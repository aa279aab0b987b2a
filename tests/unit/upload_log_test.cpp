// The upload log: its line format, record rules, and a save that never loses it.
#include <cstring>

#include "test_support.h"

namespace {

class UploadLog : public ReleaseDirTest {
protected:
    // Stores `text` as the log and reads it afresh, as a new run would.
    void Load(const std::string& text) {
        WriteFile(LogPath(), text);
        NewRelease();
        ASSERT_TRUE(RunLog().ReadLogFile(LogPath()));
    }
    const char* UserOf(const char* name) { return RunLog().GetNodeWithCheckBad(name)->user; }
    std::string Totals(const char* user) {
        char count[kNameField], speed[kNameField], size[kNameField];
        int32_t n = RunLog().UserCountAndSpeedAndSize(user, count, speed, size);
        return std::to_string(n) + ": " + count + " " + size + " " + speed;
    }
};

TEST(FileKey, MatchesTheKeysAlreadyStoredInLogs) {
    for (const char* name : {"abc", "ABC"}) EXPECT_EQ(FileKey(name), 2238185766u) << name;
    EXPECT_EQ(FileKey("a"), 3204841569u);
    EXPECT_EQ(FileKey(""), 1u);
    EXPECT_EQ(FileKeySum("\xff"), 0x7FFF);  // bytes count as signed
    EXPECT_EQ(FileKey(std::string(400, 'Q').c_str()), FileKey(std::string(255, 'q').c_str()));
}

// Good lines come back byte for byte; bad ones are skipped or cut, never fatal.
TEST_F(UploadLog, LinesReadBackExactlyAsWritten) {
    std::string garbage;  // holds no 6-field piece
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .jpg\n");
    // An unverified record taken over stays in place, except the second-to-last, which moves to the end.
    Load("2238185766|u1|g1|700|150|N\n1|u2|g2|-5|0|S\n4294967295|u3|g3|1|2|F|extra\n3|u||7|1|N\n" + garbage +
         "\n5|" + std::string(130, 'u') + "|g|1|1|N\n7|" + std::string(40, 'L') + "|" + std::string(40, 'G') +
         "|x|y|S\n3204841569|old|g|1|1|N\n9|last|g|3|4|N");
    RunLog().AddWithCheck("joe", "crew", 1, 1, "release.NFO", 'N');  // not counted
    EXPECT_FALSE(RunLog().modified);
    RunLog().AddWithCheck("", "", 5, 6, "a", 'N');
    RunLog().AddWithCheck("joe", "crew", 700, 150, "ABC", 'S');
    ASSERT_TRUE(RunLog().WriteLogFile());
    EXPECT_EQ(FileText(LogPath()), "2238185766|joe|crew|700|150|S\n1|u2|g2|-5|0|S\n4294967295|u3|g3|1|2|F\n7|" +
                                           std::string(31, 'L') + "|" + std::string(31, 'G') +
                                           "|0|0|S\n9|last|g|3|4|N\n3204841569|-|-|5|6|N\n");
    EXPECT_FALSE(RunLog().modified);
    EXPECT_EQ(FileText(LogPath() + std::string(".tmp")), "<absent>");
}

// 'N' gives way to a new record, 'S' and 'F' stay; "x.bad" means x unless x is
// good; a user's speed is the total size over the total time.
TEST_F(UploadLog, StatusMovesOnlyFromUnverifiedBadNamesFindTheirFileAndSpeedsWeighByTime) {
    ASSERT_TRUE(RunLog().ReadLogFile(LogPath()));  // no log file is an empty log
    RunLog().AddWithCheck("joe", "crew", 1, 1, "x.r01", 'F');
    RunLog().AddWithCheck("bob", "bob", 1, 1, ".bad", 'N');
    RunLog().AddWithCheck("joe", "crew", 700, 350, "a.rar", 'N');
    RunLog().AddWithCheck("ann", "flow", 800, 400, "A.RAR", 'N');  // same key: replaces the 'N'
    EXPECT_STREQ(UserOf("a.rar"), "ann");
    RunLog().AddWithCheck("bob", "crew", 1, 1, "a.rar", 'S');
    RunLog().modified = false;
    RunLog().AddWithCheck("eve", "x", 2, 2, "a.rar", 'F');
    RunLog().AddWithCheck("eve", "x", 2, 2, "a.rar", 'N');
    RunLog().AddWithCheck("eve", "x", 2, 2, "x.r01", 'N');
    EXPECT_FALSE(RunLog().modified);
    EXPECT_STREQ(UserOf("a.rar"), "bob");
    EXPECT_EQ(RunLog().GetNodeWithCheckBad("a.rar.bad"), nullptr);
    EXPECT_EQ(RunLog().GetNodeWithCheckBad("x.r01.bad"), RunLog().GetNodeWithCheckBad("x.r01"));
    EXPECT_STREQ(UserOf(".bad"), "bob");
    EXPECT_EQ(RunLog().GetNodeWithCheckBad("x.r01.BAD"), nullptr);  // the suffix is case-sensitive
    char user[kNameField] = "", group[kNameField] = "";
    RunLog().TakeRecord("nothing.r00", user, group);
    EXPECT_FALSE(RunLog().modified);
    RunLog().TakeRecord("x.r01.bad", user, group);
    EXPECT_EQ(std::string(user) + "@" + group, "joe@crew");
    EXPECT_TRUE(RunLog().modified);
    RunLog().RemoveRecord("a.rar");
    EXPECT_EQ(RunLog().records->Count(), 1);

    RunLog().AddWithCheck("joe", "crew", 100, 50, "a", 'N');
    RunLog().AddWithCheck("joe", "crew", 300, 100, "b", 'N');
    RunLog().AddWithCheck("Joe", "crew", 999, 1, "c", 'N');
    RunLog().AddWithCheck("empty", "x", 0, 0, "e", 'N');
    EXPECT_EQ(Totals("joe"), "2: 2 400KB 80KBps");
    EXPECT_EQ(Totals("empty"), "1: 1 0KB 0KBps");
}

// A log that exists but cannot be read stops the run; what would use it only reports.
TEST_F(UploadLog, AnUnreadableLogStopsTheRunInsteadOfLookingEmpty) {
    ASSERT_TRUE(PlatCreateDir(LogPath()));
    EXPECT_FALSE(RunLog().ReadLogFile(LogPath()));
    EXPECT_EQ(RunLog().records, nullptr);
    EXPECT_EQ(Totals("joe"), "-1: -1 NULL NULL");
    RunLog().AddWithCheck("joe", "crew", 1, 2, "a.r00", 'N');
    EXPECT_EQ(RunLog().GetNodeWithCheckBad("a.r00"), nullptr);
    EXPECT_EQ(Diag(), "OrvexLog::ReadLogFile() fopen failed - " + std::string(std::strerror(kDirectoryOpenErrno)) +
                          "\nOrvexLog::UserCountAndSpeedAndSize() Log is not readed - user = joe\n"
                          "OrvexLog::AddWithCheck() Log is not readed - user = joe, group = crew, file = a.r00\n"
                          "OrvexLog::GetNodeWithCheckBad() Log is not readed - file = a.r00\n");
    PlatRemoveDir(LogPath());
    Load("");
    EXPECT_TRUE(RunLog().WriteLogFile());
    EXPECT_EQ(FileText(LogPath()), "<absent>");  // an empty log is no file
}

// Reads go through the platform too: a refused open of the log is that, not an empty log.
TEST_F(UploadLog, ARefusedReadIsReportedAndStopsTheRun) {
    WriteFile(LogPath(), "2238185766|u1|g1|700|150|N\n");
    PlatInjectFault(PlatFault::OpenRead, EIO);
    EXPECT_FALSE(RunLog().ReadLogFile(LogPath()));
    EXPECT_EQ(Diag(), "OrvexLog::ReadLogFile() fopen failed - " + std::string(std::strerror(EIO)) + "\n");
}

TEST_F(UploadLog, AFailedSaveAtAnyStepKeepsThePreviousLog) {
    const std::string previous = "2238185766|u1|g1|700|150|N\n";
    for (PlatFault fault : {PlatFault::CreateTruncate, PlatFault::Write, PlatFault::Close, PlatFault::Replace}) {
        Load(previous);
        RunLog().AddWithCheck("joe", "crew", 1, 1, "new.r00", 'N');
        PlatInjectFault(fault, ENOSPC);
        EXPECT_FALSE(RunLog().WriteLogFile());
        EXPECT_TRUE(RunLog().modified);
        EXPECT_EQ(FileText(LogPath()) + FileText(LogPath() + std::string(".tmp")), previous + "<absent>");
    }
    const std::string failed = "OrvexLog::WriteLogFile() fopen failed - " + std::string(std::strerror(ENOSPC)) + "\n";
    EXPECT_EQ(Diag(), failed + failed + failed + failed);
    EXPECT_TRUE(RunLog().WriteLogFile());  // each fault strikes once
}

}  // namespace
