// The operator commands on the built program: check, cleanup and rescan.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "log/upload_log.h"
#include "platform/platform.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using e2e::Exists;
using e2e::Release;
using e2e::Site;
using e2e::Words;
namespace fs = std::filesystem;

std::string Line(const std::string& file, const std::string& rest) {
    return std::to_string(FileKey(file.c_str())) + "|" + rest + "\n";
}

// The race report without its one line that tells the time.
std::string Report(const Release& rel) {
    std::string text = e2e::FileText(rel.path("race.txt"));
    size_t end = text.find("| Race end");
    return end == std::string::npos ? text : text.erase(end, text.find('\n', end) - end);
}

// A file whose last modification is 1 s after its birth: a rescan measures 3185 bytes at 3 KB/s. Wine
// reports no creation time before the last write: there is nothing to measure.
#ifdef _WIN32
const std::string kMeasured = "0", kAverage = "0KBps", kBareAverage = "0KBps";
#else
const std::string kMeasured = "3", kAverage = "259KBps", kBareAverage = "3KBps";
#endif
void UploadedInOneSecond(const Release& rel, const std::string& name) {
    rel.Put(name);
    PlatFileInfo info;
    ASSERT_TRUE(PlatStatFile(rel.path(name).c_str(), &info) && info.hasBirth);
    std::chrono::duration<double> ahead(info.birthSeconds + 1 - PlatWallSeconds());
    fs::last_write_time(rel.path(name), fs::file_time_type::clock::now() +
                                            std::chrono::duration_cast<fs::file_time_type::duration>(ahead));
}

// Every entry below a directory with its contents: any change shows.
std::string Snapshot(const std::string& dir) {
    std::string all;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        all += e.path().string() + (e.is_directory() ? "/\n" : "\n" + e2e::FileText(e.path().string()) + "\n");
    return all;
}

