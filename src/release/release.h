// One release: its directory, upload log, .sfv and feed, passed down to every
// part of a run. The rules every path that changes a release shares live
// here once: "a file is good", "a verdict lands", "verify every listed file",
// "the release completes", the markers and the BAD treatment, the percentage.
// The session (session.cpp) opens a release for one run and closes it.
#ifndef CREVIK_RELEASE_H
#define CREVIK_RELEASE_H

#include <cstdint>

#include "config/settings.h"
#include "feed/feed.h"
#include "log/upload_log.h"
#include "race/race.h"
#include "sfv/sfv.h"

struct PassStanding;

struct Release {
    explicit Release(const Settings& settings);
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;

    const Settings& settings;
    char dir[kMaxPath];      // ending in the separator; "" for the working directory
    char logPath[kMaxPath];  // dir + LOGFILE
    UploadLog log;           // read by ReadReleaseLog
    SfvList sfv;             // read when a rule first needs it
    Feed feed;
    PassStanding* passStanding = nullptr;  // while a StandingPass lives
    // The session's own: the run lock (and with LOCK=shared the lock file's)
    // and where a command came from.
    PlatRunLock* lock;
    PlatRunLock* sharedLock;
    char workingDirBefore[kMaxPath];
};

struct ReleaseCounts {
    int32_t files;  // listed in the .sfv, or a zip release's volume count
    int32_t good;   // listed and good (never more than files)
};

// ---- the session (session.cpp; its lock in release/session.h) ----
// Names the release (`dir` ending in the separator, or ""): its log path and
// its feed. False when the log path does not fit.
bool NameRelease(Release& release, const char* dir);
// The full path of a directory, ending in the separator; false (errno set)
// when there is none or it does not fit.
bool FullReleaseDir(const char* dir, char out[kMaxPath]);
// Makes `dir` the release of this run: run lock, names, the working
// directory. False (errno set) when it cannot; nothing is held then.
bool EnterRelease(Release& release, const char* dir);
// Back to the working directory before, and the lock released.
void LeaveRelease(Release& release);
// The upload log, read once; false when it exists and cannot be read.
bool ReadReleaseLog(Release& release);
// Saves the log when this run changed it.
void CommitLog(Release& release);

// ---- what the release holds ----
// A .sfv is there, or the release is a zip release (looked up quietly: no diagnostic line).
bool ReleaseHasSfv(Release& release);
// A zip release: a directory without a .sfv whose uploads are .zip files
// (ZIP on). It lists its zips; the file_id.diz of its first good zip that
// holds one gives its count (zip/zip_release.h). Asked of the directory
// once per run.
bool HoldsZipRelease(Release& release);
// The same for a directory no run has entered, once its .sfv search found none.
bool ZipsMakeRelease(const Settings& settings, const char* dir);
ReleaseCounts CountRelease(Release& release);
bool IsComplete(const ReleaseCounts& counts);  // files > 0 and every one good
const SfvEntry* FindListed(Release& release, const char* name);  // the .sfv's entry for a file name, or null
// good * 100 / files, truncated, within 32 bits; 0 for no files.
int32_t Percent(int64_t good, int64_t files);
// The race as the feed tells it; `on` false (and nothing measured) with the feed off.
FeedStanding TakeStanding(Release& release);

// ---- rules ----
// A listed file is good when its record says so ('S'), or when this run
// found it good (the server's ACL or this run's CRC pass).
bool IsGoodFile(const SfvEntry& entry, const UploadRecord* record);
// The check of a listed file on disk: its CRC against the .sfv's, or a zip
// release's zip tested whole (which may give the release its file_id.diz).
// `ahead` as ListedFileIsGood takes it.
bool TestListedFile(Release& release, const SfvEntry& entry, CrcAhead* ahead = nullptr);
// The file's record becomes 'S' (its marker and ".bad" copy go) or 'F' (with
// the BAD treatment), replacing whatever verdict it had.
void RecordVerdict(Release& release, const char* name, const char* user, const char* group, int32_t sizeKb,
                   int32_t speedKbps, bool good);
// Every listed file whose record still waits ('N') gets its verdict (a .sfv
// was uploaded and crevik verifies by itself).
void VerifyWaitingFiles(Release& release);
// The server announced the .sfv: the ACL's verdicts, or where it has none a
// CRC pass over every uploaded listed file (verdicts kept for this run),
// then the markers.
void MakeMissingFiles(Release& release);
// MISSING 1: a marker exactly for each listed file that is not good.
void SettleMarkers(Release& release);
// A marker for each listed file that neither the server's verdicts nor this
// run's CRC pass found good; none is taken away.
void MarkUnverified(Release& release);
// A listed file turned good: its marker (unless MISSING is 0) and the ".bad"
// copy of an earlier failed upload (BAD 1) go.
void DropFailureMarks(Release& release, const char* name);
// BAD's treatment of a file that failed its check: 1 sets it aside as
// "NAME.bad" (an older one gives way), 2 deletes it, its ".bad" copy and its
// record; any other value leaves it.
void ApplyBadAction(Release& release, const char* path);
// The "NAME-missing" marker of a listed file; created empty, never through a link.
void MakeMissingMarker(const char* name);
void DeleteMissingMarker(const char* name);

// ---- the status entries follow ----
// Progress directory and incomplete entry for these figures.
void ShowProgress(Release& release, const char* files, const char* good, const char* percent);
// The uploader's status directory, from the log.
void ShowUploader(Release& release, const char* user, const char* group);
// The release completes exactly as "sfvcomplete" completes it, or shows its
// progress, incomplete entry and markers, giving up its completion directory
// and race report if it had them. `wasComplete` is the state before this
// run's change: a release that stays complete is only refreshed, not
// completed again.
void SettleRelease(Release& release, bool wasComplete);
// The completion of "sfvcomplete": completion directory, incomplete entry
// gone, markers cleaned, race report, and the feed told.
void CompleteRelease(Release& release);
// The race report (MESSAGE) of these figures, under the release's name.
void WriteRaceReport(Release& release, const RaceStats& race);
// A file went: its record goes (the feed is told), the uploader's figures
// follow, and a .sfv takes the release's status with it (ForgetSfv).
void ForgetFile(Release& release, const char* name);
// The .sfv went: progress or completion directory, incomplete entry, race
// report and markers go, and the feed is told.
void ForgetSfv(Release& release);

// ---- which names are crevik's own (own_names.cpp) ----
// Entries crevik makes itself in a release or beside it: markers, ".bad"
// copies, the upload log and its temporary file, the race report, the
// diagnostic log and the status entries.
bool IsOwnFileName(const Settings& settings, const char* name);
// The upload log's name, or that name with the temporary or lock suffix.
bool IsUploadLogName(const Settings& settings, const char* name);
bool IsOwnDirName(const Settings& settings, const char* name);

// ---- sizes and speeds of files on disk ----
int32_t SizeInKb(uint64_t bytes);  // rounded up: a non-empty file is never 0 KB
// KB/s of a file's upload: from its creation to its last modification, or
// to now where that is no later than the creation (a copy that kept an old
// time); 0 where there is no creation time. Runs that wait in line for the
// release's lock so measure no waiting.
int32_t MeasuredSpeed(const PlatFileInfo& file, double nowSeconds);

#endif
