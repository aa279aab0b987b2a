#include <random>
#include <tuple>

#include "race/race.h"
#include "release/release_internal.h"
#include "test_support.h"

namespace {

const std::string S = "+---------------------------------------------------------------------+";

class Race : public ReleaseDirTest {
protected:
    void Sfv(std::initializer_list<const char*> names) {
        ASSERT_TRUE(RunLog().ReadLogFile(LogPath()));
        rel_->sfv.entries = new OrderedList(sizeof(SfvEntry), CompareSfvKeys);
        for (const char* name : names) {
            SfvEntry entry{FileKey(name), {}, 0, 0};
            rel_->sfv.entries->Append(&entry);
        }
    }
    RaceStats race_;
    void CalcRaceInfo() { race_ = ComputeRace(RunLog(), rel_->sfv); }
    // The CRLF lines of race.txt, its time stamp made "YYYY/MM/DD hh:mm:ss".
    std::vector<std::string> Report() {
        CalcRaceInfo();
        WriteRaceReport(*rel_, race_);
        const std::regex stamp(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)");
        const std::string text = std::regex_replace(FileText("race.txt"), stamp, "YYYY/MM/DD hh:mm:ss");
        std::vector<std::string> lines;
        size_t at = 0;
        for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        EXPECT_EQ(at, text.size()) << "text after the last line";
        return lines;
    }
};

TEST_F(Race, ReportRanksRacersAndGroupsInFixedWidthRows) {
    UseRelease("Some.Release/CD1");
    Settings("[GENERAL]\nMESSAGE=race.txt\n");
    WriteFile((release_ / "race.txt").string(), std::string(5000, 'x'));  // an earlier report goes whole
    Sfv({"a.r00", "a.r01", "a.r02", "a.r03"});
    RunLog().AddWithCheck("joe", "crew", 1000, 100, "a.r00", 'S');
    RunLog().AddWithCheck("joe", "other", 1000, 400, "a.r01", 'F');  // same peak as ann's, but earlier
    RunLog().AddWithCheck("ann", "crew", 3000, 400, "a.r02", 'S');
    RunLog().AddWithCheck("ann", "crew", 9000, 9000, "a.nfo", 'N');  // not in the .sfv
    CalcRaceInfo();  // Report() calculates again, from scratch
    const std::vector<std::string> expected = {
        S, "|                           Release Info                              |", S,
        "| Rel Name   : Some.Release (CD1)                                     |",
        "| Total      : 4 files, 5000 KB, 250 KBps, 2 user(s), 2 group(s)      |",
        "| Race win   : ann@crew (1 files, 3000 KB, 400 KB/s)                  |",
        "| Peak speed : 400 KBytes/s (by joe@other)                            |",
        "| Race end   : YYYY/MM/DD hh:mm:ss                                    |", S,
        "|                           Racer  Info                               |", S,
        "|           Racer         | Files |      KBytes    |   %    |  KB/sec |", S,
        "|  01. ann@crew           |    1f |        3000    |  60.0% |    400  |", S,
        "|  02. joe@crew           |    2f |        2000    |  40.0% |    160  |", S,
        "|                           Group  Info                               |", S,
        "|      Group     | Racers | Files |      KBytes    |   %    |  KB/sec |", S,
        "|  01. crew      |     2  |    2f |        4000    |  80.0% |    228  |", S,
        "|  02. other     |     0  |    1f |        1000    |  20.0% |    400  |", S};
    EXPECT_EQ(Report(), expected);
}

TEST_F(Race, EmptyZeroAndHugeFiguresStayInTheirColumns) {
    Settings("[GENERAL]\nMESSAGE=race.txt\n");
    Sfv({"a", "b"});
    std::vector<std::string> lines = Report();
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[3], "| Rel Name   : Some.Release                                           |");
    EXPECT_EQ(lines[5], "| Race win   : none                                                   |");
    EXPECT_EQ(lines[6], "| Peak speed : none                                                   |");

    RunLog().AddWithCheck("averyverylonguser", "crew", 0, 0, "a", 'S');
    RunLog().AddWithCheck("bob", "crew", 1000, 0, "b", 'S');
    lines = Report();
    EXPECT_EQ(lines.at(4), "| Total      : 2 files, 1000 KB, 0 KBps, 2 user(s), 1 group(s)        |");
    EXPECT_EQ(lines.at(13), "|  01. bob@crew           |    1f |        1000    | 100.0% |      0  |");
    EXPECT_EQ(lines.at(15), "|  02. averyverylonguser@crew  |    1f |           0    |   0.0% |      0  |");

