// The upload log: its line format, record rules, and a save that never loses it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <regex>

#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "test_support.h"

namespace {

using test_support::FileText;
using test_support::kDirectoryOpenErrno;
using test_support::WriteFile;

class UploadLog : public ReleaseDirTest {
protected:
    std::string LogPath() const { return UploadLogPath; }
    // Loads the given log text fresh, as a new run would.
    void Load(const std::string& text) {
        ResetLog();
        WriteFile(LogPath(), text);
        ASSERT_TRUE(theLog.ReadLogFile(UploadLogPath));
    }
    void Reload() {
        ResetLog();
        ASSERT_TRUE(theLog.ReadLogFile(UploadLogPath));
    }
    static void ResetLog() {
        theLog.~OrvexLog();
        new (&theLog) OrvexLog();
    }
    bool Exists(const std::string& path) const { return PlatPathExists(path.c_str()); }
    const UploadRecord& Record(int i) { return *static_cast<const UploadRecord*>(theLog.records->GetAt(i)); }
};

TEST(FileKey, MatchesTheKeysAlreadyStoredInLogs) {
    EXPECT_EQ(FileKey("abc"), 2238185766u);
    EXPECT_EQ(FileKey("ABC"), 2238185766u);
    EXPECT_EQ(FileKey("a"), 3204841569u);
    EXPECT_EQ(FileKey(""), 1u);
    EXPECT_EQ(FileKeyCrc("abc"), 0x8568);
    EXPECT_EQ(FileKeySum("abc"), 294);
    EXPECT_EQ(FileKeySum("\xff"), 0x7FFF);  // bytes count as signed
    std::string longName(400, 'Q');
    EXPECT_EQ(FileKey(longName.c_str()), FileKey(std::string(255, 'q').c_str()));
}

TEST_F(UploadLog, LinesReadBackExactlyAsWritten) {
    Load("2238185766|u1|g1|700|150|N\n1|u2|g2|-5|0|S\n4294967295|u3|g3|1|2|F|extra\n");
    ASSERT_EQ(theLog.records->Count(), 3);
    EXPECT_EQ(Record(0).key, 2238185766.0);
    EXPECT_STREQ(Record(0).user, "u1");
    EXPECT_EQ(Record(0).size, 700);
    EXPECT_EQ(Record(0).speed, 150);
    EXPECT_EQ(Record(0).status, 'N');
    EXPECT_FALSE(theLog.modified);
    theLog.modified = true;
    ASSERT_TRUE(theLog.WriteLogFile());
    EXPECT_EQ(FileText(LogPath()), "2238185766|u1|g1|700|150|N\n1|u2|g2|-5|0|S\n4294967295|u3|g3|1|2|F\n");
    EXPECT_FALSE(theLog.modified);
    EXPECT_FALSE(Exists(LogPath() + ".tmp"));
}

TEST_F(UploadLog, BadLinesAreSkippedAndNeverCrashTheRun) {
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    std::string longLine = "5|" + std::string(130, 'u') + "|g|1|1|N\n";  // read in pieces
    Load("1|u1||700|150|N\n" + garbage + "\n" + longLine + "7|" + std::string(40, 'L') + "|" +
         std::string(40, 'G') + "|x|y|S\n" + "9|last|g|3|4|N");
    ASSERT_GE(theLog.records->Count(), 2);
    const UploadRecord* cut = nullptr;
    const UploadRecord* last = nullptr;
    for (void* e = theLog.records->First(); e; e = theLog.records->Next()) {
        const UploadRecord* r = static_cast<const UploadRecord*>(e);
        if (r->key == 7) cut = r;
        if (r->key == 9) last = r;
        EXPECT_NE(r->key, 1) << "a line with an empty field must be skipped";
        EXPECT_LT(std::strlen(r->user), static_cast<size_t>(kNameField));
    }
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(std::string(cut->user), std::string(31, 'L'));
    EXPECT_EQ(std::string(cut->group), std::string(31, 'G'));
    EXPECT_EQ(cut->size, 0);  // numbers that are not numbers read as 0
    ASSERT_NE(last, nullptr);  // no final line feed
    EXPECT_EQ(last->status, 'N');
}

TEST_F(UploadLog, StatusMovesOnlyFromUnverified) {
    Load("");
    theLog.AddWithCheck("joe", "crew", 700, 350, "a.rar", 'N');
    theLog.AddWithCheck("ann", "flow", 800, 400, "A.RAR", 'N');  // same key: replaces the 'N'
    ASSERT_EQ(theLog.records->Count(), 1);
    EXPECT_STREQ(Record(0).user, "ann");
    theLog.AddWithCheck("bob", "crew", 1, 1, "a.rar", 'S');
    EXPECT_STREQ(Record(0).user, "bob");
    EXPECT_EQ(Record(0).status, 'S');
    theLog.modified = false;
    theLog.AddWithCheck("eve", "x", 2, 2, "a.rar", 'F');
    theLog.AddWithCheck("eve", "x", 2, 2, "a.rar", 'N');
    EXPECT_STREQ(Record(0).user, "bob");
    EXPECT_FALSE(theLog.modified);
}

TEST_F(UploadLog, UncountedExtensionsAndEmptyNamesStayReadable) {
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .jpg\n");
    Load("");
    theLog.AddWithCheck("joe", "crew", 1, 1, "release.NFO", 'N');
    EXPECT_EQ(theLog.records->Count(), 0);
    EXPECT_FALSE(theLog.modified);
    theLog.AddWithCheck("", "", 5, 6, "release.nfo1", 'N');
    theLog.AddWithCheck(std::string(50, 'u').c_str(), "g", 5, 6, "b.r00", 'N');
    ASSERT_TRUE(theLog.WriteLogFile());
    Reload();
    ASSERT_EQ(theLog.records->Count(), 2);
    EXPECT_STREQ(Record(0).user, "-");
    EXPECT_STREQ(Record(0).group, "-");
    EXPECT_EQ(std::string(Record(1).user), std::string(31, 'u'));
}

TEST_F(UploadLog, BadNamesFindTheRecordOfTheirFileUnlessItIsGood) {
    Load("");
    theLog.AddWithCheck("joe", "crew", 1, 1, "x.r01", 'F');
    theLog.AddWithCheck("ann", "flow", 1, 1, "y.r01", 'S');
    theLog.AddWithCheck("bob", "bob", 1, 1, ".bad", 'N');
    EXPECT_EQ(theLog.GetNodeWithCheckBad("x.r01.bad"), theLog.GetNodeWithCheckBad("x.r01"));
    EXPECT_EQ(theLog.GetNodeWithCheckBad("y.r01.bad"), nullptr);
    EXPECT_STREQ(theLog.GetNodeWithCheckBad(".bad")->user, "bob");
    EXPECT_EQ(theLog.GetNodeWithCheckBad("x.r01.BAD"), nullptr);  // the suffix is case-sensitive

    char user[kNameField] = "", group[kNameField] = "";
    theLog.modified = false;
    theLog.TakeRecord("nothing.r00", user, group);
    EXPECT_STREQ(user, "");
    EXPECT_FALSE(theLog.modified);
    theLog.TakeRecord("x.r01.bad", user, group);
    EXPECT_STREQ(user, "joe");
    EXPECT_STREQ(group, "crew");
    EXPECT_TRUE(theLog.modified);
    theLog.RemoveRecord("y.r01");
    EXPECT_EQ(theLog.records->Count(), 1);
}

TEST_F(UploadLog, UserTotalsWeighSpeedByTime) {
    Load("");
    theLog.AddWithCheck("joe", "crew", 100, 50, "a", 'N');
    theLog.AddWithCheck("joe", "crew", 300, 100, "b", 'N');
    theLog.AddWithCheck("Joe", "crew", 999, 1, "c", 'N');
    char count[kNameField], speed[kNameField], size[kNameField];
    EXPECT_EQ(theLog.UserCountAndSpeedAndSize("joe", count, speed, size), 2);
    EXPECT_STREQ(count, "2");
    EXPECT_STREQ(size, "400KB");
    EXPECT_STREQ(speed, "80KBps");

    theLog.AddWithCheck("stall", "x", 100, 0, "d", 'N');
    theLog.UserCountAndSpeedAndSize("stall", count, speed, size);
    EXPECT_STREQ(speed, "0KBps");
    theLog.AddWithCheck("empty", "x", 0, 0, "e", 'N');
    theLog.UserCountAndSpeedAndSize("empty", count, speed, size);
    EXPECT_STREQ(speed, "0KBps");
}

TEST_F(UploadLog, OperationsBeforeTheLogIsReadOnlyReport) {
    char count[kNameField], speed[kNameField], size[kNameField];
    EXPECT_EQ(theLog.UserCountAndSpeedAndSize("joe", count, speed, size), -1);
    EXPECT_STREQ(count, "-1");
    EXPECT_STREQ(size, "NULL");
    theLog.AddWithCheck("joe", "crew", 1, 2, "a.r00", 'N');
    EXPECT_EQ(theLog.GetNodeWithCheckBad("a.r00"), nullptr);
    const std::regex line(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} (.*)\r\n)");
    std::string diag = Diag();
    std::vector<std::string> messages;
    for (std::sregex_iterator it(diag.begin(), diag.end(), line), end; it != end; ++it) messages.push_back((*it)[1]);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "OrvexLog::UserCountAndSpeedAndSize() Log is not readed - user = joe",
                            "OrvexLog::AddWithCheck() Log is not readed - user = joe, group = crew, file = a.r00",
                            "OrvexLog::GetNodeWithCheckBad() Log is not readed - file = a.r00"}));
}

