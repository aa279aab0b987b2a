#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <regex>
#include <vector>

#include "race/race.h"
#include "test_support.h"

namespace {

const std::string S = "+---------------------------------------------------------------------+";

class Race : public ReleaseDirTest {
protected:
    void Sfv(std::initializer_list<const char*> names) {
        ASSERT_TRUE(theLog.ReadLogFile(UploadLogPath));
        theLog.sfvEntries = new OrderedList(sizeof(SfvEntry), CompareSfvKeys);
        for (const char* name : names) {
            SfvEntry entry{};
            entry.key = FileKey(name);
            theLog.sfvEntries->Append(&entry);
        }
    }
    std::vector<std::string> Report() {
        theLog.CalcRaceInfo();
        MakeMessageFile();
        std::string text = test_support::FileText((release_ / "race.txt").string());
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }
};

TEST_F(Race, ReportRanksRacersAndGroupsInFixedWidthRows) {
    UseRelease("Some.Release/CD1");
    Settings("[GENERAL]\nMESSAGE=race.txt\n");
    test_support::WriteFile((release_ / "race.txt").string(), std::string(5000, 'x'));  // an earlier report goes whole
    Sfv({"a.r00", "a.r01", "a.r02", "a.r03"});
    theLog.AddWithCheck("joe", "crew", 1000, 100, "a.r00", 'S');
    theLog.AddWithCheck("joe", "other", 1000, 400, "a.r01", 'F');  // same peak as ann's, but earlier
    theLog.AddWithCheck("ann", "crew", 3000, 400, "a.r02", 'S');
    theLog.AddWithCheck("ann", "crew", 9000, 9000, "a.nfo", 'N');  // not in the .sfv
    theLog.CalcRaceInfo();  // Report() calculates again, from scratch
    const std::vector<std::string> expected = {
        S, "|                           Release Info                              |", S,
        "| Rel Name   : Some.Release (CD1)                                     |",
        "| Total      : 4 files, 5000 KB, 250 KBps, 2 user(s), 2 group(s)      |",
        "| Race win   : ann@crew (1 files, 3000 KB, 400 KB/s)                  |",
        "| Peak speed : 400 KBytes/s (by joe@other)                            |",
        "(time)", S, "|                           Racer  Info                               |", S,
        "|           Racer         | Files |      KBytes    |   %    |  KB/sec |", S,
        "|  01. ann@crew           |    1f |        3000    |  60.0% |    400  |", S,
        "|  02. joe@crew           |    2f |        2000    |  40.0% |    160  |", S,
        "|                           Group  Info                               |", S,
        "|      Group     | Racers | Files |      KBytes    |   %    |  KB/sec |", S,
        "|  01. crew      |     2  |    2f |        4000    |  80.0% |    228  |", S,
        "|  02. other     |     0  |    1f |        1000    |  20.0% |    400  |", S};
    std::vector<std::string> lines = Report();
    EXPECT_EQ(test_support::FileText((release_ / "race.txt").string()).size(), expected.size() * 73);
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 7) continue;  // the time stamp, matched below
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_TRUE(std::regex_match(lines[7], std::regex(R"(\| Race end   : \d{4}/\d\d/\d\d \d\d:\d\d:\d\d {36}\|)")))
        << lines[7];
}

TEST_F(Race, ReportWithoutRacersSizesOrSpeedsIsStillWritten) {
    Settings("[GENERAL]\nMESSAGE=race.txt\n");
    Sfv({"a", "b"});
    std::vector<std::string> lines = Report();
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[3], "| Rel Name   : Some.Release                                           |");
    EXPECT_EQ(lines[5], "| Race win   : none                                                   |");
    EXPECT_EQ(lines[6], "| Peak speed : none                                                   |");

    theLog.AddWithCheck("averyverylonguser", "crew", 0, 0, "a", 'S');
    lines = Report();
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[13], "|  01. averyverylonguser@crew  |    1f |           0    |   0.0% |      0  |");

    theLog.AddWithCheck("bob", "crew", 1000, 0, "b", 'S');
    lines = Report();
    EXPECT_EQ(lines[4], "| Total      : 2 files, 1000 KB, 0 KBps, 2 user(s), 1 group(s)        |");
    EXPECT_EQ(lines[13], "|  01. bob@crew           |    1f |        1000    | 100.0% |      0  |");
}

TEST_F(Race, SizeSumsSaturateAndEqualSizesKeepFirstSeenOrder) {
    Sfv({"a", "b", "c", "d", "e", "f"});
    const char* tied[] = {"u3", "u1", "U1", "u2"};
    for (int i = 0; i < 4; ++i) theLog.AddWithCheck(tied[i], tied[i], 700, 70, std::string(1, 'a' + i).c_str(), 'S');
    theLog.AddWithCheck("big", "g", INT32_MAX, INT32_MAX, "e", 'S');
    theLog.AddWithCheck("big", "g", INT32_MAX, INT32_MAX, "f", 'S');
    theLog.CalcRaceInfo();
    EXPECT_EQ(theLog.GetRacer(1)->size, INT32_MAX);
    EXPECT_EQ(theLog.GetRacer(1)->speed, INT32_MAX);
    EXPECT_EQ(theLog.GetRaceTotalSize(), INT32_MAX);
    EXPECT_EQ(theLog.GetRaceAvgSpeed(), 102261192);  // (2 * INT32_MAX + 2800) KB in 42 s
    ASSERT_EQ(theLog.RaceUserCount(), 5);
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(theLog.GetRacer(i + 2)->user, tied[i]);
}

TEST_F(Race, ReportFileProblemsOnlyReachTheDiagnosticLog) {
    Sfv({"a"});
    theLog.CalcRaceInfo();
    MakeMessageFile();
    EXPECT_TRUE(std::filesystem::is_empty(release_));
    EXPECT_FALSE(std::filesystem::exists(root_ / "Crevik.log"));

    Settings("[GENERAL]\nMESSAGE=nodir/race.txt\n");
    theConfig.configDir[0] = '\0';
    MakeMessageFile();
    EXPECT_TRUE(std::regex_match(test_support::FileText((release_ / "Crevik.log").string()),
                                 std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d )"
                                            R"(MakeMessageFile\(\) fopen failed - No such file or directory\r\n)")));
    EXPECT_FALSE(std::filesystem::exists(release_ / "nodir"));
}

}  // namespace
