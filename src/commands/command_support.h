// Pieces the operator commands share: their words, the per-file verdict lines
// and release summaries of check and rescan, the progress line and the
// one-line trouble messages.
#ifndef CREVIK_COMMAND_SUPPORT_H
#define CREVIK_COMMAND_SUPPORT_H

#include <cstdint>
#include <vector>

#include "config/settings.h"
#include "platform/platform.h"

// The words after a command word: `option`, when it comes first, is taken
// off and reported in *given; then at least one path must remain, else the
// usage line goes to standard error.
bool TakeCommandWords(int* argc, const char* const** argv, const char* option, bool* given, const char* usage);

// Takes "--jobs N" (or "--jobs=N") from among the options before the paths,
// keeping the other words in `kept`; *jobs is N, or DefaultJobs() when not
// given. False, with the usage line, for an N that is no count from 1 up;
// more than kJobsMax is kJobsMax.
constexpr int kJobsMax = 64;
bool TakeJobsOption(int* argc, const char* const** argv, std::vector<const char*>* kept, int* jobs,
                    const char* usage);

// ---- verdicts and summaries ----
enum class FileVerdict { Ok, Bad, Missing };

struct ReleaseTally {
    int32_t files, ok, bad, missing;
};

// ---- progress of a CRC pass ----
// When standard error is a terminal, a line there shows files done of total
// and MB/s; verdict lines printed meanwhile clear it first.
struct Progress {
    bool active;
    bool drawn;
    int32_t done, total;
    uint64_t bytes;
    double startMs;
};
void ProgressBegin(Progress* progress, int32_t total);
void ProgressStep(Progress* progress, uint64_t bytes);  // one more file, of this many bytes
void ProgressEnd(Progress* progress);

// Counts the verdict and prints "OK       name", the word padded to 9.
void ReportVerdict(Progress* progress, FileVerdict verdict, const char* name, ReleaseTally* tally);
// "Some.Release: 3 files, 1 ok, 1 bad, 1 missing"
void ReportSummary(const char* label, const ReleaseTally& tally);
// A zip release's volume count: the volumes not there count as missing,
// without a line, as their names are unknown.
void AddVolumeCount(int32_t count, ReleaseTally* tally);
// kExitOk when every file was OK, else kExitFound.
int TallyStatus(const ReleaseTally& tally);

// The name a summary gives a release directory (ending in the separator):
// its own name, or "Some.Release/CD1" for a release sub-directory.
void ReleaseLabel(const Settings& settings, const char* dir, char out[kMaxPath]);

// An argument naming a directory as a prefix: separators at its end trimmed,
// then exactly one added. False, with a message, when it does not fit.
bool DirPrefix(const char* arg, char out[kMaxPath]);

// "crevik: <path>: <what>" on standard error; returns kExitTrouble.
int Trouble(const char* path, const char* what);
// A directory argument that is none: "no such directory", or the system's
// words ("Not a directory" for a file); returns kExitTrouble.
int NoDirectory(const char* arg);
// A file `name` in the working directory (`dir`, ending in the separator)
// that is there but cannot be read: trouble, reported with the system's
// words and the full path, rather than a verdict. True when it was so.
bool CannotRead(const char* dir, const char* name);

#endif
