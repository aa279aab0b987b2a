// .sfv and ACL reading, verification, ".bad" files and "-missing" markers
// are OrvexLog methods (log/orvex_log.h); the CRC is in sfv/crc32.h.
#ifndef CREVIK_SFV_H
#define CREVIK_SFV_H

#include "log/orvex_log.h"
#include "sfv/crc32.h"

constexpr const char* kAclFileName = ".brindlesrv.acl";

// GENERAL/BAD's treatment of a file that failed its check: 1 sets it aside as
// "NAME.bad" (an older one gives way), 2 deletes it, its ".bad" copy and its
// record; any other value leaves it.
void ApplyBadAction(const char* path);
// The "NAME-missing" marker of a listed file; created empty, never through a link.
void MakeMissingMarker(const char* name);
void DeleteMissingMarker(const char* name);

#endif
