// "A file is good", the release's counts and its percentage: the rules the
// rest of the release's files build on.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "config/diag_log.h"
#include "release/release_internal.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

bool AnyListedGood(Release& release) {
    bool any = false;
    ForEachListed(release,
                  [&](const SfvEntry& entry, const UploadRecord* record) { any = any || IsGoodFile(entry, record); });
    return any;
}

// A zip of a zip release passes its test. The first good one that brings a
// file_id.diz gives the release its count; a release whose first good zip
// leaves it without one is never complete, which the diagnostic log says once.
bool ZipIsGood(Release& release, const char* name) {
    bool wroteDiz = false;
    ZipReport report = TestReleaseZip(release.dir, name, &wroteDiz);
    if (report.verdict != ZipVerdict::Good) return false;
    if (wroteDiz) {
        release.sfv.zipCount = DizVolumeCount(report.diz.data(), report.diz.size());
        FeedStanding counted = TakeStanding(release);
        if (release.sfv.zipCount > 0 && counted.on)
            FeedDizArrived(release.feed, counted.files, counted.good, counted.percent);
    }
    if (release.sfv.zipCount == 0 && !AnyListedGood(release))
        WriteDiagLog(release.settings,
                     "%s: no volume count in a file_id.diz: the zip release is recorded but never complete", release.dir);
    return true;
}

}  // namespace

bool IsGoodFile(const SfvEntry& entry, const UploadRecord* record) {
    return (record && record->status == 'S') || entry.good;
}

bool ZipsMakeRelease(const Settings& settings, const char* dir) {
    return settings.zip != 0 && !ZipNamesIn(dir).empty();
}

bool HoldsZipRelease(Release& release) {
    SfvList& sfv = release.sfv;
    if (sfv.zipsFound < 0) sfv.zipsFound = !sfv.FindSfv(release.dir) && ZipsMakeRelease(release.settings, release.dir);
    return sfv.zipsFound;
}

void LoadListed(Release& release) {
    if (release.sfv.entries) return;
    if (!HoldsZipRelease(release)) return release.sfv.LoadSfvFile(release.dir);
    release.sfv.entries = new (std::nothrow) OrderedList(sizeof(SfvEntry), CompareSfvKeys);
    if (!release.sfv.entries) return;
    release.sfv.entries->IndexBy(IndexKeyOfSfv);
    std::vector<std::string> zips = ZipNamesIn(release.dir);
    for (std::string& bad : ZipNamesIn(release.dir, kBadSuffix)) {
        bad.resize(bad.size() - std::strlen(kBadSuffix));
        if (std::find(zips.begin(), zips.end(), bad) == zips.end()) zips.push_back(bad);
    }
    for (const std::string& zip : zips) {
        SfvEntry entry = {};
        entry.key = FileKey(zip.c_str());
        CopyText(entry.name, zip.c_str());
        release.sfv.entries->Append(&entry);
    }
    release.sfv.zipRelease = true;
    release.sfv.zipCount = ReleaseVolumeCount(release.dir);
}

bool TestListedFile(Release& release, const SfvEntry& entry, CrcAhead* ahead) {
    return release.sfv.zipRelease ? ZipIsGood(release, entry.name) : ListedFileIsGood(entry, ahead);
}

bool ReleaseHasSfv(Release& release) {
    // Entries already read came from one.
    if (release.sfv.entries && release.sfv.entries->Count() > 0) return true;
    return release.sfv.FindSfv(release.dir) || HoldsZipRelease(release);
}

ReleaseCounts CountRelease(Release& release) {
    ReleaseCounts counts = {0, 0};
    if (!ReleaseHasSfv(release)) return counts;
    LoadListed(release);
    ForEachListed(release, [&](const SfvEntry& entry, const UploadRecord* record) {
        if (IsGoodFile(entry, record)) ++counts.good;
    });
    counts.files = release.sfv.ListedCount();
    counts.good = std::min(counts.good, counts.files);  // a zip release's volumes beyond its count
    return counts;
}

bool IsComplete(const ReleaseCounts& counts) { return counts.files > 0 && counts.good == counts.files; }

const SfvEntry* FindListed(Release& release, const char* name) {
    if (!ReleaseHasSfv(release)) return nullptr;
    LoadListed(release);
    return release.sfv.Find(name);
}

int32_t Percent(int64_t good, int64_t files) {
    if (files == 0) return 0;
    // 64-bit so that absurd counts cannot overflow; the result is then clamped.
    int64_t percent = good * 100 / files;
    if (percent > INT32_MAX) return INT32_MAX;
    if (percent < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(percent);
}

