// "upload" and "delete": the events of a server that only says a file was
// stored or deleted. crevik then verifies the file itself.
#include <cstring>

#include "events/event_words.h"
#include "events/events.h"
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

bool CurrentlyComplete(Release& release) { return IsComplete(CountRelease(release)); }

}  // namespace

void OnUpload(Release& release, const EventWords& event) {
    const char* name = event.fileName;
    LogName user(event.Word(3)), group(event.Word(4));
    PlatFileInfo file;
    if (!PlatStatFile(name, &file)) {  // gone before its run: nothing to record
        ShowUploader(release, user.text, group.text);
        return;
    }
    int32_t size = SizeInKb(file.bytes);
    int32_t speed = 0;
    if (event.count <= 5 || !ParseSpeedWord(event.Word(5), &speed))
        speed = MeasuredSpeed(file, PlatWallSeconds());

    // A re-upload takes the record over: the previous uploader's figures change too.
    char previousUser[kNameField] = "", previousGroup[kNameField] = "";
    if (const UploadRecord* previous = release.log.FindRecord(name)) {
        CopyText(previousUser, previous->user);
        CopyText(previousGroup, previous->group);
    }

    bool wasComplete = CurrentlyComplete(release);
    const SfvEntry* listed = IsSfvName(name) ? nullptr : FindListed(release, name);
    if (listed) {
        RecordVerdict(release, name, user.text, group.text, size, speed, TestListedFile(release, *listed));
    } else {
        release.log.AddWithCheck(user.text, group.text, size, speed, name, 'N');
        if (IsSfvName(name)) {
            FeedStanding counted = TakeStanding(release);
            if (counted.on) FeedSfvArrived(release.feed, counted.files, counted.good, counted.percent);
            VerifyWaitingFiles(release);
        }
    }
    CommitLog(release);

    ShowUploader(release, user.text, group.text);
    if (std::strcmp(previousUser, user.text) != 0) ShowUploader(release, previousUser, previousGroup);
    SettleRelease(release, wasComplete);  // nothing to show without a .sfv
}

void OnDelete(Release& release, const EventWords& event) {
    const char* name = event.fileName;
    bool wasComplete = CurrentlyComplete(release);
    // A zip that is gone is no longer among a zip release's files, yet it counted.
    bool listed = !IsSfvName(name) && (FindListed(release, name) || (IsZipName(name) && release.sfv.zipRelease));
    ForgetFile(release, name);
    if (listed) SettleRelease(release, wasComplete);
}
