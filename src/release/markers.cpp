// The "-missing" markers and the BAD treatment of failed files.
#include <cstdio>

#include "release/release_internal.h"
#include "util/util.h"

namespace {

// Only this value keeps markers; "sfvsuccess" drops a file's own marker for any other but 0.
constexpr int32_t kMarkersKept = 1;
constexpr int32_t kBadSetAside = 1;
constexpr int32_t kBadDeleted = 2;

// Room for a path and a suffix without cutting: a cut path would name another file.
constexpr size_t kSuffixedPath = 2 * kMaxPath + 24;

}  // namespace

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

void SettleMarkers(Release& release) {
    // A zip release's names are unknown until they arrive: it has no markers.
    if (release.settings.missing != kMarkersKept || !release.sfv.entries || release.sfv.zipRelease) return;
    ForEachListed(release, [](const SfvEntry& entry, const UploadRecord* record) {
        if (IsGoodFile(entry, record))
            DeleteMissingMarker(entry.name);
        else
            MakeMissingMarker(entry.name);
    });
}

void MarkUnverified(Release& release) {
    if (!release.sfv.entries) return;
    for (const ListNode* n = release.sfv.entries->Head(); n != release.sfv.entries->End(); n = n->next) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(n->element);
        if (!entry.good) MakeMissingMarker(entry.name);
    }
}

void DropFailureMarks(Release& release, const char* name) {
    if (release.settings.missing != 0) DeleteMissingMarker(name);
    if (release.settings.bad != kBadSetAside) return;
    char badName[kMaxPath + 8];
    std::snprintf(badName, sizeof badName, "%s%s", name, kBadSuffix);
    PlatDeleteFile(badName);
}

void ApplyBadAction(Release& release, const char* path) {
    char badPath[kSuffixedPath];
    if (std::snprintf(badPath, sizeof badPath, "%s%s", path, kBadSuffix) >= static_cast<int>(sizeof badPath)) return;
    switch (release.settings.bad) {
    case kBadSetAside:
        // A rename never replaces, so an older ".bad" goes first.
        if (FileExists(path)) {
            PlatDeleteFile(badPath);
            PlatRename(path, badPath);
        }
        break;
    case kBadDeleted: {
        PlatDeleteFile(path);
        PlatDeleteFile(badPath);
        char name[kMaxPath];
        GetNamePart(path, name);
        release.log.RemoveRecord(name);
        break;
    }
    default:
        break;
    }
}
