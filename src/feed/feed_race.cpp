// The race events, told from theLog, the .sfv and the race statistics.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "feed/feed.h"
#include "feed/feed_internal.h"
#include "release/release.h"
#include "util/util.h"

namespace {

// Racers and groups a "complete" line names: the top of the ranking. With
// every name escaped at its longest, a line of this many still fits.
constexpr int32_t kListedMax = 64;

struct RacerKb {
    const char* user;  // into theLog's records, valid while the standing is used
    const char* group;
    int64_t kb;
    int32_t files;
};

struct Race {
    int32_t files;
    int32_t good;
    std::vector<RacerKb> racers;  // good files per user, in the .sfv's order of their first
    int leader;                   // index into racers; -1 without good files
    const RacerKb* Leader() const { return leader < 0 ? nullptr : &racers[static_cast<size_t>(leader)]; }
};

// "Good" as CountRelease has it (listed, with an 'S' record), and also what
// this run's own CRC pass found good ("sfvuploaded"), which the log does not
// record. Callers that loop over the .sfv's list do so by index: this moves
// its cursor.
Race MeasureRace() {
    Race race = {0, 0, {}, -1};
    if (!theLog.sfvEntries && !ReleaseHasSfv()) return race;
    theLog.LoadSfvFile();
    if (!theLog.sfvEntries || !theLog.records) return race;
    // Records by key: a search of the list per listed file would make each
    // line cost the square of the release's size.
    std::vector<const UploadRecord*> byKey;
    for (const void* e = theLog.records->First(); e; e = theLog.records->Next())
        byKey.push_back(static_cast<const UploadRecord*>(e));
    auto keyLess = [](const UploadRecord* a, const UploadRecord* b) { return a->key < b->key; };
    std::stable_sort(byKey.begin(), byKey.end(), keyLess);
    for (const void* e = theLog.sfvEntries->First(); e; e = theLog.sfvEntries->Next()) {
        const SfvEntry* entry = static_cast<const SfvEntry*>(e);
        ++race.files;
        UploadRecord probe;
        probe.key = static_cast<double>(entry->key);
        auto found = std::lower_bound(byKey.begin(), byKey.end(), &probe, keyLess);
        const UploadRecord* record = found != byKey.end() && (*found)->key == probe.key ? *found : nullptr;
        if (!record || (record->status != 'S' && !entry->good)) continue;
        ++race.good;
        RacerKb* racer = nullptr;
        for (RacerKb& r : race.racers)
            if (std::strcmp(r.user, record->user) == 0) racer = &r;
        if (!racer) {
            race.racers.push_back(RacerKb{record->user, record->group, 0, 0});
            racer = &race.racers.back();
        }
        racer->kb += record->size;
        racer->files += 1;
    }
    race.files = theLog.ListedCount();
    race.good = std::min(race.good, race.files);  // a zip release's volumes beyond its count
    // The lead as the log tells it, upload by upload: a racer takes it only
    // with more KB than its holder, so a tie never moves it, and every run
    // agrees on who held it without keeping any state.
    std::vector<std::pair<uint32_t, bool>> listed;  // key, found good by this run's own CRC pass
    for (const void* e = theLog.sfvEntries->First(); e; e = theLog.sfvEntries->Next())
        listed.emplace_back(static_cast<const SfvEntry*>(e)->key, static_cast<const SfvEntry*>(e)->good != 0);
    std::sort(listed.begin(), listed.end());
    std::vector<int64_t> kbSoFar(race.racers.size(), 0);
    for (const void* e = theLog.records->First(); e; e = theLog.records->Next()) {
        const UploadRecord* record = static_cast<const UploadRecord*>(e);
        uint32_t key = static_cast<uint32_t>(record->key);
        auto entry = std::lower_bound(listed.begin(), listed.end(), std::make_pair(key, false));
        if (entry == listed.end() || entry->first != key) continue;
        if (record->status != 'S' && !entry->second) continue;
        for (size_t i = 0; i < race.racers.size(); ++i) {
            if (std::strcmp(race.racers[i].user, record->user) != 0) continue;
            kbSoFar[i] += record->size;
            if (race.leader < 0 || kbSoFar[i] > kbSoFar[static_cast<size_t>(race.leader)])
                race.leader = static_cast<int>(i);
        }
    }
    return race;
}

bool WasComplete(const FeedStanding& standing) { return IsComplete(ReleaseCounts{standing.files, standing.good}); }

int64_t Percent(int32_t good, int32_t files) { return files > 0 ? static_cast<int64_t>(good) * 100 / files : 0; }

void SendNameLine(const char* event, const char* file, const char* user, const char* group) {
    JsonLine* line = FeedStartLine(event);
    if (!line) return;
    JsonText(line, "user", user);
    JsonText(line, "group", group);
    JsonText(line, "file", file);
    FeedSendLine(line);
}

void SendGood(const Race& race, const char* file, const char* user, const char* group, int32_t sizeKb,
              int32_t speedKbps) {
    JsonLine* line = FeedStartLine("good");
    if (!line) return;
    JsonText(line, "user", user);
    JsonText(line, "group", group);
    JsonText(line, "file", file);
    JsonNumber(line, "size_kb", sizeKb);
    JsonNumber(line, "speed_kbps", speedKbps);
    JsonNumber(line, "good", race.good);
    JsonNumber(line, "files", race.files);
    JsonNumber(line, "percent", Percent(race.good, race.files));
    FeedSendLine(line);
}

// The lines every change may give after its own: leader, halfway, incomplete.
void SendAfterChange(const FeedStanding& before, const Race& race, const char* file) {
    const RacerKb* leader = race.Leader();
    if (leader && before.leader[0] && std::strcmp(leader->user, before.leader) != 0) {
        if (JsonLine* line = FeedStartLine("leader")) {
            JsonText(line, "user", leader->user);
            JsonText(line, "group", leader->group);
            JsonNumber(line, "size_kb", leader->kb);
            JsonNumber(line, "files", leader->files);
            FeedSendLine(line);
        }
    }
    if (leader && race.files > 0 && before.good * 2 < race.files && race.good * 2 >= race.files) {
        if (JsonLine* line = FeedStartLine("halfway")) {
            JsonNumber(line, "good", race.good);
            JsonNumber(line, "files", race.files);
            JsonText(line, "leader_user", leader->user);
            JsonText(line, "leader_group", leader->group);
            FeedSendLine(line);
        }
    }
    if (WasComplete(before) && !IsComplete(ReleaseCounts{race.files, race.good})) {
        if (JsonLine* line = FeedStartLine("incomplete")) {
            JsonText(line, "file", file);
            JsonNumber(line, "good", race.good);
            JsonNumber(line, "files", race.files);
            FeedSendLine(line);
        }
    }
}

// One ranked tally of the race statistics, as a racer or as a group.
void PutTally(JsonLine* line, const RaceTally& tally, bool withUser) {
    JsonOpen(line, nullptr, '{');
    if (withUser) JsonText(line, "user", tally.user);
    JsonText(line, "group", tally.group);
    JsonNumber(line, "files", tally.files);
    JsonNumber(line, "size_kb", tally.size);
    JsonNumber(line, "speed_kbps", tally.speed);
    JsonClose(line, '}');
}

const char* ListedNameOf(const UploadRecord& record) {
    SfvEntry probe;
    probe.key = static_cast<uint32_t>(record.key);
    const SfvEntry* entry = theLog.sfvEntries ? static_cast<const SfvEntry*>(theLog.sfvEntries->Find(&probe)) : nullptr;
    return entry ? entry->name : "";
}

}  // namespace

