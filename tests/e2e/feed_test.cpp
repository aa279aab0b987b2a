// The race feed as a site bot reads it: which lines a race gives, in which
// order and with which figures, through either family of event words.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "harness.h"

namespace {

using e2e::Release;
using e2e::Site;
using e2e::Words;

// The feed's lines as "<event> <fields after dir>", each checked first for
// its time's shape and for the fields every line starts with.
std::string FeedEvents(const Site& site, const std::string& release, const std::string& sub, std::string dir) {
    dir.pop_back();  // the path without its final separator
    std::string escapedDir;
    for (char c : dir) escapedDir += c == '\\' ? "\\\\" : std::string(1, c);
    const std::string common = "\",\"release\":\"" + release + "\",\"sub\":\"" + sub + "\",\"dir\":\"" + escapedDir + "\"";
    const std::string shape = "{\"time\":\"dddd-dd-ddTdd:dd:dd+dd:dd\",\"event\":\"";
    std::string feed = e2e::FileText(site.bin("race.feed")), out;
    for (size_t at = 0, end; (end = feed.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = feed.substr(at, end - at);
        size_t cut = line.find(common);
        bool fits = cut != std::string::npos && cut > shape.size();
        for (size_t i = 0; fits && i < shape.size(); ++i)
            fits = shape[i] == 'd'   ? isdigit(static_cast<unsigned char>(line[i])) != 0
                   : shape[i] == '+' ? line[i] == '+' || line[i] == '-'
                                     : line[i] == shape[i];
        out += fits ? line.substr(shape.size(), cut - shape.size()) + " " + line.substr(cut + common.size()) + "\n"
                    : "unexpected: " + line + "\n";
    }
    return out;
}

struct Step {
    const char* user;
    const char* group;
    const char* speed;
    const char* file;
    bool bad;
    const char* then = "";  // the feed's further line after this verdict's
    const char* said = "";  // and its announcement
};

// Ten files of 4 KB. Speeds are powers of two so that the averages come out exact.
const Step kRace[] = {
    {"joe", "crew", "128", "race.r00", false},
    {"ann", "flow", "256", "race.r01", false},  // as much as joe: no lead yet
    {"bob", "crew", "512", "race.r02", true},
    {"ann", "flow", "256", "race.r03", false, "leader ,\"user\":\"ann\",\"group\":\"flow\",\"size_kb\":8,\"files\":2}\n",
     "ann/flow takes the lead in Race.Release/CD1 with 8KB in 2 files\n"},
    {"bob", "crew", "512", "race.r02", false},
    {"ann", "flow", "256", "race.r04", false,
     "halfway ,\"good\":5,\"files\":10,\"leader_user\":\"ann\",\"leader_group\":\"flow\"}\n",
     "Race.Release/CD1 is halfway: 5 of 10 files, ann/flow leads\n"},
    {"bob", "crew", "512", "race.r05", false},
    {"joe", "crew", "128", "race.r06", false},
    {"ann", "flow", "256", "race.r07", false},
    {"bob", "crew", "512", "race.r08", false},
    {"joe", "crew", "128", "race.r09", false},
};

// The feed, or with `announced` what contrib/feed-announce.py says of it.
std::string RaceExpected(bool announced) {
    std::string out = announced ? "sfv for Race.Release/CD1: 10 files, 0 good\nnew race in Race.Release/CD1 by joe/crew\n"
                                : "sfv ,\"files\":10,\"good\":0,\"percent\":0}\n"
                                  "newrace ,\"user\":\"joe\",\"group\":\"crew\",\"file\":\"race.r00\"}\n";
    int good = 0;
    for (const Step& s : kRace) {
        std::string who = std::string(s.user) + "/" + s.group, n = std::to_string(good + !s.bad);
        std::string fields = std::string("\"user\":\"") + s.user + "\",\"group\":\"" + s.group + "\",\"file\":\"" + s.file;
        if (announced)
            out += std::string("Race.Release/CD1: ") + s.file + " by " + who +
                   (s.bad ? " is bad\n" : std::string(" at ") + s.speed + "KBps, " + n + " of 10 files (" + n + "0%)\n");
        else if (s.bad)
            out += "bad ," + fields + "\"}\n";
        else
            out += "good ," + fields + "\",\"size_kb\":4,\"speed_kbps\":" + s.speed + ",\"good\":" + n +
                   ",\"files\":10,\"percent\":" + n + "0}\n";
        out += announced ? s.said : s.then;
        good += !s.bad;
    }
    if (announced)
        return out + "Race.Release/CD1 complete: 10 files, 40KB, 222KBps, 3 racers, winner ann/flow\n"
                     "Race.Release/CD1 is incomplete again: race.r05 is gone, 9 of 10 files\n"
                     "Race.Release/CD1: sfv deleted\n";
    return out + "complete ,\"files\":10,\"size_kb\":40,\"avg_speed_kbps\":222,\"racers\":["
                 "{\"user\":\"ann\",\"group\":\"flow\",\"files\":4,\"size_kb\":16,\"speed_kbps\":256},"
                 "{\"user\":\"joe\",\"group\":\"crew\",\"files\":3,\"size_kb\":12,\"speed_kbps\":128},"
                 "{\"user\":\"bob\",\"group\":\"crew\",\"files\":3,\"size_kb\":12,\"speed_kbps\":512}],\"groups\":["
                 "{\"group\":\"crew\",\"files\":6,\"size_kb\":24,\"speed_kbps\":204},"
                 "{\"group\":\"flow\",\"files\":4,\"size_kb\":16,\"speed_kbps\":256}],"
                 "\"fastest\":{\"user\":\"bob\",\"group\":\"crew\",\"file\":\"race.r02\",\"speed_kbps\":512}}\n"
                 "incomplete ,\"file\":\"race.r05\",\"good\":9,\"files\":10}\n"
                 "sfvdeleted }\n";
}

// The server's own verdicts (the six words), or crevik's (upload and delete).
void RunRace(const Release& rel, bool serverVerifies) {
    Words files;
    for (int i = 0; i < 10; ++i) files.push_back("race.r0" + std::to_string(i));
    rel.WriteSfv("race.sfv", files);
    if (serverVerifies) rel.Event("sfvuploaded", "race.sfv", {"10", "0"});
    else rel.Event("upload", "race.sfv", {"joe", "crew", "10"});
    int good = 0;
    for (const Step& s : kRace) {
        rel.Put(s.file, s.bad);
        Words args = {s.user, s.group, s.speed};
        if (serverVerifies) {
            args.push_back("4");
            rel.Event("fileuploaded", s.file, args);
            if (!s.bad) args.insert(args.end(), {"10", std::to_string(++good)});
            rel.Event(s.bad ? "sfvfailed" : "sfvsuccess", s.file, args);
        } else {
            rel.Event("upload", s.file, args);
        }
        if (!s.bad) continue;  // the user removes the damaged copy and sends the file again
        std::remove(rel.path(std::string(s.file) + ".bad").c_str());
        rel.Event(serverVerifies ? "filedeleted" : "delete", std::string(s.file) + ".bad");
    }
    if (serverVerifies) rel.Event("sfvcomplete", "race.sfv");
    for (const char* gone : {"race.r05", "race.sfv"}) {
        std::remove(rel.path(gone).c_str());
        rel.Event(serverVerifies ? "filedeleted" : "delete", gone);
    }
}

TEST(Feed, ARaceOfThreeUsersThroughEitherFamilyOfWords) {
    for (bool serverVerifies : {true, false}) {
        SCOPED_TRACE(serverVerifies ? "the six event words" : "upload and delete");
        Site site;
        site.SetConfig(e2e::kFeedSetting);
        Release rel(site, "Race.Release/CD1");
        RunRace(rel, serverVerifies);
        EXPECT_EQ(FeedEvents(site, "Race.Release", "CD1", rel.path()), RaceExpected(false));
#ifndef _WIN32
        std::string announced;
        EXPECT_EQ(e2e::RunPython("contrib/feed-announce.py --once", site.bin("race.feed"), &announced), 0);
        EXPECT_EQ(announced, RaceExpected(true));
#endif
    }
}

// A .sfv that arrives after its files: one run, one line per verdict. A feed
// that cannot be written changes nothing else and is reported once.
TEST(Feed, SeveralVerdictsInOneRunAndAFeedThatCannotBeWritten) {
    for (bool serverVerifies : {true, false}) {
        SCOPED_TRACE(serverVerifies ? "the six event words" : "upload and delete");
        Site working, broken;
        working.SetConfig(e2e::kFeedSetting);
        broken.SetConfig("[GENERAL]\nFEED=no/such/dir/race.feed\n");
        for (const Site* site : {&working, &broken}) {
            Release rel(*site, "Late.Sfv");
            for (const Step& s : {Step{"joe", "crew", "8", "a.r00", false}, Step{"joe", "crew", "8", "b.r00", true},
                                  Step{"ann", "flow", "16", "c.r00", false}}) {
                rel.Put(s.file, s.bad);
                rel.Event(serverVerifies ? "fileuploaded" : "upload", s.file, {s.user, s.group, s.speed, "4"});
            }
            rel.WriteSfv("late.sfv", {"a.r00", "b.r00", "c.r00", "d.r00"});
            if (serverVerifies) rel.Event("sfvuploaded", "late.sfv", {"4", "0"});
            else rel.Event("upload", "late.sfv", {"ann", "flow", "1"});
        }
        Release ours(broken, "Late.Sfv"), theirs(working, "Late.Sfv");
        EXPECT_EQ(ours.Log(), theirs.Log());
        EXPECT_EQ(e2e::Joined(e2e::List(ours.path())), e2e::Joined(e2e::List(theirs.path())));
        EXPECT_EQ(e2e::Joined(e2e::List(broken.up())), e2e::Joined(e2e::List(working.up())));
        std::string diag = e2e::FileText(broken.bin("Crevik.log"));
        EXPECT_EQ(e2e::CountLines(diag, "Feed "), 1) << diag;
        EXPECT_EQ(e2e::CountLines(diag, "race.feed: No such file or directory"), 1) << diag;

        EXPECT_EQ(FeedEvents(working, "Late.Sfv", "", theirs.path()),
                  "sfv ,\"files\":4,\"good\":0,\"percent\":0}\n"
                  "newrace ,\"user\":\"joe\",\"group\":\"crew\",\"file\":\"a.r00\"}\n"
                  "good ,\"user\":\"joe\",\"group\":\"crew\",\"file\":\"a.r00\",\"size_kb\":4,\"speed_kbps\":8,"
                  "\"good\":1,\"files\":4,\"percent\":25}\n"
                  "bad ,\"user\":\"joe\",\"group\":\"crew\",\"file\":\"b.r00\"}\n"
                  "good ,\"user\":\"ann\",\"group\":\"flow\",\"file\":\"c.r00\",\"size_kb\":4,\"speed_kbps\":16,"
                  "\"good\":2,\"files\":4,\"percent\":50}\n"
                  "halfway ,\"good\":2,\"files\":4,\"leader_user\":\"joe\",\"leader_group\":\"crew\"}\n");
        std::string feed = e2e::FileText(working.bin("race.feed"));
        working.Run({"rescan", theirs.path()});  // an operator's repair is no race
        EXPECT_EQ(e2e::FileText(working.bin("race.feed")), feed);
    }
}

// At a tie the lead stays with whoever held it first, whatever file the .sfv
// lists first: the next run must know it was ann's when joe passes her.
TEST(Feed, ATieLeavesTheLeadWithItsHolder) {
    Site site;
    site.SetConfig(e2e::kFeedSetting);
    Release rel(site, "Tie");
    rel.WriteSfv("tie.sfv", {"a.r00", "b.r00", "c.r00", "d.r00"});
    rel.Event("upload", "tie.sfv", {"ann", "flow", "1"});
    for (const char* step : {"b.r00 ann", "a.r00 joe", "c.r00 joe"}) {
        const std::string file(step, 5), user(step + 6);
        rel.Put(file);
        rel.Event("upload", file, {user, "g", "8"});
    }
    const std::string feed = e2e::FileText(site.bin("race.feed"));
    EXPECT_EQ(e2e::CountLines(feed, "\"event\":\"leader\",\"release\":\"Tie\""), 1) << feed;
}

#ifndef _WIN32
// Quotation marks, backslashes, control characters and bytes that are no
// UTF-8, in every name a line carries, come back byte for byte.
TEST(Feed, HostileNamesRoundTrip) {
    Site site;
    site.SetConfig(e2e::kFeedSetting);
    const std::string release = "R\"e\x01l\xff\xc3\xa9", file = "f\"\x01\x7f\xed\xa0\x80\xc3\xa9\xf0\x9f\x98\x80\xc3.r00";
    const std::string user = "jo\"e\\\t\x1f\xfe", group = "g\xc3\xa9\xe2\x82";
    Release rel(site, release);
    rel.WriteSfv("x.sfv", {file});
    rel.Event("upload", "x.sfv", {"a", "b", "1"});
    rel.Put(file);
    rel.Event("upload", file, {user, group, "5"});

    auto hex = [](const std::string& bytes) {
        std::string out;
        char two[3];
        for (unsigned char c : bytes) out += (std::snprintf(two, sizeof two, "%02x", c), two);
        return out;
    };
    std::string dir = rel.path();
    std::string common = " release=" + hex(release) + " sub= dir=" + hex(dir.substr(0, dir.size() - 1));
    std::string names = common + " file=" + hex(file) + " user=" + hex(user) + " group=" + hex(group) + "\n";
    std::string checked;
    EXPECT_EQ(e2e::RunPython(e2e::kFeedCheck, site.bin("race.feed"), &checked), 0);
    EXPECT_EQ(checked, "sfv" + common + "\nnewrace" + names + "good" + names + "halfway" + common + "\ncomplete" +
                           common + "\n");
}
#endif

}  // namespace
