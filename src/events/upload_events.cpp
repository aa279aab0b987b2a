// "fileuploaded" and "filedeleted".
#include "events/event_words.h"
#include "events/events.h"
#include "util/util.h"

void OnFileUploaded(Release& release, const EventWords& event) {
    LogName user(event.Word(3)), group(event.Word(4));
    if (FileExists(event.fileName))
        release.log.AddWithCheck(user.text, group.text, ParseInt32(event.Word(6)), ParseInt32(event.Word(5)),
                                 event.fileName, 'N');
    CommitLog(release);
    ShowUploader(release, user.text, group.text);
}

void OnFileDeleted(Release& release, const EventWords& event) { ForgetFile(release, event.fileName); }
