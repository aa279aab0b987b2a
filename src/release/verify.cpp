// Where a verdict lands, and the one pass that verifies the listed files.
#include <string>
#include <vector>

#include "release/release_internal.h"
#include "release/up_dir_batch.h"
#include "sfv/crc_ahead.h"
#include "status/status.h"
#include "config/diag_log.h"

namespace {

// The verdict on a file, told to the feed: recorded in the log, or with
// `keptIn` kept for this run only, on that .sfv entry.
void LandVerdict(Release& release, const char* name, const char* user, const char* group, int32_t sizeKb,
                 int32_t speedKbps, bool good, SfvEntry* keptIn) {
    FeedStanding before = TakeStanding(release);
    if (!keptIn)
        release.log.SetRecord(user, group, sizeKb, speedKbps, name, good ? 'S' : 'F');
    else if (good)
        keptIn->good = 1;
    // A verdict kept for the run is the .sfv's own pass, which only adds
    // markers: the server's "sfvsuccess" takes them away.
    if (!good)
        ApplyBadAction(release, name);
    else if (!keptIn)
        DropFailureMarks(release, name);
    PassStandingFollow(release, FileKey(name));
    FeedVerdict(release.feed, before, TakeStanding(release), name, user, group, sizeKb, speedKbps, good);
}

// Names of the listed files VerifyListed opens, for its threads to read
// ahead, less what SafeToReadAhead keeps out.
std::vector<std::string> ListedToVerify(Release& release, bool waitingOnly) {
    std::vector<std::string> names;
    const OrderedList& entries = *release.sfv.entries;
    for (const ListNode* n = entries.Head(); n != entries.End(); n = n->next)
        names.push_back(static_cast<const SfvEntry*>(n->element)->name);
    std::vector<std::string> verified;
    for (const std::string& name : SafeToReadAhead(names)) {
        const UploadRecord* record = release.log.FindRecord(name.c_str());
        if (record && (!waitingOnly || record->status == 'N')) verified.push_back(name);
    }
    return verified;
}

// Every listed file with a record (only waiting ones with `waitingOnly`)
// gets its CRC verdict; returns how many were good. A file never uploaded is
// never opened.
int32_t VerifyListed(Release& release, bool waitingOnly) {
    LoadListed(release);
    if (!release.sfv.entries) return 0;
    int32_t good = 0;
    UpDirBatch upDirs(release);
    StandingPass standing(release);
    CrcAhead ahead(ListedToVerify(release, waitingOnly), DefaultJobs());
    // Index by index: the log's and the list's searches move their cursors.
    for (int32_t i = 0; i < release.sfv.entries->Count(); ++i) {
        SfvEntry* entry = static_cast<SfvEntry*>(release.sfv.entries->GetAt(i));
        const UploadRecord* record = release.log.FindRecord(entry->name);
        if (!record || (waitingOnly && record->status != 'N')) continue;
        UploadRecord uploader = *record;  // the verdict replaces it, BAD 2 takes it away
        bool isGood = TestListedFile(release, *entry, &ahead);
        if (isGood) ++good;
        else upDirs.BeforeFiguresChange(uploader.user, uploader.group);  // BAD 2 takes the record
        LandVerdict(release, entry->name, uploader.user, uploader.group, uploader.size, uploader.speed, isGood,
                    waitingOnly ? nullptr : entry);
        // The uploader's figures follow the log: a recorded verdict, or a record BAD 2 took.
        if (waitingOnly || !release.log.FindRecord(entry->name)) upDirs.Due(uploader.user, uploader.group);
    }
    upDirs.Flush();
    return good;
}

}  // namespace

void RecordVerdict(Release& release, const char* name, const char* user, const char* group, int32_t sizeKb,
                   int32_t speedKbps, bool good) {
    LandVerdict(release, name, user, group, sizeKb, speedKbps, good, nullptr);
}

void VerifyWaitingFiles(Release& release) { VerifyListed(release, true); }

void MakeMissingFiles(Release& release) {
    if (!release.log.IsRead()) {
        WriteDiagLog(release.settings, "OrvexLog::MakeMissingFiles() Log is not readed");
        return;
    }
    SfvList& sfv = release.sfv;
    sfv.ScanSfvStatus(release.dir, release.log);
    // The server's own verdicts stand; without any, crevik checks the uploads.
    if (sfv.uploaded > 0 && sfv.good == 0) sfv.good = VerifyListed(release, false);
    MarkUnverified(release);
}
