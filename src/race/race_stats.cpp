#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "config/diag_log.h"
#include "log/orvex_log.h"

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
// ties in the ranking, which qsort alone would leave in any order.
int CompareTallyRank(const void* a, const void* b) {
    const RaceTally* x = static_cast<const RaceTally*>(a);
    const RaceTally* y = static_cast<const RaceTally*>(b);
    if (x->size != y->size) return x->size > y->size ? -1 : 1;
    return x->speed < y->speed ? -1 : (x->speed > y->speed ? 1 : 0);
}

// Adds one counted record to the tally it matches under the list's compare,
// or starts a new one from a copy of the record.
void AddToTally(OrderedList* tallies, std::vector<int64_t>& sizes, const UploadRecord& record, double time) {
    RaceTally* tally = static_cast<RaceTally*>(tallies->Find(&record));
    if (tally) {
        int64_t& sum = sizes[static_cast<size_t>(tally->speed)];
        sum += record.size;
        tally->size = ClampToInt32(sum);
        tally->files += 1;
        tally->time += time;
        return;
    }
    RaceTally fresh;
    static_assert(sizeof fresh == sizeof record, "a tally is a reused upload record");
    std::memcpy(&fresh, &record, sizeof fresh);
    fresh.time = time;
    fresh.files = 1;
    fresh.speed = tallies->Count();
    if (tallies->Append(&fresh) != 0) return;
    sizes.push_back(record.size);
}

void RankTallies(OrderedList* tallies, const std::vector<int64_t>& sizes) {
    tallies->SetCompare(CompareTallyRank);
    tallies->Sort();
    tallies->SetCompare(CompareTallySize);
    for (void* e = tallies->First(); e; e = tallies->Next()) {
        RaceTally* tally = static_cast<RaceTally*>(e);
        tally->speed = AverageSpeed(sizes[static_cast<size_t>(tally->speed)], tally->time);
    }
}

const RaceTally* TallyAt(OrderedList* tallies, int32_t n) {
    if (!tallies) return nullptr;
    return static_cast<const RaceTally*>(tallies->GetAt(n - 1));
}

}  // namespace

void OrvexLog::CalcRaceInfo() {
    if (!records) {
        WriteDiagLog(theConfig, "OrvexLog::CalcRaceInfo() Log is not readed");
        return;
    }
    delete userTallies;
    delete groupTallies;
    fastest = nullptr;
    userTallies = new OrderedList(sizeof(RaceTally), CompareTallyUser);
    groupTallies = new OrderedList(sizeof(RaceTally), CompareTallyGroup);
    if (!sfvEntries) LoadSfvFile();

    std::vector<int64_t> userSizes;
    std::vector<int64_t> groupSizes;
    int64_t totalSize = 0;
    double totalTime = 0.0;
    for (void* e = records->First(); e; e = records->Next()) {
        UploadRecord* record = static_cast<UploadRecord*>(e);
        SfvEntry probe;
        probe.key = static_cast<uint32_t>(record->key);
        if (!sfvEntries || !sfvEntries->Find(&probe)) continue;

        double time = UploadTime(record->size, record->speed);
        AddToTally(userTallies, userSizes, *record, time);
        AddToTally(groupTallies, groupSizes, *record, time);
        totalSize += record->size;
        totalTime += time;
        if (!fastest || record->speed > fastest->speed) fastest = record;
    }

    raceFiles = ListedCount();
    raceTotalSize = ClampToInt32(totalSize);
    raceAvgSpeed = AverageSpeed(totalSize, totalTime);
    RankTallies(userTallies, userSizes);
    RankTallies(groupTallies, groupSizes);
}

const RaceTally* OrvexLog::GetRacer(int32_t n) { return TallyAt(userTallies, n); }

const RaceTally* OrvexLog::GetRaceGroup(int32_t n) { return TallyAt(groupTallies, n); }

int32_t OrvexLog::RaceUserCount() const { return userTallies ? userTallies->Count() : 0; }

int32_t OrvexLog::RaceGroupCount() const { return groupTallies ? groupTallies->Count() : 0; }
