// Deciding which files of the .sfv are good, the CRC pass with its ".bad"
// treatment, and the "-missing" markers.
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "feed/feed.h"
#include "main/run_state.h"
#include "sfv/sfv.h"
#include "status/status.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

// Room for the release directory, a name and a suffix without cutting: a cut
// path would name another file.
constexpr size_t kJoinedPath = 2 * kMaxPath + 16;

bool HasRecord(OrderedList* records, uint32_t key) {
    if (!records) return false;
    UploadRecord probe;
    probe.key = static_cast<double>(key);
    return records->Find(&probe) != nullptr;
}

bool AclSaysGood(OrderedList* aclEntries, uint32_t key) {
    if (!aclEntries) return false;
    AclEntry probe;
    probe.key = static_cast<double>(key);
    const AclEntry* found = static_cast<const AclEntry*>(aclEntries->Find(&probe));
    return found && found->goodFlag == '1';
}

bool AnyListedGood(OrderedList* entries, OrderedList* records) {
    for (int32_t i = 0; records && entries && i < entries->Count(); ++i) {
        UploadRecord probe;
        probe.key = static_cast<double>(static_cast<const SfvEntry*>(entries->GetAt(i))->key);
        const UploadRecord* record = static_cast<const UploadRecord*>(records->Find(&probe));
        if (record && record->status == 'S') return true;
    }
    return false;
}

// A zip of a zip release passes its test. The first good one that brings a
// file_id.diz gives the release its count; a release whose first good zip
// leaves it without one is never complete, which the diagnostic log says once.
bool ZipIsGood(const char* name) {
    bool wroteDiz = false;
    if (TestReleaseZip(ReleaseDir, name, &wroteDiz).verdict != ZipVerdict::Good) return false;
    if (wroteDiz) {
        theLog.zipCount = ReleaseVolumeCount(ReleaseDir);
        if (theLog.zipCount > 0) FeedDizCounted();
    }
    if (theLog.zipCount == 0 && !AnyListedGood(theLog.sfvEntries, theLog.records))
        WriteDiagLog(theConfig, "%s: no volume count in a file_id.diz: the zip release is recorded but never complete",
                     ReleaseDir);
    return true;
}

}  // namespace

int32_t OrvexLog::ScanSfvStatus() {
    if (sfvCount >= 0) return sfvCount;
    if (!sfvEntries) LoadSfvFile();
    if (!aclEntries) LoadAclFile(ReleaseDir);

    sfvCount = sfvEntries ? sfvEntries->Count() : 0;
    sfvGood = 0;
    sfvUploaded = 0;
    if (!sfvEntries) return sfvCount;
    for (void* e = sfvEntries->First(); e; e = sfvEntries->Next()) {
        SfvEntry* entry = static_cast<SfvEntry*>(e);
        if (AclSaysGood(aclEntries, entry->key)) {
            entry->good = 1;
            ++sfvGood;
        }
        if (HasRecord(records, entry->key)) ++sfvUploaded;
    }
    return sfvCount;
}

int32_t OrvexLog::CheckSfvFiles() {
    ScanSfvStatus();
    if (sfvUploaded > 0 && sfvGood == 0) VerifyUploadedFiles();
    return sfvGood;
}

int32_t OrvexLog::VerifyUploadedFiles() {
    ScanSfvStatus();
    sfvGood = 0;
    if (!sfvEntries) return sfvGood;

    // Index by index: the feed's account of a verdict moves the list's cursor.
    for (int32_t i = 0; i < sfvEntries->Count(); ++i) {
        SfvEntry* entry = static_cast<SfvEntry*>(sfvEntries->GetAt(i));
        const UploadRecord* record = FindRecord(entry->name);
        if (!record) continue;  // never uploaded: never opened
        UploadRecord uploader = *record;  // BAD 2 takes the record away
        FeedStanding before = FeedTakeStanding();

        bool good = ListedFileIsGood(*entry);
        if (good) {
            entry->good = 1;
            ++sfvGood;
        } else {
            char path[kJoinedPath];
            std::snprintf(path, sizeof path, "%s%s", ReleaseDir, entry->name);
            ApplyBadAction(path);
            // BAD 2 took the file and its record: the uploader's figures shrink.
            if (!FindRecord(entry->name)) UpdateUpDir(uploader.user, uploader.group);
        }
        FeedVerdict(before, entry->name, uploader.user, uploader.group, uploader.size, uploader.speed, good);
    }
    return sfvGood;
}

void OrvexLog::MakeMissingFiles() {
    if (!records) {
        WriteDiagLog(theConfig, "OrvexLog::MakeMissingFiles() Log is not readed");
        return;
    }
    CheckSfvFiles();
    if (!sfvEntries) return;
    for (const void* e = sfvEntries->First(); e; e = sfvEntries->Next()) {
        const SfvEntry* entry = static_cast<const SfvEntry*>(e);
        if (!entry->good) MakeMissingMarker(entry->name);
    }
}

bool ListedFileIsGood(const SfvEntry& entry) {
    if (theLog.zipRelease) return ZipIsGood(entry.name);
    PlatFileInfo info;
    if (!PlatStatFile(entry.name, &info)) return false;
    return static_cast<double>(FileCrc32(entry.name)) == entry.crc;
}

void ApplyBadAction(const char* path) {
    char badPath[kJoinedPath + 8];
    if (std::snprintf(badPath, sizeof badPath, "%s%s", path, kBadSuffix) >= static_cast<int>(sizeof badPath)) return;
    switch (theConfig.GetInt("GENERAL", "BAD", 1)) {
    case 1:
        // A rename never replaces, so an older ".bad" goes first.
        if (FileExists(path)) {
            PlatDeleteFile(badPath);
            PlatRename(path, badPath);
        }
        break;
    case 2: {
        PlatDeleteFile(path);
        PlatDeleteFile(badPath);
        char name[kMaxPath];
        GetNamePart(path, name);
        theLog.RemoveRecord(name);
        break;
    }
    default:
        break;
    }
}

void MakeMissingMarker(const char* name) {
    char marker[kMaxPath + 16];
    std::snprintf(marker, sizeof marker, "%s%s", name, kMarkerSuffix);
    PlatCreateEmptyFile(marker);
}

void DeleteMissingMarker(const char* name) {
    char marker[kMaxPath + 16];
    std::snprintf(marker, sizeof marker, "%s%s", name, kMarkerSuffix);
    PlatDeleteFile(marker);
}

void DropFailureMarks(const char* name) {
    if (theConfig.GetInt("GENERAL", "MISSING", 1) != 0) DeleteMissingMarker(name);
    if (theConfig.GetInt("GENERAL", "BAD", 1) != 1) return;
    char badName[kMaxPath + 8];
    std::snprintf(badName, sizeof badName, "%s%s", name, kBadSuffix);
    PlatDeleteFile(badName);
}
