// Which names are crevik's own, in a release or beside it.
#include <cstring>

#include "config/diag_log.h"
#include "release/release.h"
#include "status/status.h"
#include "zip/zip.h"

namespace {

bool EndsWith(const char* name, const char* suffix) {
    size_t len = std::strlen(name), suffixLen = std::strlen(suffix);
    return len > suffixLen && std::strcmp(name + len - suffixLen, suffix) == 0;
}

}  // namespace

bool IsUploadLogName(const Settings& settings, const char* name) {
    const char* log = settings.logFile;
    size_t len = std::strlen(log);
    if (std::strncmp(name, log, len) != 0) return false;
    return name[len] == '\0' || std::strcmp(name + len, kLogTempSuffix) == 0 || std::strcmp(name + len, kLockSuffix) == 0;
}

bool IsOwnFileName(const Settings& settings, const char* name) {
    // A ".bad" copy is crevik's whoever deletes it: a run that deleted
    // NAME.bad as NAME came good again must not take NAME's record with it.
    if (EndsWith(name, kMarkerSuffix) || EndsWith(name, kBadSuffix) || IsUploadLogName(settings, name)) return true;
    const char* report = settings.message;
    if ((*report && std::strcmp(name, report) == 0) || std::strcmp(name, kDiagLogName) == 0) return true;
    if (std::strcmp(name, kDizName) == 0) return true;  // a zip release's, given by its first zip
    return IsStatusEntryName(settings, name);
}

bool IsOwnDirName(const Settings& settings, const char* name) { return IsStatusEntryName(settings, name); }
