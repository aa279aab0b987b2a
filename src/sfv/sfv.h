// .sfv and ACL reading, verification, ".bad" files and "-missing" markers
// are OrvexLog methods (log/orvex_log.h); the CRC is in sfv/crc32.h.
#ifndef CREVIK_SFV_H
#define CREVIK_SFV_H

#include "log/orvex_log.h"
#include "sfv/crc32.h"

constexpr const char* kAclFileName = ".brindlesrv.acl";
constexpr const char* kMarkerSuffix = "-missing";  // "NAME-missing"
constexpr const char* kBadSuffix = ".bad";         // "NAME.bad"

// The .sfv of a directory ("" or a path ending in the separator): the first
// name ending in ".sfv" in the search's name order. False when there is none.
bool FindSfvName(const char* dir, char name[kMaxPath]);

// A zip release: GENERAL/ZIP on, no .sfv, and .zip files in `dir`.
bool HoldsZipRelease(const char* dir);

// Appends the entries of a .sfv file to `entries` (SfvEntry elements), in
// file order. False when the path is no readable file.
bool ReadSfvEntries(const char* path, OrderedList* entries);

// A file the .sfv lists is good: present in the release directory (the
// working directory) as a regular file, with the CRC the .sfv gives. In a zip
// release: a zip that passes its test (see zip/zip.h).
bool ListedFileIsGood(const SfvEntry& entry);

// GENERAL/BAD's treatment of a file that failed its check: 1 sets it aside as
// "NAME.bad" (an older one gives way), 2 deletes it, its ".bad" copy and its
// record; any other value leaves it.
void ApplyBadAction(const char* path);
// The "NAME-missing" marker of a listed file; created empty, never through a link.
void MakeMissingMarker(const char* name);
void DeleteMissingMarker(const char* name);
// A listed file turned good: its marker (unless MISSING is 0) and the ".bad"
// copy of an earlier failed upload (BAD 1) go.
void DropFailureMarks(const char* name);

#endif
