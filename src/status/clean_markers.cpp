#include <cstdio>

#include "config/ini_config.h"
#include "main/run_state.h"
#include "status/status_internal.h"

namespace {

// Only this value switches the clean-up on; 0 and 2 keep the markers.
constexpr int32_t kCleanUp = 1;

void DeleteInRelease(DirFinder& finder, const char* suffix) {
    char pattern[kMaxPath];
    int len = std::snprintf(pattern, sizeof pattern, "%s%s", ReleaseDir, suffix);
    if (len <= 0 || len >= kMaxPath) return;  // a cut pattern matches other names
    DeleteMatches(finder, pattern);
}

}  // namespace

void CleanMarkers() {
    DirFinder finder;
    if (theConfig.GetInt(kGeneral, "MISSING", 1) == kCleanUp) DeleteInRelease(finder, "*-missing");
    if (theConfig.GetInt(kGeneral, "BAD", 1) == kCleanUp) DeleteInRelease(finder, "*.bad");
    finder.Close();
}
