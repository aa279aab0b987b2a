// crevik rescan [-r] [--jobs N] <dir>...: rebuilds a release's log and status entries
// from what is on disk, as if every event had arrived, under the release's
// run lock. Every rule comes from the release module: what is good, where a
// verdict lands, how the status entries follow the log.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "release/release.h"
#include "sfv/crc_ahead.h"
#include "sfv/sfv.h"
#include "status/status.h"
#include "util/util.h"

namespace {

// A listed file that is on disk gets its verdict again; an existing record
// keeps its uploader and figures, a new one is the unknown uploader's, with
// the speed its upload had: birth to last modification, as an upload run
// measures it (0 where the times tell nothing, as after a copy that kept
// them). A 0 would make the release's average speed 0.
FileVerdict VerifyPresent(Release& release, const SfvEntry& entry, const PlatFileInfo& info, CrcAhead* ahead) {
    bool good = TestListedFile(release, entry, ahead);
    UploadRecord record = {};
    if (const UploadRecord* existing = release.log.FindRecord(entry.name)) {
        record = *existing;
    } else {
        CopyText(record.user, kUnknownUploader);
        CopyText(record.group, kUnknownUploader);
        record.size = SizeInKb(info.bytes);
        record.speed = MeasuredSpeed(info, info.modifiedSeconds);
    }
    RecordVerdict(release, entry.name, record.user, record.group, record.size, record.speed, good);
    return good ? FileVerdict::Ok : FileVerdict::Bad;
}

// An absent file set aside as NAME.bad is its failed upload, whose 'F' record stays.
bool IsSetAside(Release& release, const SfvEntry& entry) {
    const UploadRecord* record = release.log.FindRecord(entry.name);
    char badName[kMaxPath + 8];
    std::snprintf(badName, sizeof badName, "%s%s", entry.name, kBadSuffix);
    return record && record->status == 'F' && PlatEntryKindOf(badName) == PlatEntryKind::File;
}

// Keys of the regular files in the release directory: their records stay.
void AddPresentKeys(std::vector<uint32_t>* keys) {
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst("*", &entry);
    if (!find) return;
    do
        if (entry.kind == PlatEntryKind::File) keys->push_back(FileKey(entry.name));
    while (PlatFindNext(find, &entry));
    PlatFindClose(find);
}

void SettleUpDirs(Release& release) {
    std::unordered_set<std::string> done;
    for (int32_t i = 0; i < release.log.records->Count(); ++i) {
        const UploadRecord* r = static_cast<const UploadRecord*>(release.log.records->GetAt(i));
        if (!done.insert(std::string(r->user) + '\n' + r->group).second) continue;
        UploadRecord copy = *r;  // the update searches the records and moves their cursor
        ShowUploader(release, copy.user, copy.group);
    }
    RemoveStaleUpDirs(release.settings, release.log);
}

// The .sfv and every listed file that is there can be read. Where one cannot,
// the release is left as it is: a rescan that cannot see a file must not
// judge it, nor the release.
bool AllReadable(Release& release, OrderedList* listed) {
    const char* dir = release.dir;
    bool readable = !(release.sfv.FindSfv(dir) && CannotRead(dir, release.sfv.sfvName));
    for (int32_t i = 0; listed && i < listed->Count(); ++i)
        if (CannotRead(dir, static_cast<const SfvEntry*>(listed->GetAt(i))->name)) readable = false;
    return readable;
}

// The release entered: verdicts, records, then the status entries.
int RescanEntered(Release& release, int jobs) {
    if (!ReadReleaseLog(release)) return Trouble(release.logPath, "cannot read the upload log");
    errno = 0;
    if (!ReleaseHasSfv(release)) return Trouble(release.dir, errno && errno != ENOENT ? std::strerror(errno) : "no .sfv");
    bool wasComplete = IsComplete(CountRelease(release));
    OrderedList* listed = release.sfv.entries;
    if (!AllReadable(release, listed)) return kExitTrouble;
    if (!listed || listed->Count() == 0) return Trouble(release.dir, "the .sfv lists no file");

    ReleaseTally tally = {};
    std::vector<uint32_t> keys;
    AddPresentKeys(&keys);
    std::vector<std::string> names;
    for (const ListNode* n = listed->Head(); n != listed->End(); n = n->next)
        names.push_back(static_cast<const SfvEntry*>(n->element)->name);
    // A zip release's zips are tested whole, not read for a CRC.
    std::vector<std::string> readAhead = release.sfv.zipRelease ? std::vector<std::string>() : SafeToReadAhead(names);
    // Reading a file moves its access time, which stands in for its birth
    // where the file system keeps none: the births of the files read ahead
    // are taken first.
    std::unordered_map<std::string, PlatFileInfo> bornBefore;
    for (const std::string& name : jobs > 1 ? readAhead : std::vector<std::string>()) {
        PlatFileInfo info;
        if (PlatStatFile(name.c_str(), &info)) bornBefore[name] = info;
    }
    CrcAhead ahead(readAhead, jobs);
    Progress progress;
    ProgressBegin(&progress, listed->Count());
    // Index by index: a verdict may search the .sfv list and move its cursor.
    for (int32_t i = 0; i < listed->Count(); ++i) {
        const SfvEntry entry = *static_cast<const SfvEntry*>(listed->GetAt(i));
        PlatFileInfo info;
        bool present = PlatStatFile(entry.name, &info);
        auto born = bornBefore.find(entry.name);
        if (present && born != bornBefore.end()) {
            info.hasBirth = born->second.hasBirth;
            info.birthSeconds = born->second.birthSeconds;
        }
        FileVerdict verdict = FileVerdict::Missing;
        // A file still being written is not there yet: the end of its upload
        // is its event (and the watcher's), which judges it whole.
        if (present && PlatOpenForWriting(entry.name))
            present = false;
        else if (present)
            verdict = VerifyPresent(release, entry, info, &ahead);
        else if (IsSetAside(release, entry))
            verdict = FileVerdict::Bad;
        if (verdict == FileVerdict::Bad) keys.push_back(entry.key);  // set aside now or before
        ReportVerdict(&progress, verdict, entry.name, &tally);
        ProgressStep(&progress, present ? info.bytes : 0);
    }
    ProgressEnd(&progress);
    if (release.sfv.zipRelease) AddVolumeCount(release.sfv.zipCount, &tally);
    std::sort(keys.begin(), keys.end());
    release.log.KeepRecordsOf(keys.data(), keys.size());
    if (release.log.modified && !release.log.WriteLogFile())
        return Trouble(release.logPath, "cannot write the upload log");

    SettleUpDirs(release);
    SettleRelease(release, wasComplete);
    char label[kMaxPath];
    ReleaseLabel(release.settings, release.dir, label);
    ReportSummary(label, tally);
    return TallyStatus(tally);
}

int RescanRelease(const Settings& settings, const char* dir, int jobs) {
    Release release(settings);
    char full[kMaxPath];
    if (!FullReleaseDir(dir, full) || !EnterRelease(release, full)) return Trouble(dir, std::strerror(errno));
    int status = RescanEntered(release, jobs);
    LeaveRelease(release);
    return status;
}

// Every real directory below `dir` (a prefix ending in the separator) that
// holds a .sfv or is a zip release, in name order; links are not followed, so
// no loop and no release outside the tree. False when a directory could not
// be read.
bool FindReleases(const Settings& settings, const char* dir, std::vector<std::string>* releases) {
    char sfv[kMaxPath];
    if (FindSfvName(dir, sfv) || ZipsMakeRelease(settings, dir)) releases->push_back(dir);
    char pattern[kMaxPath + 2];
    std::snprintf(pattern, sizeof pattern, "%s*", dir);
    PlatFindEntry entry;
    errno = 0;
    PlatFind* find = PlatFindFirst(pattern, &entry);
    if (!find) return errno == 0 || errno == ENOENT || Trouble(dir, std::strerror(errno)) == kExitOk;
    std::vector<std::string> subs;
    do {
        char path[kMaxPath];
        int len = std::snprintf(path, sizeof path, "%s%s%c", dir, entry.name, kPathSep);
        if (len > 0 && len < kMaxPath && entry.kind == PlatEntryKind::Dir) subs.push_back(path);
    } while (PlatFindNext(find, &entry));
    PlatFindClose(find);
    bool readable = true;
    for (const std::string& sub : subs) readable = FindReleases(settings, sub.c_str(), releases) && readable;
    return readable;
}

int RescanTree(const Settings& settings, const char* arg, int jobs) {
    char full[kMaxPath], prefix[kMaxPath];
    if (!PlatFullDirPath(arg, full)) return NoDirectory(arg);
    if (!DirPrefix(full, prefix)) return kExitTrouble;
    std::vector<std::string> releases;
    int status = FindReleases(settings, prefix, &releases) ? kExitOk : kExitTrouble;
    // Nothing to do is no trouble: an area before its first release.
    if (releases.empty() && status == kExitOk)
        std::printf("%s: no .sfv below, nothing to rescan\n", ShownName(arg).c_str());
    for (const std::string& release : releases)
        status = std::max(status, RescanRelease(settings, release.c_str(), jobs));
    return status;
}

}  // namespace

int RunRescan(const Settings& settings, int argc, const char* const* argv) {
    bool recursive;
    const char* usage = kRescanUsage;
    int jobs;
    std::vector<const char*> words;
    if (!TakeJobsOption(&argc, &argv, &words, &jobs, usage) || !TakeCommandWords(&argc, &argv, "-r", &recursive, usage))
        return kExitTrouble;
    int status = kExitOk;
    for (int i = 0; i < argc; ++i)
        status = std::max(status, recursive ? RescanTree(settings, argv[i], jobs) : RescanRelease(settings, argv[i], jobs));
    return status;
}
