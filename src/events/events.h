// The event handlers: what the FTP server reports, each on the release the
// event's file lies in (entered, its log read) and the event's words.
#ifndef CREVIK_EVENTS_H
#define CREVIK_EVENTS_H

#include "release/release.h"

// The command line of an event: word 0 the program, 1 the event, 2 the file's
// path, then the event's own words.
struct EventWords {
    const char* const* words;
    int count;
    const char* fileName;  // name and extension of word 2, in the release directory
    const char* Word(int n) const { return n < count ? words[n] : ""; }
};

void OnFileUploaded(Release& release, const EventWords& event);  // user group speed size
void OnFileDeleted(Release& release, const EventWords& event);
void OnSfvSuccess(Release& release, const EventWords& event);    // user group speed size sfvcount good
void OnSfvFailed(Release& release, const EventWords& event);     // user group speed size
// sfvcount good; reads the log itself, after the feed has the counts.
void OnSfvUploaded(Release& release, const EventWords& event);
void OnSfvComplete(Release& release, const EventWords& event);
// The two events of a server that does not verify: crevik checks by itself.
void OnUpload(Release& release, const EventWords& event);  // user group [speed]
void OnDelete(Release& release, const EventWords& event);

#endif
