// The race events, each told from how the race stood before a change and how
// it stands after it.
#include <cstring>

#include "feed/feed_internal.h"
#include "util/util.h"

namespace {

// Racers and groups a "complete" line names: the top of the ranking. With
// every name escaped at its longest, a line of this many still fits.
constexpr int32_t kListedMax = 64;

void SendNameLine(Feed& feed, const char* event, const char* file, const char* user, const char* group) {
    JsonLine* line = FeedStartLine(feed, event);
    if (!line) return;
    JsonText(line, "user", user);
    JsonText(line, "group", group);
    JsonText(line, "file", file);
    FeedSendLine(feed, line);
}

void SendGood(Feed& feed, const FeedStanding& race, const char* file, const char* user, const char* group,
              int32_t sizeKb, int32_t speedKbps) {
    JsonLine* line = FeedStartLine(feed, "good");
    if (!line) return;
    JsonText(line, "user", user);
    JsonText(line, "group", group);
    JsonText(line, "file", file);
    JsonNumber(line, "size_kb", sizeKb);
    JsonNumber(line, "speed_kbps", speedKbps);
    JsonNumber(line, "good", race.good);
    JsonNumber(line, "files", race.files);
    JsonNumber(line, "percent", race.percent);
    FeedSendLine(feed, line);
}

void SendLeader(Feed& feed, const FeedStanding& race) {
    JsonLine* line = FeedStartLine(feed, "leader");
    if (!line) return;
    JsonText(line, "user", race.leader);
    JsonText(line, "group", race.leaderGroup);
    JsonNumber(line, "size_kb", race.leaderKb);
    JsonNumber(line, "files", race.leaderFiles);
    FeedSendLine(feed, line);
}

// The lines every change may give after its own: leader, halfway, incomplete.
void SendAfterChange(Feed& feed, const FeedStanding& before, const FeedStanding& race, const char* file) {
    bool hasLeader = race.leader[0] != '\0';
    if (hasLeader && before.leader[0] && std::strcmp(race.leader, before.leader) != 0) SendLeader(feed, race);
    if (hasLeader && race.files > 0 && before.good * 2 < race.files && race.good * 2 >= race.files) {
        if (JsonLine* line = FeedStartLine(feed, "halfway")) {
            JsonNumber(line, "good", race.good);
            JsonNumber(line, "files", race.files);
            JsonText(line, "leader_user", race.leader);
            JsonText(line, "leader_group", race.leaderGroup);
            FeedSendLine(feed, line);
        }
    }
    if (before.complete && !race.complete) {
        if (JsonLine* line = FeedStartLine(feed, "incomplete")) {
            JsonText(line, "file", file);
            JsonNumber(line, "good", race.good);
            JsonNumber(line, "files", race.files);
            FeedSendLine(feed, line);
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

const char* ListedNameOf(const SfvList& sfv, const UploadRecord& record) {
    SfvEntry probe;
    probe.key = static_cast<uint32_t>(record.key);
    const SfvEntry* entry = sfv.entries ? static_cast<const SfvEntry*>(sfv.entries->Peek(&probe)) : nullptr;
    return entry ? entry->name : "";
}

}  // namespace

void FeedVerdict(Feed& feed, const FeedStanding& before, const FeedStanding& after, const char* file,
                 const char* user, const char* group, int32_t sizeKb, int32_t speedKbps, bool good) {
    if (!before.on) return;
    if (good && before.good == 0 && after.good > 0) SendNameLine(feed, "newrace", file, user, group);
    if (good) SendGood(feed, after, file, user, group, sizeKb, speedKbps);
    else SendNameLine(feed, "bad", file, user, group);
    SendAfterChange(feed, before, after, file);
}

void FeedRecordGone(Feed& feed, const FeedStanding& before, const FeedStanding& after, const char* file) {
    if (!before.on) return;
    SendAfterChange(feed, before, after, file);
}

namespace {

void SendCountLine(Feed& feed, const char* event, int32_t files, int32_t good, int32_t percent) {
    JsonLine* line = FeedStartLine(feed, event);
    if (!line) return;
    JsonNumber(line, "files", files);
    JsonNumber(line, "good", good);
    JsonNumber(line, "percent", percent);
    FeedSendLine(feed, line);
}

}  // namespace

void FeedSfvArrived(Feed& feed, int32_t files, int32_t good, int32_t percent) {
    SendCountLine(feed, "sfv", files, good, percent);
}

void FeedDizArrived(Feed& feed, int32_t files, int32_t good, int32_t percent) {
    SendCountLine(feed, "diz", files, good, percent);
}

void FeedCompleted(Feed& feed, const RaceStats& race, const SfvList& sfv) {
    JsonLine* line = FeedStartLine(feed, "complete");
    if (!line) return;
    JsonNumber(line, "files", race.files);
    JsonNumber(line, "size_kb", race.totalSize);
    JsonNumber(line, "avg_speed_kbps", race.avgSpeed);
    JsonOpen(line, "racers", '[');
    for (int32_t i = 1; i <= race.RacerCount() && i <= kListedMax; ++i) PutTally(line, *race.Racer(i), true);
    JsonClose(line, ']');
    JsonOpen(line, "groups", '[');
    for (int32_t i = 1; i <= race.GroupCount() && i <= kListedMax; ++i) PutTally(line, *race.Group(i), false);
    JsonClose(line, ']');
    JsonOpen(line, "fastest", '{');
    const UploadRecord* fastest = race.Fastest();
    JsonText(line, "user", fastest ? fastest->user : "");
    JsonText(line, "group", fastest ? fastest->group : "");
    JsonText(line, "file", fastest ? ListedNameOf(sfv, *fastest) : "");
    JsonNumber(line, "speed_kbps", fastest ? fastest->speed : 0);
    JsonClose(line, '}');
    FeedSendLine(feed, line);
}

void FeedSfvDeleted(Feed& feed) {
    if (JsonLine* line = FeedStartLine(feed, "sfvdeleted")) FeedSendLine(feed, line);
}
