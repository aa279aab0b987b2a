// "upload" and "delete": the events of a server that only says a file was
// stored or deleted. crevik then verifies the file itself.
#include <cstring>

#include "feed/feed.h"
#include "log/orvex_log.h"
#include "main/handler_support.h"
#include "main/handlers.h"
#include "main/run_state.h"
#include "release/release.h"
#include "status/status.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

constexpr int kSpeedDigitsMax = 9;  // below 2^31

// A speed word is a plain count of KB/s; anything else is measured instead.
bool ParseSpeedWord(const char* word, int32_t* speed) {
    size_t len = std::strlen(word);
    if (len == 0 || len > static_cast<size_t>(kSpeedDigitsMax) || std::strspn(word, "0123456789") != len)
        return false;
    *speed = ParseInt32(word);
    return true;
}

bool IsSfvName(const char* name) {
    char ext[kMaxPath];
    GetExtPart(name, ext);
    return EqualNoCase(ext, ".sfv");
}

bool CurrentlyComplete() { return IsComplete(CountRelease()); }

}  // namespace

void OnUpload(const char* userWord, const char* groupWord, const char* speedWord) {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    LogName user(userWord), group(groupWord);
    PlatFileInfo file;
    if (!PlatStatFile(EventFileName, &file)) {  // gone before its run: nothing to record
        UpdateUpDir(user.text, group.text);
        return;
    }
    int32_t size = SizeInKb(file.bytes);
    int32_t speed = 0;
    if (!speedWord || !ParseSpeedWord(speedWord, &speed))
        speed = MeasuredSpeed(file.bytes, file.hasBirth, file.birthSeconds, PlatWallSeconds());

    // A re-upload takes the record over: the previous uploader's figures change too.
    char previousUser[kNameField] = "", previousGroup[kNameField] = "";
    if (const UploadRecord* previous = theLog.FindRecord(EventFileName)) {
        CopyText(previousUser, previous->user);
        CopyText(previousGroup, previous->group);
    }

    bool wasComplete = CurrentlyComplete();
    const SfvEntry* listed = IsSfvName(EventFileName) ? nullptr : FindListed(EventFileName);
    if (listed) {
        RecordVerdict(EventFileName, user.text, group.text, size, speed, ListedFileIsGood(*listed));
    } else {
        theLog.AddWithCheck(user.text, group.text, size, speed, EventFileName, 'N');
        if (IsSfvName(EventFileName)) {
            FeedSfvCounted();
            VerifyWaitingFiles();
        }
    }
    if (theLog.modified) theLog.WriteLogFile();

    UpdateUpDir(user.text, group.text);
    if (std::strcmp(previousUser, user.text) != 0) UpdateUpDir(previousUser, previousGroup);
    SettleRelease(wasComplete);  // nothing to show without a .sfv
}

void OnDelete() {
    if (!theLog.ReadLogFile(UploadLogPath)) return;
    bool wasComplete = CurrentlyComplete();
    // A zip that is gone is no longer among a zip release's files, yet it counted.
    bool listed = !IsSfvName(EventFileName) &&
                  (FindListed(EventFileName) || (IsZipName(EventFileName) && theLog.zipRelease));
    OnFileDeleted();
    if (listed) SettleRelease(wasComplete);
}