FeedStanding FeedTakeStanding() {
    FeedStanding standing = {};
    if (!FeedIsOn()) return standing;
    Race race = MeasureRace();
    standing.on = true;
    standing.files = race.files;
    standing.good = race.good;
    if (const RacerKb* leader = race.Leader()) CopyText(standing.leader, leader->user);
    return standing;
}

void FeedVerdict(const FeedStanding& before, const char* file, const char* user, const char* group,
                 int32_t sizeKb, int32_t speedKbps, bool good) {
    if (!before.on) return;
    Race race = MeasureRace();
    if (good && before.good == 0 && race.good > 0) SendNameLine("newrace", file, user, group);
    if (good) SendGood(race, file, user, group, sizeKb, speedKbps);
    else SendNameLine("bad", file, user, group);
    SendAfterChange(before, race, file);
}

void FeedRecordGone(const FeedStanding& before, const char* file) {
    if (!before.on) return;
    SendAfterChange(before, MeasureRace(), file);
}

namespace {

void SendCountLine(const char* event, int32_t files, int32_t good) {
    JsonLine* line = FeedStartLine(event);
    if (!line) return;
    JsonNumber(line, "files", files);
    JsonNumber(line, "good", good);
    JsonNumber(line, "percent", Percent(good, files));
    FeedSendLine(line);
}

}  // namespace

void FeedSfvArrived(int32_t files, int32_t good) { SendCountLine("sfv", files, good); }

void FeedSfvCounted() {
    if (!FeedIsOn()) return;
    Race race = MeasureRace();
    FeedSfvArrived(race.files, race.good);
}

void FeedDizCounted() {
    if (!FeedIsOn()) return;
    Race race = MeasureRace();
    SendCountLine("diz", race.files, race.good);
}

void FeedCompleted() {
    JsonLine* line = FeedStartLine("complete");
    if (!line) return;
    JsonNumber(line, "files", theLog.GetRaceFiles());
    JsonNumber(line, "size_kb", theLog.GetRaceTotalSize());
    JsonNumber(line, "avg_speed_kbps", theLog.GetRaceAvgSpeed());
    JsonOpen(line, "racers", '[');
    for (int32_t i = 1; i <= theLog.RaceUserCount() && i <= kListedMax; ++i) PutTally(line, *theLog.GetRacer(i), true);
    JsonClose(line, ']');
    JsonOpen(line, "groups", '[');
    for (int32_t i = 1; i <= theLog.RaceGroupCount() && i <= kListedMax; ++i)
        PutTally(line, *theLog.GetRaceGroup(i), false);
    JsonClose(line, ']');
    JsonOpen(line, "fastest", '{');
    const UploadRecord* fastest = theLog.GetFastest();
    JsonText(line, "user", fastest ? fastest->user : "");
    JsonText(line, "group", fastest ? fastest->group : "");
    JsonText(line, "file", fastest ? ListedNameOf(*fastest) : "");
    JsonNumber(line, "speed_kbps", fastest ? fastest->speed : 0);
    JsonClose(line, '}');
    FeedSendLine(line);
}

void FeedSfvDeleted() {
    if (JsonLine* line = FeedStartLine("sfvdeleted")) FeedSendLine(line);
}
