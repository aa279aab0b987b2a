// Race statistics from the upload log and the .sfv: totals, racers and groups
// ranked, the fastest upload. Nothing is kept between calls.
#include <cmath>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "race/race.h"

namespace {

int32_t ClampToInt32(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Seconds an upload took. Speed 0 gives an infinite time, or an undefined one
// for size 0, which the averages turn into 0.
double UploadTime(int32_t size, int32_t speed) {
    if (speed != 0) return static_cast<double>(size) / static_cast<double>(speed);
    if (size == 0) return std::nan("");
    return size > 0 ? HUGE_VAL : -HUGE_VAL;
}

// size / time truncated toward zero; 0 for an empty, infinite or undefined
// time, so no infinity or NaN ever reaches an integer.
int32_t AverageSpeed(int64_t size, double time) {
    if (time == 0.0 || !std::isfinite(time)) return 0;
    double speed = std::trunc(static_cast<double>(size) / time);
    if (speed >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (speed <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<int32_t>(speed);
}

// Until the speeds are computed, a tally's speed field holds the order in
// which it was first seen: it indexes the tally's exact size sum and breaks
// ties in the ranking, so the ranking is one total order.
bool RanksBefore(const RaceTally& x, const RaceTally& y) {
    if (x.size != y.size) return x.size > y.size;
    return x.speed < y.speed;
}

// Adds one counted record to the tally of its user (or group), or starts a
// new one from a copy of the record. Tallies are found by name through
// `byName`, not by a walk: a release of many racers costs its size.
void AddToTally(std::vector<RaceTally>& tallies, std::vector<int64_t>& sizes,
                std::unordered_map<std::string, size_t>& byName, const UploadRecord& record, double time,
                bool byGroup) {
    auto known = byName.emplace(byGroup ? record.group : record.user, tallies.size());
    if (!known.second) {
        RaceTally& tally = tallies[known.first->second];
        int64_t& sum = sizes[static_cast<size_t>(tally.speed)];
        sum += record.size;
        tally.size = ClampToInt32(sum);
        tally.files += 1;
        tally.time += time;
        return;
    }
    RaceTally fresh;  // at the index `byName` now holds
    static_assert(sizeof fresh == sizeof record, "a tally is a reused upload record");
    std::memcpy(&fresh, &record, sizeof fresh);
    fresh.time = time;
    fresh.files = 1;
    fresh.speed = static_cast<int32_t>(tallies.size());
    tallies.push_back(fresh);
    sizes.push_back(record.size);
}

void RankTallies(std::vector<RaceTally>& tallies, const std::vector<int64_t>& sizes) {
    std::sort(tallies.begin(), tallies.end(), RanksBefore);
    for (RaceTally& tally : tallies) tally.speed = AverageSpeed(sizes[static_cast<size_t>(tally.speed)], tally.time);
}

const RaceTally* TallyAt(const std::vector<RaceTally>& tallies, int32_t n) {
    if (n < 1 || static_cast<size_t>(n) > tallies.size()) return nullptr;
    return &tallies[static_cast<size_t>(n - 1)];
}

}  // namespace

RaceStats ComputeRace(const UploadLog& log, const SfvList& sfv) {
    RaceStats race;
    race.files = sfv.ListedCount();
    if (!log.records) return race;

    std::vector<int64_t> userSizes;
    std::vector<int64_t> groupSizes;
    std::unordered_map<std::string, size_t> userAt, groupAt;
    int64_t totalSize = 0;
    double totalTime = 0.0;
    for (const ListNode* node = log.records->Head(); node != log.records->End(); node = node->next) {
        const UploadRecord* record = static_cast<const UploadRecord*>(node->element);
        SfvEntry probe;
        probe.key = static_cast<uint32_t>(record->key);
        if (!sfv.entries || !sfv.entries->Peek(&probe)) continue;

        double time = UploadTime(record->size, record->speed);
        AddToTally(race.racers, userSizes, userAt, *record, time, false);
        AddToTally(race.groups, groupSizes, groupAt, *record, time, true);
        totalSize += record->size;
        totalTime += time;
        if (!race.hasFastest || record->speed > race.fastest.speed) {
            race.fastest = *record;
            race.hasFastest = true;
        }
    }

    race.totalSize = ClampToInt32(totalSize);
    race.avgSpeed = AverageSpeed(totalSize, totalTime);
    RankTallies(race.racers, userSizes);
    RankTallies(race.groups, groupSizes);
    return race;
}

const RaceTally* RaceStats::Racer(int32_t n) const { return TallyAt(racers, n); }

const RaceTally* RaceStats::Group(int32_t n) const { return TallyAt(groups, n); }

int CompareTallySize(const void* a, const void* b) {
    // The sign of b - a, without the overflow a plain subtraction risks.
    int32_t x = static_cast<const RaceTally*>(a)->size;
    int32_t y = static_cast<const RaceTally*>(b)->size;
    return x == y ? 0 : (y > x ? 1 : -1);
}
