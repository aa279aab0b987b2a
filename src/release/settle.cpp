// The status entries follow the log: progress, completion, race report,
// uploaders' directories, and what goes with a file or the .sfv.
#include "release/release.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "config/diag_log.h"
#include "release/release_internal.h"
#include "status/status.h"
#include "util/util.h"

namespace {

int32_t ClampToInt32(double value) {
    if (!(value > 0)) return 0;
    return value >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(value);
}

void FormatCount(int32_t value, char (&out)[16]) { std::snprintf(out, sizeof out, "%d", value); }

RaceStats MeasureRace(Release& release) {
    if (!release.log.IsRead()) WriteDiagLog(release.settings, "OrvexLog::CalcRaceInfo() Log is not readed");
    LoadListed(release);
    return ComputeRace(release.log, release.sfv);
}

// The completion on disk, for figures already measured.
void ShowCompletion(Release& release, const RaceStats& race) {
    char files[16];
    FormatCount(race.files, files);
    UpdateIncompleteLink(release.settings, release.dir, files, files, "100", true);
    ShowCompletionDir(release.settings, files, race);
    CleanMarkers(release.settings, release.dir);
    WriteRaceReport(release, race);
}

// A complete release whose completion directory does not show the log's
// figures (records changed after it completed) completes again, with a new
// race report; one that shows them is left as it stands.
void RefreshCompletion(Release& release) {
    RaceStats race = MeasureRace(release);
    char files[16], name[kMaxPath];
    FormatCount(race.files, files);
    CompletionDirName(release.settings, files, race, name);
    if (PlatPathExists(name)) return;
    RemoveCompletion(release.settings);
    ShowCompletion(release, race);  // the race was told when it completed
}

}  // namespace

void WriteRaceReport(Release& release, const RaceStats& race) {
    // "Some.Release", or "Some.Release (CD1)" for a part.
    char parent[kMaxPath], dirname[kMaxPath], sub[kMaxPath], name[2 * kMaxPath + 4];
    SplitReleasePath(release.settings, release.dir, parent, dirname, sub);
    if (sub[0]) std::snprintf(name, sizeof name, "%s (%s)", dirname, sub);
    else std::snprintf(name, sizeof name, "%s", dirname);
    MakeMessageFile(release.settings, name, race);
}

void ShowProgress(Release& release, const char* files, const char* good, const char* percent) {
    UpdateIncompleteLink(release.settings, release.dir, files, good, percent, false);
    UpdateProgressDir(release.settings, files, good, percent);
}

void ShowUploader(Release& release, const char* user, const char* group) {
    UpdateUpDir(release.settings, release.log, user, group);
}

void CompleteRelease(Release& release) {
    RaceStats race = MeasureRace(release);
    ShowCompletion(release, race);
    FeedCompleted(release.feed, race, release.sfv);
}

void SettleRelease(Release& release, bool wasComplete) {
    ReleaseCounts counts = CountRelease(release);
    if (counts.files == 0) return;
    if (IsComplete(counts)) {
        if (wasComplete)
            RefreshCompletion(release);
        else
            CompleteRelease(release);
        return;
    }
    RemoveCompletion(release.settings);
    char files[16], good[16], percent[16];
    FormatCount(counts.files, files);
    FormatCount(counts.good, good);
    FormatCount(Percent(counts.good, counts.files), percent);
    ShowProgress(release, files, good, percent);
    SettleMarkers(release);
}

void ForgetFile(Release& release, const char* name) {
    char user[kNameField] = "";
    char group[kNameField] = "";
    FeedStanding before = TakeStanding(release);
    release.log.TakeRecord(name, user, group);
    FeedRecordGone(release.feed, before, TakeStanding(release), name);
    CommitLog(release);
    ShowUploader(release, user, group);
    if (IsSfvName(name)) ForgetSfv(release);
}

void ForgetSfv(Release& release) {
    RemoveReleaseStatus(release.settings, release.dir);
    FeedSfvDeleted(release.feed);
}

int32_t SizeInKb(uint64_t bytes) { return ClampToInt32(std::ceil(static_cast<double>(bytes) / 1024.0)); }

int32_t MeasuredSpeed(const PlatFileInfo& file, double nowSeconds) {
    double end = file.modifiedSeconds > file.birthSeconds ? file.modifiedSeconds : nowSeconds;
    double elapsed = end - file.birthSeconds;
    if (!file.hasBirth || !(elapsed > 0)) return 0;
    return ClampToInt32(std::round(static_cast<double>(file.bytes) / 1024.0 / elapsed));
}
