// Helpers shared by the status files; not part of the status interface.
#ifndef CREVIK_STATUS_INTERNAL_H
#define CREVIK_STATUS_INTERNAL_H

#include "status/status.h"

constexpr const char* kAnyValue = "*";  // a placeholder in a template's wildcard form
constexpr int kValueMax = 255;  // characters of a placeholder value

// Copies a value that goes into an entry name. Path separators and wildcards
// become '_': the name can then neither point outside its directory nor let
// the wildcard form match someone else's entry.
void MakeNameValue(const char* value, char out[kValueMax + 1]);

// The bar for a decimal percentage with PROGRESS_FILL and PROGRESS_BLNK.
ProgressBar ConfiguredProgressBar(const Settings& settings, const char* percent);

// Gives the status directory matched by `pattern` the name `target`: the first
// matching directory is renamed, further ones are removed when empty, and
// the directory is created when none matches. A null target removes every
// matching empty directory. Files are never matches.
void SettleStatusDir(const char* pattern, const char* target);

// Deletes every match of `pattern` with the finder: files deleted, empty
// directories removed.
void DeleteMatches(DirFinder& finder, const char* pattern);

// The incomplete entry a release directory keeps in its parent: where it
// lies, its template and the wildcard form that finds it whatever the figures.
struct ReleaseLink {
    char parent[kMaxPath];
    char release[kValueMax + 1];  // dirname and sub, as they go into names
    char part[kValueMax + 1];
    const char* templ;
    char pattern[kMaxPath];  // parent + wildcard form
};
// INCOMPLETE_PARENTB for a release sub-directory, INCOMPLETE_PARENTA otherwise.
const char* IncompleteTemplate(const Settings& settings, bool isSub);
// False when the names do not fit whole (a cut name could be another release's).
bool ReleaseLinkOf(const Settings& settings, const char* releaseDir, ReleaseLink* link);

#endif
