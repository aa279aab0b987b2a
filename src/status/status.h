// The release's status entries: templates and their wildcard forms, the
// progress and completion directory, upload status directories, incomplete
// entries in the parent directory and the clean-up of markers.
#ifndef CREVIK_STATUS_H
#define CREVIK_STATUS_H

#include <cstdint>

#include "platform/platform.h"

// ---- templates ----
constexpr int kProgressBarMax = 127;

struct TemplateVar {
    char name[32];
    char value[256];
    int16_t nameLength;
};

// The one placeholder table of the process.
namespace TemplateVars {
void Clear();
// Appends `count` pairs of (name, value) texts; an earlier equal name keeps winning.
void Add(int count, ...);
// The first entry whose whole name follows the '$' that `text` starts with.
const TemplateVar* Find(const char* text);
}  // namespace TemplateVars

// Replaces each "$name" found in the table; everything else is copied.
void ExpandTemplate(const char* templ, char out[kMaxPath]);
// `fill` for the done part, `blank` for the rest; GENERAL/PROGRESS_LENGTH long.
// The text lives in one buffer, overwritten by the next call.
const char* MakeProgressBar(int32_t percent, char blank, char fill);

// ---- progress and completion directory ----
void UpdateProgressDir(const char* sfvCount, const char* good, const char* percent, bool complete);

// ---- upload status directory of one user ----
void UpdateUpDir(const char* user, const char* group);

// ---- incomplete entries in the parent directory ----
bool IsReleaseSubDir(const char* name);
// parent (with separator), dirname and sub of a release directory path that
// ends in the separator; true when the path is a release sub-directory.
bool SplitReleasePath(const char* path, char parent[kMaxPath], char dirname[kMaxPath], char sub[kMaxPath]);
void UpdateIncompleteLink(const char* sfvCount, const char* good, const char* percent, bool remove);

// ---- search and delete ----
class DirFinder {
public:
    DirFinder();
    ~DirFinder();
    DirFinder(const DirFinder&) = delete;
    DirFinder& operator=(const DirFinder&) = delete;

    // Name of the first match, or null.
    const char* Open(const char* pattern);
    // Deletes the current and every further match: files deleted, empty
    // directories removed, failures ignored.
    void DeleteAll();
    void Close();

private:
    PlatFind* search_;
    PlatFindEntry current_;
    char directory_[kMaxPath];
    char path_[kMaxPath];
    bool hasMatch_;
};

// The release's .sfv is gone: removes its progress or completion directory,
// its own incomplete entry (neighbours keep theirs), the race report and the markers.
void RemoveReleaseStatus();
// The release is no longer complete: its completion directory and race report go.
void RemoveCompletion();

// Deletes the release's "-missing" markers (MISSING 1) and ".bad" files (BAD 1).
void CleanMarkers();

#endif
