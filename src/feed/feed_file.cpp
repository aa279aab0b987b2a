// The feed file: where it is, the fields every line starts with, and the
// one append per line.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "config/ini_config.h"
#include "feed/feed.h"
#include "feed/feed_internal.h"
#include "main/run_state.h"
#include "status/status.h"
#include "util/util.h"

namespace {

constexpr unsigned kFeedLockWaitMs = 60000;  // a holder appends one line, or died and freed it
JsonLine line;      // static: 64 KiB that cost nothing until a line is built
bool failedThisRun;  // a feed that failed is reported once and left alone for the run
bool silenced;

const char* FeedSetting() { return theConfig.GetString("GENERAL", "FEED", ""); }

bool IsAbsolute(const char* path) {
    return path[0] == '/' || path[0] == '\\' || (path[0] && path[1] == ':');
}

void ReportOnce(const char* path, const char* problem) {
    failedThisRun = true;
    WriteDiagLog(theConfig, "Feed %s: %s", path, problem);
}

// "2026-12-07T03:10:00+01:00"
void FormatTime(char out[32]) {
    PlatLocalTime t = PlatNow();
    int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    std::snprintf(out, 32, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

}  // namespace

bool FeedIsOn() { return !silenced && *FeedSetting() != '\0'; }

void FeedSilence() { silenced = true; }

JsonLine* FeedStartLine(const char* event) {
    if (failedThisRun || !FeedIsOn()) return nullptr;
    char time[32];
    FormatTime(time);
    char parent[kMaxPath], dirname[kMaxPath], sub[kMaxPath], dir[kMaxPath];
    SplitReleasePath(ReleaseDir, parent, dirname, sub);
    CopyText(dir, ReleaseDir);
    size_t len = std::strlen(dir);
    if (len > 1 && (dir[len - 1] == '/' || dir[len - 1] == '\\')) dir[len - 1] = '\0';

    JsonStart(&line);
    JsonText(&line, "time", time);
    JsonText(&line, "event", event);
    JsonText(&line, "release", dirname);
    JsonText(&line, "sub", sub);
    JsonText(&line, "dir", dir);
    return &line;
}

void FeedSendLine(JsonLine* feedLine) {
    const char* setting = FeedSetting();
    char path[kMaxPath];
    int pathLength = std::snprintf(path, sizeof path, "%s%s", IsAbsolute(setting) ? "" : theConfig.configDir, setting);
    if (pathLength >= kMaxPath) return ReportOnce(setting, "path too long");
    if (!JsonFinish(feedLine)) return ReportOnce(path, "line too long");
    // Other hosts append through clients of their own: a lock, not O_APPEND
    // alone, keeps their lines whole.
    bool sent = theConfig.LockIsShared() ? PlatAppendLocked(path, feedLine->text, feedLine->length, kFeedLockWaitMs)
                                         : PlatAppendOnce(path, feedLine->text, feedLine->length);
    if (!sent) ReportOnce(path, std::strerror(errno));
}