    // Sums saturate, averages use the whole sum; equal sizes keep the order first seen.
    UseRelease("Other.Release");
    Sfv({"a", "b", "c", "d", "e", "f"});
    const char* tied[] = {"u3", "u1", "U1", "u2"};
    for (int i = 0; i < 4; ++i) RunLog().AddWithCheck(tied[i], tied[i], 700, 70, std::string(1, 'a' + i).c_str(), 'S');
    for (const char* name : {"e", "f"}) RunLog().AddWithCheck("big", "g", INT32_MAX, INT32_MAX, name, 'S');
    CalcRaceInfo();
    EXPECT_EQ(std::pair(race_.Racer(1)->size, race_.Racer(1)->speed), std::pair(INT32_MAX, INT32_MAX));
    // (2 * INT32_MAX + 2800) KB in 42 s
    EXPECT_EQ(std::pair(race_.totalSize, race_.avgSpeed), std::pair(INT32_MAX, 102261192));
    ASSERT_EQ(race_.RacerCount(), 5);
    EXPECT_LT(CompareTallySize(race_.Racer(1), race_.Racer(2)), 0);  // the ranked lists' compare
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(race_.Racer(i + 2)->user, tied[i]);
}

TEST_F(Race, ReportFileProblemsOnlyReachTheDiagnosticLog) {
    WriteRaceReport(*rel_, race_);  // no MESSAGE setting: no report, no complaint
    EXPECT_EQ(Diag(), "");
    Settings("[GENERAL]\nMESSAGE=nodir/race.txt\n");
    WriteRaceReport(*rel_, race_);
    EXPECT_EQ(Diag(), "MakeMessageFile() fopen failed - No such file or directory\n");
    EXPECT_TRUE(fs::is_empty(release_));  // neither a report nor its directory
}

}  // namespace

// A pass of many verdicts follows the feed's standing record by record; at
// every step it must be what measuring the whole release gives: racers
// tied on KB, records of 0 KB, a record replaced as the second to last
// (which moves it to the log's end), records taken away, a file found good
// for the run only, two files sharing a key and a key logged twice.
TEST_F(Race, StandingFollowedThroughAPassIsTheWholeMeasure) {
    Settings("[GENERAL]\nFEED=race.feed\n");
    std::vector<std::string> names = {"f19812.r12", "f34705.r05"};  // one key
    for (int i = 0; i < 30; ++i) names.push_back("f" + std::to_string(i) + ".r00");
    std::string sfv;
    for (const std::string& name : names) sfv += name + " 00000000\n";
    WriteFile("a.sfv", sfv);
    for (unsigned seed = 0; seed < 40; ++seed) {
        std::mt19937 rng(seed);
        auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
        std::string log;
        std::vector<size_t> logged;  // all but a few, names[6] last but its second record
        for (size_t i = 2; i < names.size(); ++i)
            if (i != 6 && i % 9 != 0) logged.push_back(i);
        logged.push_back(6);
        for (size_t i : logged) {
            std::string user = "u" + std::to_string(pick(4));
            log += std::to_string(FileKey(names[i].c_str())) + "|" + user + "|g" + user.back() + "|0|1|" + "NSF"[pick(3)] + "\n";
        }
        log += std::to_string(FileKey(names[6].c_str())) + "|u1|g1|3|1|N\n";  // the key again, last
        WriteFile(LogPath(), log);
        NewRelease();
        ASSERT_TRUE(ReadReleaseLog(*rel_));
        StandingPass pass(*rel_);
        ASSERT_NE(rel_->passStanding, nullptr);
        for (int step = 0; step < 150; ++step) {
            std::string name = names[pick(names.size())];
            if (step % 5 == 0) {  // the log's second to last
                double key = static_cast<const UploadRecord*>(RunLog().records->End()->prev->prev->element)->key;
                for (const std::string& n : names)
                    if (FileKey(n.c_str()) == key) name = n;
            }
            if (step % 7 == 0 || step < 3) name = names[6];
            std::string user = "u" + std::to_string(pick(4));
            // First the key logged twice: a bad verdict that moves its first
            // record to the end, its file found good for the run, a good verdict.
            size_t action = step == 0 ? 3 : step == 1 ? 1 : step == 2 ? 4 : pick(8);
            int32_t sizeKb = static_cast<int32_t>(step < 3 ? 5 : step < 40 ? 0 : pick(4));
            if (action == 0) {
                RunLog().RemoveRecord(name.c_str());
                PassStandingFollow(*rel_, FileKey(name.c_str()));
            } else if (action <= 2) {
                const_cast<SfvEntry*>(FindListed(*rel_, name.c_str()))->good = 1;
                PassStandingFollow(*rel_, FileKey(name.c_str()));
            } else {
                RecordVerdict(*rel_, name.c_str(), user.c_str(), ("g" + user).c_str(), sizeKb, 1, action != 3);
            }
            FeedStanding followed = TakeStanding(*rel_);
            PassStanding* kept = rel_->passStanding;
            rel_->passStanding = nullptr;
            FeedStanding whole = TakeStanding(*rel_);
            rel_->passStanding = kept;
            ASSERT_EQ(std::make_tuple(followed.files, followed.good, followed.percent, followed.complete,
                                      std::string(followed.leader), std::string(followed.leaderGroup),
                                      followed.leaderKb, followed.leaderFiles),
                      std::make_tuple(whole.files, whole.good, whole.percent, whole.complete, std::string(whole.leader),
                                      std::string(whole.leaderGroup), whole.leaderKb, whole.leaderFiles))
                << "seed " << seed << ", step " << step << " on " << name;
        }
    }
}
