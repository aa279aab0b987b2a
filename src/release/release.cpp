#include "release/release.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "config/ini_config.h"
#include "feed/feed.h"
#include "main/run_state.h"
#include "race/race.h"
#include "sfv/sfv.h"
#include "status/status.h"
#include "util/util.h"

namespace {

// Only this value keeps markers; "sfvsuccess" drops a file's own marker for any other but 0.
constexpr int32_t kMarkersKept = 1;

int32_t MissingMode() { return theConfig.GetInt("GENERAL", "MISSING", 1); }

int32_t ClampToInt32(double value) {
    if (!(value > 0)) return 0;
    return value >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(value);
}

// Keys of the records verified good, sorted: one search per listed file
// rather than a walk of the whole log for each.
std::vector<uint32_t> GoodRecordKeys() {
    std::vector<uint32_t> keys;
    if (!theLog.records) return keys;
    for (const void* e = theLog.records->First(); e; e = theLog.records->Next()) {
        const UploadRecord* record = static_cast<const UploadRecord*>(e);
        if (record->status == 'S') keys.push_back(static_cast<uint32_t>(record->key));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool IsGood(const std::vector<uint32_t>& goodKeys, const SfvEntry& entry) {
    return std::binary_search(goodKeys.begin(), goodKeys.end(), entry.key);
}

void FormatCount(int32_t value, char (&out)[16]) { std::snprintf(out, sizeof out, "%d", value); }

// Markers exactly for the listed files that are not good.
void SettleMarkers() {
    // A zip release's names are unknown until they arrive: it has no markers.
    if (MissingMode() != kMarkersKept || !theLog.sfvEntries || theLog.zipRelease) return;
    std::vector<uint32_t> goodKeys = GoodRecordKeys();
    for (const void* e = theLog.sfvEntries->First(); e; e = theLog.sfvEntries->Next()) {
        const SfvEntry* entry = static_cast<const SfvEntry*>(e);
        if (IsGood(goodKeys, *entry))
            DeleteMissingMarker(entry->name);
        else
            MakeMissingMarker(entry->name);
    }
}

// The completion of "sfvcomplete" on disk.
void ShowCompletion() {
    theLog.CalcRaceInfo();
    char files[16];
    FormatCount(theLog.GetRaceFiles(), files);
    UpdateIncompleteLink(files, files, "100", true);
    UpdateProgressDir(files, files, "100", true);
    CleanMarkers();
    MakeMessageFile();
}

}  // namespace

bool ReleaseHasSfv() {
    // Entries already read came from one; a run asks often, a search lists the directory.
    if (theLog.sfvEntries && theLog.sfvEntries->Count() > 0) return true;
    char name[kMaxPath];
    return FindSfvName(ReleaseDir, name) || HoldsZipRelease(ReleaseDir);
}

ReleaseCounts CountRelease() {
    ReleaseCounts counts = {0, 0};
    if (!ReleaseHasSfv()) return counts;
    theLog.LoadSfvFile();
    if (!theLog.sfvEntries) return counts;
    std::vector<uint32_t> goodKeys = GoodRecordKeys();
    for (const void* e = theLog.sfvEntries->First(); e; e = theLog.sfvEntries->Next())
        if (IsGood(goodKeys, *static_cast<const SfvEntry*>(e))) ++counts.good;
    counts.files = theLog.ListedCount();
    counts.good = std::min(counts.good, counts.files);  // a zip release's volumes beyond its count
    return counts;
}

bool IsComplete(const ReleaseCounts& counts) { return counts.files > 0 && counts.good == counts.files; }

const SfvEntry* FindListed(const char* name) {
    if (!ReleaseHasSfv()) return nullptr;
    theLog.LoadSfvFile();
    if (!theLog.sfvEntries) return nullptr;
    SfvEntry probe;
    probe.key = FileKey(name);
    return static_cast<const SfvEntry*>(theLog.sfvEntries->Find(&probe));
}

void RecordVerdict(const char* name, const char* user, const char* group, int32_t sizeKb, int32_t speedKbps,
                   bool good) {
    FeedStanding before = FeedTakeStanding();
    theLog.SetRecord(user, group, sizeKb, speedKbps, name, good ? 'S' : 'F');
    if (good)
        DropFailureMarks(name);
    else
        ApplyBadAction(name);
    FeedVerdict(before, name, user, group, sizeKb, speedKbps, good);
}

void VerifyWaitingFiles() {
    theLog.LoadSfvFile();
    if (!theLog.sfvEntries) return;
    // Index by index: a verdict may search the .sfv list and move its cursor.
    for (int32_t i = 0; i < theLog.sfvEntries->Count(); ++i) {
        const SfvEntry* entry = static_cast<const SfvEntry*>(theLog.sfvEntries->GetAt(i));
        const UploadRecord* record = theLog.FindRecord(entry->name);
        if (!record || record->status != 'N') continue;
        UploadRecord waiting = *record;
        RecordVerdict(entry->name, waiting.user, waiting.group, waiting.size, waiting.speed,
                      ListedFileIsGood(*entry));
        UpdateUpDir(waiting.user, waiting.group);
    }
}

void CompleteRelease() {
    ShowCompletion();
    FeedCompleted();
}

void RefreshCompletion() {
    if (!IsComplete(CountRelease())) return;
    theLog.CalcRaceInfo();
    char files[16], name[kMaxPath];
    FormatCount(theLog.GetRaceFiles(), files);
    CompletionDirName(files, name);
    if (PlatPathExists(name)) return;
    RemoveCompletion();
    ShowCompletion();  // the race was told when it completed
}

void SettleRelease(bool wasComplete) {
    ReleaseCounts counts = CountRelease();
    if (counts.files == 0) return;
    if (IsComplete(counts)) {
        if (wasComplete)
            RefreshCompletion();
        else
            CompleteRelease();
        return;
    }
    RemoveCompletion();
    char files[16], good[16], percent[16];
    FormatCount(counts.files, files);
    FormatCount(counts.good, good);
    FormatCount(static_cast<int32_t>(static_cast<int64_t>(counts.good) * 100 / counts.files), percent);
    UpdateIncompleteLink(files, good, percent, false);
    UpdateProgressDir(files, good, percent, false);
    SettleMarkers();
}

int32_t SizeInKb(uint64_t bytes) { return ClampToInt32(std::ceil(static_cast<double>(bytes) / 1024.0)); }

int32_t MeasuredSpeed(uint64_t bytes, bool hasBirth, double birthSeconds, double nowSeconds) {
    double elapsed = nowSeconds - birthSeconds;
    if (!hasBirth || !(elapsed > 0)) return 0;
    return ClampToInt32(std::round(static_cast<double>(bytes) / 1024.0 / elapsed));
}
