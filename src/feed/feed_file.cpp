// The feed file: where it is, the fields every line starts with, and the
// one append per line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "config/diag_log.h"
#include "feed/feed_internal.h"
#include "util/util.h"

namespace {

constexpr unsigned kFeedLockWaitMs = 60000;  // a holder appends one line, or died and freed it

bool IsAbsolute(const char* path) {
    return path[0] == '/' || path[0] == '\\' || (path[0] && path[1] == ':');
}

void ReportOnce(Feed& feed, const char* path, const char* problem) {
    feed.failed = true;
    WriteDiagLog(*feed.settings, "Feed %s: %s", path, problem);
}

// "2026-12-07T03:10:00+01:00"
void FormatTime(char out[32]) {
    PlatLocalTime t = PlatNow();
    int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    std::snprintf(out, 32, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

}  // namespace

Feed::Feed() : settings(nullptr), failed(false) { dir[0] = release[0] = sub[0] = '\0'; }

Feed::~Feed() {}

void FeedOpen(Feed* feed, const Settings& settings, const char* dir, const char* release, const char* sub) {
    feed->settings = &settings;
    CopyText(feed->dir, dir);
    size_t len = std::strlen(feed->dir);
    if (len > 1 && (feed->dir[len - 1] == '/' || feed->dir[len - 1] == '\\')) feed->dir[len - 1] = '\0';
    CopyText(feed->release, release);
    CopyText(feed->sub, sub);
    feed->failed = false;
}

bool FeedIsOn(const Feed& feed) { return feed.settings && feed.settings->feed[0] != '\0'; }

JsonLine* FeedStartLine(Feed& feed, const char* event) {
    if (feed.failed || !FeedIsOn(feed)) return nullptr;
    // 64 KiB that cost nothing until a line is built.
    if (!feed.line) feed.line.reset(new (std::nothrow) JsonLine);
    if (!feed.line) return nullptr;
    char time[32];
    FormatTime(time);
    JsonLine* line = feed.line.get();
    JsonStart(line);
    JsonText(line, "time", time);
    JsonText(line, "event", event);
    JsonText(line, "release", feed.release);
    JsonText(line, "sub", feed.sub);
    JsonText(line, "dir", feed.dir);
    return line;
}

void FeedSendLine(Feed& feed, JsonLine* line) {
    const char* setting = feed.settings->feed;
    char path[kMaxPath];
    int pathLength =
        std::snprintf(path, sizeof path, "%s%s", IsAbsolute(setting) ? "" : feed.settings->configDir, setting);
    if (pathLength >= kMaxPath) return ReportOnce(feed, setting, "path too long");
    if (!JsonFinish(line)) return ReportOnce(feed, path, "line too long");
    // Other hosts append through clients of their own: a lock, not the
    // append alone, keeps their lines whole.
    bool sent = feed.settings->sharedLock ? PlatAppendLocked(path, line->text, line->length, kFeedLockWaitMs)
                                          : PlatAppendOnce(path, line->text, line->length);
    if (!sent) ReportOnce(feed, path, std::strerror(errno));
}
