// The release's status entries: templates and their wildcard forms, the
// progress and completion directory, upload status directories, incomplete
// entries in the parent directory and the clean-up of markers. Each call
// takes the settings, the release directory and the figures it shows.
#ifndef CREVIK_STATUS_H
#define CREVIK_STATUS_H

#include <cstdint>
#include <vector>

#include "config/settings.h"
#include "log/upload_log.h"
#include "platform/platform.h"
#include "race/race.h"

// ---- templates ----
constexpr int kProgressBarMax = 127;

struct TemplateVar {
    char name[32];
    char value[256];
    int16_t nameLength;
};

// Placeholder values for one expansion.
struct TemplateVars {
    std::vector<TemplateVar> vars;
    // Appends a (name, value) pair; an earlier equal name keeps winning.
    void Add(const char* name, const char* value);
    // Every placeholder of a template, with values in the kind's order.
    void AddAll(const TemplateKind& kind, const char* const* values);
    // Every placeholder of a template as "*": its wildcard form.
    void AddAny(const TemplateKind& kind);
    // The first entry whose whole name follows the '$' that `text` starts with.
    const TemplateVar* Find(const char* text) const;
};

// Replaces each "$name" found in `vars`; everything else is copied.
void ExpandTemplate(const TemplateVars& vars, const char* templ, char out[kMaxPath]);
// ExpandTemplate that tells whether the whole expansion fitted. A cut name
// could stand for another entry, so callers refuse it.
bool ExpandWhole(const TemplateVars& vars, const char* templ, char out[kMaxPath]);

struct ProgressBar {
    char text[kProgressBarMax + 1];
    operator const char*() const { return text; }
};
// `fill` for the done part, `blank` for the rest; `length` (PROGRESS_LENGTH) long.
ProgressBar MakeProgressBar(int32_t length, int32_t percent, char blank, char fill);

// ---- progress and completion directory ----
void UpdateProgressDir(const Settings& settings, const char* sfvCount, const char* good, const char* percent);
void ShowCompletionDir(const Settings& settings, const char* sfvCount, const RaceStats& race);
// The completion directory's name for the race's figures.
void CompletionDirName(const Settings& settings, const char* sfvCount, const RaceStats& race, char out[kMaxPath]);

// ---- upload status directory of one user ----
// The user of records nobody reported (a rescan found the file): such
// records count everywhere but get no upload status directory.
constexpr const char* kUnknownUploader = "-";
void UpdateUpDir(const Settings& settings, UploadLog& log, const char* user, const char* group);
// Removes the upload status directories of users without records in the log.
void RemoveStaleUpDirs(const Settings& settings, UploadLog& log);

// ---- incomplete entries in the parent directory ----
bool IsReleaseSubDir(const Settings& settings, const char* name);
// parent (with separator), dirname and sub of a release directory path that
// ends in the separator; true when the path is a release sub-directory.
bool SplitReleasePath(const Settings& settings, const char* path, char parent[kMaxPath], char dirname[kMaxPath],
                      char sub[kMaxPath]);
void UpdateIncompleteLink(const Settings& settings, const char* releaseDir, const char* sfvCount, const char* good,
                          const char* percent, bool remove);
// The wildcard form (a bare name) of the incomplete entry of the release
// directory `releaseDir` (ending in the separator), and the directory it lies in.
bool IncompleteEntryForm(const Settings& settings, const char* releaseDir, char parent[kMaxPath],
                         char form[kMaxPath]);
// The wildcard form that every name the A template (or B, for `isSub`) can
// give matches. False when it would match any name at all.
bool AnyIncompleteEntryForm(const Settings& settings, bool isSub, char form[kMaxPath]);

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
void RemoveReleaseStatus(const Settings& settings, const char* releaseDir);
// The release is no longer complete: its completion directory and race report go.
void RemoveCompletion(const Settings& settings);

// A name some status entry can have, whatever its figures: a progress,
// completion or upload status directory, or an incomplete entry. Templates
// of placeholders alone name nothing here, as they would claim every name.
bool IsStatusEntryName(const Settings& settings, const char* name);

// Deletes the release's "-missing" markers (MISSING 1) and ".bad" files (BAD 1).
void CleanMarkers(const Settings& settings, const char* releaseDir);

#endif
