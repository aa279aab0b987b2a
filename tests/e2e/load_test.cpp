// Many server processes at once: eight streams of events on four releases
// leave the same upload logs and status directories as the same events run
// one after another, and a race feed of whole lines, one per verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "harness.h"

namespace {

using namespace e2e;

constexpr int kFilesPerStream = 57;
constexpr int kStreams = 8;
constexpr int kReleases = 4;  // streams r and r + kReleases share release r
const std::string kSfvCount = std::to_string(2 * kFilesPerStream);

std::string ReleaseName(int stream) { return "Load.Release." + std::to_string(stream % kReleases); }
std::string User(int stream) { return "user" + std::to_string(stream); }
bool IsDamaged(int i) { return i % 7 == 3; }
std::string FileName(int stream, int i) { return "s" + std::to_string(stream) + "f" + std::to_string(i) + ".r00"; }

// One stream's events, as one FTP connection sends them: its user's uploads,
// each checked against the .sfv, some failing and some deleted again. The
// first stream of each release also uploads the .sfv, before the other's
// uploads start: a .sfv after its files gets crevik's own CRC pass, which
// would add verdicts as the timing falls. Returns the events sent.
int RunStream(const Release& rel, int stream, std::atomic<bool>& sfvThere) {
    int events = 0;
    if (stream < kReleases) {
        Words listed;
        for (int i = 0; i < kFilesPerStream; ++i)
            listed.insert(listed.end(), {FileName(stream, i), FileName(stream + kReleases, i)});
        rel.WriteSfv("load.sfv", listed);
        rel.Event("sfvuploaded", "load.sfv", {kSfvCount, "0"});
        sfvThere = true;
        ++events;
    }
    while (!sfvThere) std::this_thread::yield();
    for (int i = 0; i < kFilesPerStream; ++i) {
        std::string name = FileName(stream, i);
        Words args = {User(stream), "grp" + std::to_string(stream % 3), std::to_string(100 + i),
                      std::to_string(1000 + 10 * i)};
        bool bad = IsDamaged(i);
        rel.Upload(name, args, bad);
        Words checked = args;
        checked.insert(checked.end(), {kSfvCount, std::to_string(i + 1)});
        rel.Event(bad ? "sfvfailed" : "sfvsuccess", name, bad ? args : checked);
        events += 2;
        if (bad || i % 5 != 4) continue;
        std::remove(rel.path(name).c_str());
        rel.Event("filedeleted", name);
        ++events;
    }
    return events;
}

// Every stream on its own thread, or one after another.
int RunStreams(const Site& site, bool parallel) {
    std::vector<Release> releases;
    for (int r = 0; r < kReleases; ++r) releases.emplace_back(site, ReleaseName(r));
    std::atomic<int> events{0};
    std::atomic<bool> sfvThere[kReleases] = {};
    std::vector<std::thread> threads;
    for (int s = 0; s < kStreams; ++s) {
        auto stream = [&, s] { events += RunStream(releases[s % kReleases], s, sfvThere[s % kReleases]); };
        if (parallel)
            threads.emplace_back(stream);
        else
            stream();
    }
    for (std::thread& t : threads) t.join();
    return events;
}

// The lines of `text` that do or do not hold one of `needles`, in their order.
std::string Lines(const std::string& text, const Words& needles, bool holding = true) {
    std::string out;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end + 1 - at);
        auto in = [&](const std::string& needle) { return line.find(needle) != std::string::npos; };
        bool holds = std::any_of(needles.begin(), needles.end(), in);
        if (holds == holding) out += line;
    }
    return out;
}
long LineCount(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(Load, ParallelStreamsEndAsTheSameEventsRunOneByOne) {
    Site site, replay;
    site.SetConfig(e2e::kFeedSetting);  // the replay runs without: the feed changes nothing else
    auto started = std::chrono::steady_clock::now();
    int events = RunStreams(site, /*parallel=*/true);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_EQ(RunStreams(replay, /*parallel=*/false), events);
    std::printf("[  figures ] %d events in %d parallel streams on %d releases took %lld ms\n", events, kStreams,
                kReleases, static_cast<long long>(elapsed.count()));

    EXPECT_EQ(Tree(site.up()), Tree(replay.up()));
    for (int r = 0; r < kReleases; ++r) {
        SCOPED_TRACE(ReleaseName(r));
        Release ours(site, ReleaseName(r)), theirs(replay, ReleaseName(r));
        const std::string log = ours.Log(), replayed = theirs.Log(), entries = Tree(ours.path());
        // Two users' uploads interleave in any order; each user's own stay in theirs.
        EXPECT_EQ(LineCount(log), LineCount(replayed));
        for (int s : {r, r + kReleases})
            EXPECT_EQ(Lines(log, {"|" + User(s) + "|"}), Lines(replayed, {"|" + User(s) + "|"}));
        EXPECT_EQ(LineCount(Lines(entries, {"% DONE]"})), 1) << entries;
        EXPECT_EQ(LineCount(Lines(entries, {"[UP #"})), 2) << entries;
        // Apart from what tells the moment the .sfv came: its progress
        // directory and the markers of files deleted since.
        const Words passing = {"% DONE]", "-missing"};
        EXPECT_EQ(Lines(entries, passing, false), Lines(Tree(theirs.path()), passing, false));
    }

    long goodVerdicts = 0;
    for (int i = 0; i < kFilesPerStream; ++i) goodVerdicts += IsDamaged(i) ? 0 : kStreams;
    std::string feed = e2e::FileText(site.bin("race.feed"));
    EXPECT_EQ(e2e::CountLines(feed, "\"event\":\"good\""), goodVerdicts);
#ifndef _WIN32
    std::string checked;
    EXPECT_EQ(e2e::RunPython(e2e::kFeedCheck, site.bin("race.feed"), &checked), 0) << checked;
    EXPECT_EQ(e2e::CountLines(checked, "good "), goodVerdicts);
#endif
}

}  // namespace
