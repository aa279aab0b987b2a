// "sfvsuccess", "sfvfailed", "sfvuploaded" and "sfvcomplete".
#include <cstdio>

#include "config/ini_config.h"
#include "feed/feed.h"
#include "log/orvex_log.h"
#include "main/handler_support.h"
#include "main/handlers.h"
#include "main/run_state.h"
#include "race/race.h"
#include "release/release.h"
#include "sfv/sfv.h"
#include "status/status.h"
#include "util/util.h"

namespace {

int32_t MissingMode() { return theConfig.GetInt("GENERAL", "MISSING", 1); }

void UpdateProgress(const char* sfvCount, const char* good, const char* percent) {
    UpdateIncompleteLink(sfvCount, good, percent, false);
    UpdateProgressDir(sfvCount, good, percent, false);
}

}  // namespace

void OnSfvSuccess(const char* userWord, const char* groupWord, const char* speed, const char* size,
                  const char* sfvCount, const char* good) {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    int32_t percent = ComputePercent(sfvCount, good);
    LogName user(userWord), group(groupWord);
    FeedStanding before = FeedTakeStanding();
    theLog.AddWithCheck(user.text, group.text, ParseInt32(size), ParseInt32(speed), EventFileName, 'S');
    FeedVerdict(before, EventFileName, user.text, group.text, ParseInt32(size), ParseInt32(speed), true);
    if (theLog.modified) theLog.WriteLogFile();
    if (percent == 100) return;  // "sfvcomplete" follows and completes the release

    char percentText[16];
    std::snprintf(percentText, sizeof percentText, "%d", percent);
    UpdateProgress(sfvCount, good, percentText);
    DropFailureMarks(EventFileName);
}

void OnSfvFailed(const char* userWord, const char* groupWord, const char* speed, const char* size) {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    LogName user(userWord), group(groupWord);
    FeedStanding before = FeedTakeStanding();
    theLog.AddWithCheck(user.text, group.text, ParseInt32(size), ParseInt32(speed), EventFileName, 'F');
    ApplyBadAction(EventFileName);
    FeedVerdict(before, EventFileName, user.text, group.text, ParseInt32(size), ParseInt32(speed), false);
    if (theLog.modified) theLog.WriteLogFile();
}

void OnSfvUploaded(const char* sfvCount, const char* good) {
    FeedSfvArrived(ParseInt32(sfvCount), ParseInt32(good));
    int32_t percent = ComputePercent(sfvCount, good);
    if (percent == 100) return;
    if (!theLog.ReadLogFile(UploadLogPath)) return;

    char percentText[16];
    std::snprintf(percentText, sizeof percentText, "%d", percent);
    UpdateProgress(sfvCount, good, percentText);
    if (MissingMode() != 1) return;
    theLog.MakeMissingFiles();
    if (theLog.modified) theLog.WriteLogFile();
}

void OnSfvComplete() {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    CompleteRelease();
}
