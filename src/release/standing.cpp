// How the race stands, as the feed tells it: good files per racer and who leads.
#include <algorithm>
#include <cstring>
#include <vector>

#include "release/release_internal.h"
#include "util/util.h"

namespace {

struct RacerKb {
    const char* user;  // into the log's records, valid while the standing is measured
    const char* group;
    int64_t kb;
    int32_t files;
};

}  // namespace

FeedStanding TakeStanding(Release& release) {
    FeedStanding standing = {};
    if (!FeedIsOn(release.feed)) return standing;
    if (PassStandingNow(release, &standing)) return standing;
    standing.on = true;
    if (!release.sfv.entries && !ReleaseHasSfv(release)) return standing;
    LoadListed(release);
    if (!release.sfv.entries || !release.log.IsRead()) return standing;

    // Good files per user, in the .sfv's order of their first.
    std::vector<RacerKb> racers;
    ForEachListed(release, [&](const SfvEntry& entry, const UploadRecord* record) {
        ++standing.files;
        if (!record || !IsGoodFile(entry, record)) return;
        ++standing.good;
        RacerKb* racer = nullptr;
        for (RacerKb& r : racers)
            if (std::strcmp(r.user, record->user) == 0) racer = &r;
        if (!racer) {
            racers.push_back(RacerKb{record->user, record->group, 0, 0});
            racer = &racers.back();
        }
        racer->kb += record->size;
        racer->files += 1;
    });

    // The lead as the log tells it, upload by upload: a racer takes it only
    // with more KB than its holder, so a tie never moves it, and every run
    // agrees on who held it without keeping any state.
    std::vector<int64_t> kbSoFar(racers.size(), 0);
    int leader = -1;
    for (const ListNode* n = release.log.records->Head(); n != release.log.records->End(); n = n->next) {
        const UploadRecord* record = static_cast<const UploadRecord*>(n->element);
        SfvEntry probe = {};
        probe.key = static_cast<uint32_t>(record->key);
        auto entry = static_cast<const SfvEntry*>(release.sfv.entries->Peek(&probe));
        if (!entry || !IsGoodFile(*entry, record)) continue;
        for (size_t i = 0; i < racers.size(); ++i) {
            if (std::strcmp(racers[i].user, record->user) != 0) continue;
            kbSoFar[i] += record->size;
            if (leader < 0 || kbSoFar[i] > kbSoFar[static_cast<size_t>(leader)]) leader = static_cast<int>(i);
        }
    }

    standing.files = release.sfv.ListedCount();
    standing.good = std::min(standing.good, standing.files);  // a zip release's volumes beyond its count
    standing.percent = Percent(standing.good, standing.files);
    standing.complete = IsComplete(ReleaseCounts{standing.files, standing.good});
    if (leader >= 0) {
        const RacerKb& lead = racers[static_cast<size_t>(leader)];
        CopyText(standing.leader, lead.user);
        CopyText(standing.leaderGroup, lead.group);
        standing.leaderKb = lead.kb;
        standing.leaderFiles = lead.files;
    }
    return standing;
}
