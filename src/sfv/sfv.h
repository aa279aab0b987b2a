// .sfv and ACL reading, verification, ".bad" files and "-missing" markers
// are OrvexLog methods (log/orvex_log.h); the CRC is in sfv/crc32.h.
#ifndef CREVIK_SFV_H
#define CREVIK_SFV_H

#include "log/orvex_log.h"
#include "sfv/crc32.h"

constexpr const char* kAclFileName = ".brindlesrv.acl";

#endif
