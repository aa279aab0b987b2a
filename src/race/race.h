// Race statistics of a release, computed from its upload log and .sfv alone,
// and the race report written from them.
#ifndef CREVIK_RACE_H
#define CREVIK_RACE_H

#include <cstdint>
#include <vector>

#include "config/settings.h"
#include "log/upload_log.h"
#include "sfv/sfv.h"

// Same layout as UploadRecord: built by copying the first counted record.
struct RaceTally {
    double time;  // seconds: sum of size / speed
    char user[kNameField];
    char group[kNameField];
    int32_t size;   // KB
    int32_t speed;  // KB/s, size / time once ranked
    int32_t files;
};

// Larger size first.
int CompareTallySize(const void* a, const void* b);

struct RaceStats {
    int32_t files = 0;      // listed in the .sfv, or a zip release's volume count
    int32_t totalSize = 0;  // KB of the counted uploads
    int32_t avgSpeed = 0;   // KB/s over them
    std::vector<RaceTally> racers;  // ranked: most KB first, ties in the order first seen
    std::vector<RaceTally> groups;
    bool hasFastest = false;
    UploadRecord fastest = {};  // the counted upload with the highest speed, the first of equals

    const RaceTally* Racer(int32_t n) const;  // 1-based; null past the end
    const RaceTally* Group(int32_t n) const;
    int32_t RacerCount() const { return static_cast<int32_t>(racers.size()); }
    int32_t GroupCount() const { return static_cast<int32_t>(groups.size()); }
    const UploadRecord* Fastest() const { return hasFastest ? &fastest : nullptr; }
};

// Every upload of a listed file counts, whatever its verdict: the race is
// who uploaded how much of the release, how fast.
RaceStats ComputeRace(const UploadLog& log, const SfvList& sfv);

// Writes the report named by MESSAGE into the working directory (the
// release's). `releaseName` is its name, "Some.Release (CD1)" for a part.
void MakeMessageFile(const Settings& settings, const char* releaseName, const RaceStats& race);

#endif
