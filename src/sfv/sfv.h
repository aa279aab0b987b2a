// .sfv and ACL reading, verification, ".bad" files and "-missing" markers
// are OrvexLog methods (log/orvex_log.h); the CRC is in sfv/crc32.h.
#ifndef CREVIK_SFV_H
#define CREVIK_SFV_H

#include <string>
#include <vector>

#include "log/orvex_log.h"
#include "sfv/crc32.h"

constexpr const char* kAclFileName = ".brindlesrv.acl";
constexpr const char* kMarkerSuffix = "-missing";  // "NAME-missing"
constexpr const char* kBadSuffix = ".bad";         // "NAME.bad"

// The .sfv of a directory ("" or a path ending in the separator): the first
// name ending in ".sfv" in the search's name order. False when there is none.
bool FindSfvName(const char* dir, char name[kMaxPath]);

// Appends the entries of a .sfv file to `entries` (SfvEntry elements), in
// file order. False when the path is no readable file.
bool ReadSfvEntries(const char* path, OrderedList* entries);

class CrcAhead;

// A file the .sfv lists is good: present in the release directory (the
// working directory) as a regular file, with the CRC the .sfv gives. A pass
// over many files hands in the CRCs its threads read ahead.
bool ListedFileIsGood(const SfvEntry& entry, CrcAhead* ahead = nullptr);

// Names of theLog's listed files that a CRC pass opens, for its threads to
// read ahead: those with a record (only 'N' ones when `waitingOnly`), less
// what SafeToReadAhead keeps out.
std::vector<std::string> ListedToVerify(bool waitingOnly);

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
