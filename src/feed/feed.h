// The race feed: one JSON line per race event, appended to the file that
// GENERAL/FEED names (absolute, or relative to the program's directory), for
// bots and dashboards to follow. With FEED empty every call returns after
// one configuration lookup. README.md lists the events and their fields.
//
// A change to the release is told by comparing how the race stood before it
// with how it stands after: crevik keeps no state of its own for the feed.
#ifndef CREVIK_FEED_H
#define CREVIK_FEED_H

#include <cstdint>

#include "log/orvex_log.h"

// ---- the file (feed_file.cpp) ----
bool FeedIsOn();
// No lines for the rest of the process: an operator command repairs what
// events left, it is no race.
void FeedSilence();

// ---- race events (feed_race.cpp) ----
struct FeedStanding {
    bool on;                      // the feed is on; nothing else is filled otherwise
    int32_t files;                // listed in the .sfv
    int32_t good;                 // listed and good
    char leader[kNameField];      // most KB of good files; "" before the first
};
FeedStanding FeedTakeStanding();

// A verdict landed on a file: newrace (the first good file), good or bad,
// leader, halfway, incomplete (a complete release lost the file).
void FeedVerdict(const FeedStanding& before, const char* file, const char* user, const char* group,
                 int32_t sizeKb, int32_t speedKbps, bool good);
// A file's record went: leader, incomplete.
void FeedRecordGone(const FeedStanding& before, const char* file);
void FeedSfvArrived(int32_t files, int32_t good);  // with the counts the event gave
void FeedSfvCounted();                             // counted from the log and the .sfv
void FeedDizCounted();                             // a zip release's file_id.diz gave its count
void FeedCompleted();                              // after CalcRaceInfo: the race's figures
void FeedSfvDeleted();

#endif
