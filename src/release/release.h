// One release as its upload log and its .sfv describe it, and the rules every
// path that changes a release shares: the upload and delete words, rescan and
// the feed. "A file is good", "a verdict lands", "the release completes" and
// "a file went missing" each live here once.
#ifndef CREVIK_RELEASE_H
#define CREVIK_RELEASE_H

#include <cstdint>

#include "log/orvex_log.h"
#include "sfv/sfv.h"

struct ReleaseCounts {
    int32_t files;  // listed in the .sfv, or a zip release's volume count
    int32_t good;   // listed, with an 'S' record (never more than files)
};

// ---- what the release holds ----
// A .sfv is there, or the release is a zip release (looked up quietly: no diagnostic line).
bool ReleaseHasSfv();
ReleaseCounts CountRelease();
bool IsComplete(const ReleaseCounts& counts);  // files > 0 and every one good
const SfvEntry* FindListed(const char* name);  // the .sfv's entry for a file name, or null

// ---- rules ----
// "A file is good" is ListedFileIsGood (sfv/sfv.h).
// The file's record becomes 'S' (its marker and ".bad" copy go) or 'F' (with
// the BAD treatment), replacing whatever verdict it had.
void RecordVerdict(const char* name, const char* user, const char* group, int32_t sizeKb, int32_t speedKbps,
                   bool good);
// Every listed file whose record still waits ('N') gets its verdict.
void VerifyWaitingFiles();
// The status entries follow the log: the release completes exactly as
// "sfvcomplete" completes it, or shows its progress, incomplete entry and
// markers, giving up its completion directory and race report if it had them.
// `wasComplete` is the state before this run's change: a release that stays
// complete is only refreshed (RefreshCompletion), not completed again.
void SettleRelease(bool wasComplete);
// The completion of "sfvcomplete": completion directory, incomplete entry
// gone, markers cleaned, race report.
void CompleteRelease();
// A complete release whose completion directory does not show the log's
// figures (records changed after it completed) completes again, with a new
// race report; one that shows them is left as it stands.
void RefreshCompletion();

// ---- sizes and speeds of files on disk ----
int32_t SizeInKb(uint64_t bytes);  // rounded up: a non-empty file is never 0 KB
// KB/s from the file's creation to now; 0 where there is no creation time.
int32_t MeasuredSpeed(uint64_t bytes, bool hasBirth, double birthSeconds, double nowSeconds);

// ---- one release after another in one process (operator commands) ----
// The program's Crevik.ini, found from word 0 as an event run finds it.
void LoadProgramConfig(const char* word0);
// Makes `dir` the release of this run: full path, run lock, a fresh log,
// the working directory. False (errno set) when it cannot; nothing is held then.
bool EnterRelease(const char* dir);
void LeaveRelease();

#endif