TEST(OperatorCommands, CheckReadsSfvsOfOtherToolsAndChangesNothing) {
    Site site;
    Release rel(site, "Some.Release");
    rel.WriteSfv("some.sfv", {"some.r00", "some r01", "some.r02", "some.r03"});  // CR LF, upper-case CRCs
    std::string sfv = e2e::FileText(rel.path("some.sfv"));
    size_t last = sfv.rfind(' ') + 1;
    for (size_t i = last; i < sfv.size(); ++i) sfv[i] = static_cast<char>(std::tolower(sfv[i]));
    // Lines without a name, a blank and a CRC are no entries.
    e2e::WriteFile(rel.path("some.sfv"), sfv + "readme\r\nfile.rar\r\nx.r00:1A2B3C4D\r\n\x7f\x01\xfe" "ELF 1a2bz\r\n");
    rel.Put("some.r00");
    rel.Put("some r01", /*corrupt=*/true);
    rel.Put("some.r03");
    e2e::MakeDirs(site.up("Empty"));
    std::string before = Snapshot(site.up());

    // A file that is no .sfv by its name is never read as one.
    Site::Output out = site.Capture({"check", rel.path(), site.up("Nowhere"), site.up("Empty"), rel.path("some.r00")});
    EXPECT_EQ(out.out, "OK       some.r00\nBAD      some r01\nMISSING  some.r02\nOK       some.r03\n"
                       "Some.Release: 4 files, 2 ok, 1 bad, 1 missing\n");
    EXPECT_EQ(out.err, "crevik: " + site.up("Nowhere") + ": no such file or directory\ncrevik: " + site.up("Empty") +
                           ": no .sfv\ncrevik: " + rel.path("some.r00") + ": not a .sfv file\n");
    EXPECT_EQ(out.status, 2);
    EXPECT_EQ(Snapshot(site.up()), before);

    rel.Put("some r01");
    EXPECT_EQ(site.Capture({"Check", rel.path("some.sfv")}).status, 1);
    rel.Put("some.r02");
    out = site.Capture({"check", rel.path("some.sfv")});
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out.substr(out.out.rfind("Some")), "Some.Release: 4 files, 4 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(site.Capture({"check"}).status, 2);

#ifndef _WIN32
    // cksfv's own .sfv: comment lines with sizes and dates, LF line ends.
    Release cd(site, "Other.Release/CD1");
    for (const char* name : {"x.r00", "x r01"}) cd.Put(name);
    ASSERT_EQ(std::system(("cd '" + cd.path() + "' && cksfv x.r00 'x r01' >cksfv.sfv").c_str()), 0);
    out = site.Capture({"check", cd.path()});
    EXPECT_EQ(out.out, "OK       x.r00\nOK       x r01\nOther.Release/CD1: 2 files, 2 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(out.status, 0);

    Release hostile(site, "Hostile\033]0;title\a");  // names that would act on the terminal, shown as ls quotes them
    hostile.WriteSfv("h.SFV", {"e\033[31mvil.r00"});
    hostile.Put("e\033[31mvil.r00");
    out = site.Capture({"check", hostile.path("h.SFV")});
    EXPECT_EQ(out.out, "OK       'e'$'\\033''[31mvil.r00'\n"
                       "'Hostile'$'\\033'']0;title'$'\\a': 1 files, 1 ok, 0 bad, 0 missing\n");
#endif
}

TEST(OperatorCommands, HelpAndVersionOnStandardOutputAnEventWordAloneDoesNothing) {
    Site site;
    for (const Words& words : {Words{}, Words{"help"}, Words{"--help"}, Words{"-h"}}) {
        Site::Output out = site.Capture(words);
        EXPECT_EQ(out.status, 0);
        for (const char* word : {"fileuploaded", "filedeleted", "sfvsuccess", "sfvfailed", "sfvuploaded", "sfvcomplete",
                                 "upload", "delete", "check", "rescan", "cleanup", "watch"})
            EXPECT_EQ(e2e::CountLines(out.out, std::string("crevik ") + word + " "), 1) << word << "\n" << out.out;
    }
    const std::string version = site.Capture({"--version"}).out;  // "crevik 1.0.0\n"
    EXPECT_TRUE(version.size() > 8 && version.rfind("crevik ", 0) == 0 &&
                version.find_first_not_of("0123456789.", 7) + 1 == version.size()) << version;
    EXPECT_EQ(site.Capture({"upload"}).out, "");
}

TEST(OperatorCommands, RescanRebuildsWhatTheEventsWouldHaveLeft) {
    Site site;
    site.SetConfig("[GENERAL]\nMESSAGE=race.txt\n");
    const Words files = {"a.r00", "a.r01", "a.r02"};
    const Words joe = {"joe", "crew", "300", "400"}, ann = {"ann", "flow", "500", "600"};
    Release events(site, "events/Some.Release"), lost(site, "lost/Some.Release");
    events.WriteSfv("rel.sfv", files);
    events.Event("sfvuploaded", "rel.sfv", {"3", "0"});
    for (size_t i = 0; i < files.size(); ++i) {
        Words who = i == 1 ? ann : joe;
        events.Upload(files[i], who);
        who.insert(who.end(), {"3", std::to_string(i + 1)});
        events.Event("sfvsuccess", files[i], who);
    }
    events.Event("sfvcomplete", "rel.sfv");
    lost.WriteSfv("rel.sfv", files);
    for (size_t i = 0; i < files.size(); ++i) lost.Upload(files[i], i == 1 ? ann : joe);  // no verdict arrived

    Site::Output out = site.Capture({"rescan", lost.path()});
    EXPECT_EQ(out.out, "OK       a.r00\nOK       a.r01\nOK       a.r02\nSome.Release: 3 files, 3 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(lost.Log(), events.Log());
    EXPECT_EQ(e2e::List(lost.path()), e2e::List(events.path()));
    EXPECT_EQ(Report(lost), Report(events));
    EXPECT_EQ(e2e::List(site.up("lost")), Words{"Some.Release/"});

    // By hand: one file damaged, one deleted. Set aside, marked, reopened, twice alike.
    // Markers are empty, whatever had their names: text, or a link whose target stays.
    lost.Put("a.r01", /*corrupt=*/true);
    std::remove(lost.path("a.r02").c_str());
    e2e::WriteFile(lost.path("a.r02-missing"), "someone's text");
    e2e::WriteFile(site.up("outside.txt"), "kept");
#ifndef _WIN32
    fs::create_symlink("../../outside.txt", lost.path("a.r01-missing"));
#endif
    out = site.Capture({"rescan", lost.path()});
    EXPECT_EQ(out.out, "OK       a.r00\nBAD      a.r01\nMISSING  a.r02\nSome.Release: 3 files, 1 ok, 1 bad, 1 missing\n");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(lost.Log(), Line("a.r00", "joe|crew|400|300|S") + Line("a.r01", "ann|flow|600|500|F"));
    EXPECT_TREE(lost.path(), ".upChk.log", "[33% DONE]-[1 of 3 files checked]/",
                "[UP #1@400KB by joe@crew at 300KBps]/", "[UP #1@600KB by ann@flow at 500KBps]/", "a.r00",
                "a.r01-missing", "a.r01.bad", "a.r02-missing", "rel.sfv");
    EXPECT_EQ(e2e::List(site.up("lost")), (Words{"Some.Release/", "[--INCOMPLETE--]-[Some.Release]"}));
    EXPECT_EQ(e2e::FileText(lost.path("a.r01-missing")) + e2e::FileText(lost.path("a.r02-missing")) +
                  e2e::FileText(site.up("outside.txt")), "kept");
    std::string before = Snapshot(site.up());
    EXPECT_EQ(site.Capture({"rescan", lost.path()}).out, out.out);
    EXPECT_EQ(Snapshot(site.up()), before);

    // Copied in by hand: nobody's uploads, at their own speed, which complete the release.
    lost.Put("a.r01");
    UploadedInOneSecond(lost, "a.r02");
    EXPECT_EQ(site.Capture({"rescan", lost.path()}).status, 0);
    EXPECT_EQ(lost.Log(), Line("a.r00", "joe|crew|400|300|S") + Line("a.r01", "ann|flow|600|500|S") +
                              Line("a.r02", "-|-|4|" + kMeasured + "|S"));
    EXPECT_TREE(lost.path(), ".upChk.log", "[100% COMPLETE]-[#3@1004KB files at " + kAverage + "]/",
                "[UP #1@400KB by joe@crew at 300KBps]/", "[UP #1@600KB by ann@flow at 500KBps]/", "a.r00", "a.r01",
                "a.r02", "race.txt", "rel.sfv");

    // No event at all, CD1 and CD2 below one release: -r finds both; every uploader is "-".
    for (const char* cd : {"bare/Multi/CD1", "bare/Multi/CD2"}) {
        Release disc(site, cd);
        disc.WriteSfv("cd.sfv", {"x.r00", "x.r01"});
        UploadedInOneSecond(disc, "x.r00");
        UploadedInOneSecond(disc, "x.r01");
    }
    out = site.Capture({"RESCAN", "-r", site.up("bare"), site.up("nowhere")});
    EXPECT_EQ(out.out, "OK       x.r00\nOK       x.r01\nMulti/CD1: 2 files, 2 ok, 0 bad, 0 missing\n"
                       "OK       x.r00\nOK       x.r01\nMulti/CD2: 2 files, 2 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(out.err, "crevik: " + site.up("nowhere") + ": no such directory\n");
    EXPECT_EQ(out.status, 2);
    Release cd1(site, "bare/Multi/CD1");
    EXPECT_EQ(cd1.Log(), Line("x.r00", "-|-|4|" + kMeasured + "|S") + Line("x.r01", "-|-|4|" + kMeasured + "|S"));
    EXPECT_TREE(cd1.path(), ".upChk.log", "[100% COMPLETE]-[#2@8KB files at " + kBareAverage + "]/", "cd.sfv",
                "race.txt", "x.r00", "x.r01");
    EXPECT_NE(Report(cd1).find("01. -@-"), std::string::npos) << Report(cd1);
    EXPECT_EQ(site.Capture({"rescan", site.up("bare")}).status, 2);  // no .sfv there
    e2e::MakeDirs(site.up("Empty"));
    out = site.Capture({"rescan", "-r", site.up("Empty"), site.up("bare/Multi/CD1/cd.sfv")});
    EXPECT_EQ(out.out, site.up("Empty") + ": no .sfv below, nothing to rescan\n");
    EXPECT_EQ(out.err, "crevik: " + site.up("bare/Multi/CD1/cd.sfv") + ": Not a directory\n");
}

#ifndef _WIN32
// Run by a user who may not read them, a file or a directory is trouble
// with the system's words, never a verdict, and the release stays as it is.
TEST(OperatorCommands, UnreadableIsTroubleNotAVerdict) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
    Site site;
    Release rel(site, "Locked"), closed(site, "Closed");
    rel.WriteSfv("rel.sfv", {"a.r00", "a.r01"});
    closed.WriteSfv("rel.sfv", {"a.r00"});
    rel.Put("a.r00");
    rel.Put("a.r01");
    fs::permissions(rel.path(), fs::perms::all);  // the user could change the release
    fs::permissions(rel.path("a.r00"), fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(closed.path(), fs::perms::owner_all);
    std::string before = Snapshot(site.up());

    const std::string denied = ": Permission denied\n";
    Site::Output out = site.Capture({"check", rel.path(), closed.path()}, Site::How::AsNobody);
    EXPECT_EQ(out.out, "OK       a.r01\nLocked: 1 files, 1 ok, 0 bad, 0 missing\n");
    EXPECT_EQ(out.err, "crevik: " + rel.path("a.r00") + denied + "crevik: " + closed.path() + denied);
    EXPECT_EQ(out.status, 2);
    out = site.Capture({"rescan", "-r", site.up()}, Site::How::AsNobody);
    EXPECT_EQ(out.out + out.err, "crevik: " + closed.path() + denied + "crevik: " + rel.path("a.r00") + denied);
    EXPECT_EQ(out.status, 2);
    EXPECT_EQ(Snapshot(site.up()), before);
}
#endif

TEST(OperatorCommands, CleanupRemovesOnlyStaleIncompleteEntries) {
    Site site;
    auto entry = [&](const std::string& release) { return site.up("[--INCOMPLETE--]-[" + release + "]"); };
    auto open = [&](const std::string& dir, bool complete) {  // by events, which make the entry
        Release rel(site, dir);
        rel.WriteSfv("rel.sfv", {"a.r00", "a.r01"});
        rel.Event("upload", "rel.sfv", {"joe", "crew", "1"});
        for (const char* name : {"a.r00", "a.r01"}) {
            if (!complete && std::string(name) == "a.r01") break;
            rel.Put(name);
            rel.Event("upload", name, {"joe", "crew", "10"});
        }
    };
    open("Live", false);
    open("Multi/CD1", false);
    open("Done", true);
    open("Multi/CD2", true);
    open("Deleted", false);
    open("Moved", false);
    ASSERT_FALSE(Exists(entry("Done")));
    for (const char* stale : {"Done", "Multi-CD2", "NoSfv"}) e2e::WriteFile(entry(stale), "");
    e2e::MakeDirs(site.up("NoSfv"));
    fs::remove_all(site.up("Deleted"));
    fs::rename(site.up("Moved"), site.up("Moved.Elsewhere"));
    e2e::WriteFile(entry("Notes"), "someone's text");  // not what a run leaves
    e2e::MakeDirs(entry("Box") + "/inside");
    e2e::MakeDirs(entry("Empty.Gone"));
    e2e::WriteFile(site.up("readme.txt"), "");
    Words stale = {"[--INCOMPLETE--]-[Deleted]", "[--INCOMPLETE--]-[Done]", "[--INCOMPLETE--]-[Empty.Gone]",
                   "[--INCOMPLETE--]-[Moved]", "[--INCOMPLETE--]-[Multi-CD2]", "[--INCOMPLETE--]-[NoSfv]"};
#ifndef _WIN32
    // A link whose release is gone: the link goes, never what it points to.
    e2e::MakeDirs(site.up("../kept/Linked"));
    e2e::WriteFile(site.up("../kept/Linked/a.r00"), "data");
    fs::create_directory_symlink("../kept/Linked", entry("Linked"));
    stale.insert(stale.begin() + 3, "[--INCOMPLETE--]-[Linked]");
#endif
    std::string before = Snapshot(site.up());

    Site::Output out = site.Capture({"cleanup", "--dry-run", site.up()});
    std::string expected;
    for (const std::string& name : stale) expected += "STALE    " + name + "\n";
    EXPECT_EQ(out.out, expected);
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(Snapshot(site.up()), before);

    out = site.Capture({"Cleanup", site.up(), site.up("nowhere")});
    for (std::string::size_type at = 0; (at = expected.find("STALE    ", at)) != std::string::npos;)
        expected.replace(at, 9, "REMOVED  ");
    EXPECT_EQ(out.out, expected);
    EXPECT_EQ(out.err, "crevik: " + site.up("nowhere") + ": no such directory\n");
    EXPECT_EQ(out.status, 2);
    EXPECT_TREE(site.up(), "Done/", "Live/", "Moved.Elsewhere/", "Multi/", "NoSfv/", "[--INCOMPLETE--]-[Box]/",
                "[--INCOMPLETE--]-[Live]", "[--INCOMPLETE--]-[Multi-CD1]", "[--INCOMPLETE--]-[Notes]", "readme.txt");
#ifndef _WIN32
    EXPECT_EQ(e2e::FileText(site.up("../kept/Linked/a.r00")), "data");
#endif
    EXPECT_EQ(site.Capture({"cleanup", site.up()}).out, "");
}

#ifndef _WIN32
// Rescans in a loop while four streams upload into the same release: the run
// lock keeps every record, and a record a rescan made for a file whose event
// had not come yet gives way to the uploader's.
TEST(OperatorCommands, RescanAmidFourUploadStreamsLosesNothing) {
    constexpr int kStreams = 4, kFiles = 12;
    Site site;
    Release rel(site, "Busy"), stage(site, "stage");
    auto file = [](int s, int i) { return "s" + std::to_string(s) + "f" + std::to_string(i) + ".r00"; };
    Words listed;
    for (int s = 0; s < kStreams; ++s)
        for (int i = 0; i < kFiles; ++i) listed.push_back(file(s, i));
    rel.WriteSfv("busy.sfv", listed);
    rel.Event("upload", "busy.sfv", {"user0", "grp", "1"});

    std::atomic<int> running{kStreams};
    std::atomic<int> rescans{0};
    std::vector<std::thread> streams;
    for (int s = 0; s < kStreams; ++s)
        streams.emplace_back([&, s] {
            for (int i = 0; i < kFiles; ++i) {  // stored under a hidden name, then renamed, as HiddenStores does
                stage.Put(file(s, i));
                fs::rename(stage.path(file(s, i)), rel.path(file(s, i)));
                rel.Event("upload", file(s, i), {"user" + std::to_string(s), "grp", std::to_string(100 + i)});
            }
            --running;
        });
    while (running > 0) {
        EXPECT_LE(site.Capture({"rescan", rel.path()}).status, 1);
        ++rescans;
    }
    for (std::thread& t : streams) t.join();
    std::printf("[  figures ] %d rescans during %d uploads\n", rescans.load(), kStreams * kFiles);

    std::string expected = Line("busy.sfv", "user0|grp|1|1|N");
    std::string log = rel.Log();
    for (int s = 0; s < kStreams; ++s)
        for (int i = 0; i < kFiles; ++i) {
            std::string line = Line(file(s, i), "user" + std::to_string(s) + "|grp|4|" + std::to_string(100 + i) + "|S");
            EXPECT_NE(log.find(line), std::string::npos) << line;
            expected += line;
        }
    EXPECT_EQ(log.size(), expected.size()) << log;
    EXPECT_TRUE(Exists(rel.path("[100% COMPLETE]-[#48@192KB files at 105KBps]"))) << e2e::Joined(e2e::List(rel.path()));
    std::string before = Snapshot(site.up());
    EXPECT_EQ(site.Capture({"rescan", rel.path()}).status, 0);
    EXPECT_EQ(Snapshot(site.up()), before);
}
#endif

}  // namespace
