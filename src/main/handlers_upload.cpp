// "fileuploaded" and "filedeleted".
#include "config/ini_config.h"
#include "feed/feed.h"
#include "log/orvex_log.h"
#include "main/handler_support.h"
#include "main/handlers.h"
#include "main/run_state.h"
#include "status/status.h"
#include "util/util.h"

void OnFileUploaded(const char* userWord, const char* groupWord, const char* speed, const char* size) {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    LogName user(userWord), group(groupWord);
    if (FileExists(EventFileName))
        theLog.AddWithCheck(user.text, group.text, ParseInt32(size), ParseInt32(speed), EventFileName, 'N');
    if (theLog.modified) theLog.WriteLogFile();
    UpdateUpDir(user.text, group.text);
}

void OnFileDeleted() {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    char user[kNameField] = "";
    char group[kNameField] = "";
    FeedStanding before = FeedTakeStanding();
    theLog.TakeRecord(EventFileName, user, group);
    FeedRecordGone(before, EventFileName);
    if (theLog.modified) theLog.WriteLogFile();
    UpdateUpDir(user, group);

    char ext[kMaxPath];
    GetExtPart(EventFileName, ext);
    if (!EqualNoCase(ext, ".sfv")) return;
    RemoveReleaseStatus();
    FeedSfvDeleted();
}
