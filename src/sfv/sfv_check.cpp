// Deciding which files of the .sfv are good, the CRC pass with its ".bad"
// treatment, and the "-missing" markers.
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "main/run_state.h"
#include "sfv/sfv.h"
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

    for (void* e = sfvEntries->First(); e; e = sfvEntries->Next()) {
        SfvEntry* entry = static_cast<SfvEntry*>(e);
        if (!HasRecord(records, entry->key)) continue;  // never uploaded: never opened

        char path[kJoinedPath];
        std::snprintf(path, sizeof path, "%s%s", ReleaseDir, entry->name);
        uint32_t crc = FileCrc32(path);
        if (static_cast<double>(crc) == entry->crc) {
            entry->good = 1;
            ++sfvGood;
            continue;
        }

        ApplyBadAction(path);
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

void ApplyBadAction(const char* path) {
    char badPath[kJoinedPath + 8];
    if (std::snprintf(badPath, sizeof badPath, "%s.bad", path) >= static_cast<int>(sizeof badPath)) return;
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
    std::snprintf(marker, sizeof marker, "%s-missing", name);
    PlatCreateEmptyFile(marker);
}

void DeleteMissingMarker(const char* name) {
    char marker[kMaxPath + 16];
    std::snprintf(marker, sizeof marker, "%s-missing", name);
    PlatDeleteFile(marker);
}
