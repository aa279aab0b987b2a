#include <cstdio>

#include "util/util.h"
#include "status/status_internal.h"

namespace {

// Only this value switches the clean-up on; 0 and 2 keep the markers.
constexpr int32_t kCleanUp = 1;

void DeleteInRelease(DirFinder& finder, const char* releaseDir, const char* suffix) {
    char pattern[kMaxPath];
    int len = std::snprintf(pattern, sizeof pattern, "%s*%s", releaseDir, suffix);
    if (len <= 0 || len >= kMaxPath) return;  // a cut pattern matches other names
    DeleteMatches(finder, pattern);
}

}  // namespace

void CleanMarkers(const Settings& settings, const char* releaseDir) {
    DirFinder finder;
    if (settings.missing == kCleanUp) DeleteInRelease(finder, releaseDir, kMarkerSuffix);
    if (settings.bad == kCleanUp) DeleteInRelease(finder, releaseDir, kBadSuffix);
    finder.Close();
}
