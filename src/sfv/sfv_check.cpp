// Deciding which files of the .sfv are good, the CRC pass with its ".bad"
// treatment, and the "-missing" markers.
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "feed/feed.h"
#include "main/run_state.h"
#include "sfv/crc_ahead.h"
#include "sfv/sfv.h"
#include "status/status.h"
#include "status/up_dir_batch.h"
#include "util/util.h"

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

}  // namespace

std::vector<std::string> ListedToVerify(bool waitingOnly) {
    std::vector<std::string> names;
    if (!theLog.sfvEntries) return names;
    for (const void* e = theLog.sfvEntries->First(); e; e = theLog.sfvEntries->Next())
        names.push_back(static_cast<const SfvEntry*>(e)->name);
    std::vector<std::string> verified;
    for (const std::string& name : SafeToReadAhead(names)) {
        const UploadRecord* record = theLog.FindRecord(name.c_str());
        if (record && (!waitingOnly || record->status == 'N')) verified.push_back(name);
    }
    return verified;
}

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

    UpDirBatch upDirs;
    CrcAhead ahead(ListedToVerify(false), DefaultJobs());
    // Index by index: the feed's account of a verdict moves the list's cursor.
    for (int32_t i = 0; i < sfvEntries->Count(); ++i) {
        SfvEntry* entry = static_cast<SfvEntry*>(sfvEntries->GetAt(i));
        const UploadRecord* record = FindRecord(entry->name);
        if (!record) continue;  // never uploaded: never opened
        UploadRecord uploader = *record;  // BAD 2 takes the record away
        FeedStanding before = FeedTakeStanding();

        bool good = ListedFileIsGood(*entry, &ahead);
        if (good) {
            entry->good = 1;
            ++sfvGood;
        } else {
            char path[kJoinedPath];
            std::snprintf(path, sizeof path, "%s%s", ReleaseDir, entry->name);
            upDirs.BeforeFiguresChange(uploader.user, uploader.group);
            ApplyBadAction(path);
            // BAD 2 took the file and its record: the uploader's figures shrink.
            if (!FindRecord(entry->name)) upDirs.Due(uploader.user, uploader.group);
        }
        FeedVerdict(before, entry->name, uploader.user, uploader.group, uploader.size, uploader.speed, good);
    }
    upDirs.Flush();
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

bool ListedFileIsGood(const SfvEntry& entry, CrcAhead* ahead) {
    PlatFileInfo info;
    if (!PlatStatFile(entry.name, &info)) return false;
    uint32_t crc;
    if (!ahead || !ahead->Take(entry.name, &crc)) crc = FileCrc32(entry.name);
    return static_cast<double>(crc) == entry.crc;
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
