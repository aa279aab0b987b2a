// "sfvsuccess", "sfvfailed", "sfvuploaded" and "sfvcomplete": the server has
// verified a file, or announced the .sfv or the release's completion.
#include <cstdio>

#include "config/settings.h"
#include "events/event_words.h"
#include "events/events.h"
#include "util/util.h"

namespace {

constexpr int32_t kMarkersKept = 1;  // MISSING

void FormatPercent(int32_t percent, char (&out)[16]) { std::snprintf(out, sizeof out, "%d", percent); }

}  // namespace

void OnSfvSuccess(Release& release, const EventWords& event) {
    const char* sfvCount = event.Word(7);
    const char* good = event.Word(8);
    int32_t size = ParseInt32(event.Word(6)), speed = ParseInt32(event.Word(5));
    int32_t percent = PercentOfWords(sfvCount, good);
    LogName user(event.Word(3)), group(event.Word(4));
    FeedStanding before = TakeStanding(release);
    release.log.AddWithCheck(user.text, group.text, size, speed, event.fileName, 'S');
    FeedVerdict(release.feed, before, TakeStanding(release), event.fileName, user.text, group.text, size, speed,
                true);
    CommitLog(release);
    if (percent == 100) return;  // "sfvcomplete" follows and completes the release

    char percentText[16];
    FormatPercent(percent, percentText);
    ShowProgress(release, sfvCount, good, percentText);
    DropFailureMarks(release, event.fileName);
}

void OnSfvFailed(Release& release, const EventWords& event) {
    int32_t size = ParseInt32(event.Word(6)), speed = ParseInt32(event.Word(5));
    LogName user(event.Word(3)), group(event.Word(4));
    FeedStanding before = TakeStanding(release);
    release.log.AddWithCheck(user.text, group.text, size, speed, event.fileName, 'F');
    ApplyBadAction(release, event.fileName);
    FeedVerdict(release.feed, before, TakeStanding(release), event.fileName, user.text, group.text, size, speed,
                false);
    CommitLog(release);
}

void OnSfvUploaded(Release& release, const EventWords& event) {
    const char* sfvCount = event.Word(3);
    const char* good = event.Word(4);
    int32_t percent = PercentOfWords(sfvCount, good);
    FeedSfvArrived(release.feed, ParseInt32(sfvCount), ParseInt32(good), percent);
    if (percent == 100) return;
    if (!ReadReleaseLog(release)) return;

    char percentText[16];
    FormatPercent(percent, percentText);
    ShowProgress(release, sfvCount, good, percentText);
    if (release.settings.missing != kMarkersKept) return;
    MakeMissingFiles(release);
    CommitLog(release);
}

void OnSfvComplete(Release& release, const EventWords&) { CompleteRelease(release); }