TEST_F(UploadLog, AnUnreadableLogStopsTheRunInsteadOfLookingEmpty) {
    ASSERT_TRUE(PlatCreateDir(LogPath().c_str()));
    EXPECT_FALSE(theLog.ReadLogFile(LogPath().c_str()));
    EXPECT_EQ(theLog.records, nullptr);
    EXPECT_NE(Diag().find("OrvexLog::ReadLogFile() fopen failed - " +
                          std::string(std::strerror(kDirectoryOpenErrno)) + "\r\n"),
              std::string::npos);

    ResetLog();
    PlatRemoveDir(LogPath().c_str());
    EXPECT_TRUE(theLog.ReadLogFile(LogPath().c_str()));  // absent is empty
    theLog.modified = true;
    EXPECT_TRUE(theLog.WriteLogFile());
    EXPECT_FALSE(Exists(LogPath()));  // an empty log is no file
}

TEST_F(UploadLog, AFailedSaveAtAnyStepKeepsThePreviousLog) {
    const std::string previous = "2238185766|u1|g1|700|150|N\n";
    const PlatFault faults[] = {PlatFault::CreateTruncate, PlatFault::Write, PlatFault::Close, PlatFault::Replace};
    for (PlatFault fault : faults) {
        Load(previous);
        theLog.AddWithCheck("joe", "crew", 1, 1, "new.r00", 'N');
        PlatInjectFault(fault, ENOSPC);
        EXPECT_FALSE(theLog.WriteLogFile());
        EXPECT_TRUE(theLog.modified);
        EXPECT_EQ(FileText(LogPath()), previous);
        EXPECT_FALSE(Exists(LogPath() + ".tmp"));
    }
    EXPECT_NE(Diag().find("OrvexLog::WriteLogFile() fopen failed - " + std::string(std::strerror(ENOSPC))),
              std::string::npos);
    EXPECT_TRUE(theLog.WriteLogFile());
    Reload();
    EXPECT_EQ(theLog.records->Count(), 2);
}

}  // namespace
