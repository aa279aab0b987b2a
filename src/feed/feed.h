// The race feed: one JSON line per race event, appended to the file that
// FEED names (absolute, or relative to the program's directory), for bots
// and dashboards to follow. With FEED empty every call returns at once.
// README.md lists the events and their fields.
//
// A change to the release is told by comparing how the race stood before it
// with how it stands after (the caller measures both): crevik keeps no state
// of its own for the feed.
#ifndef CREVIK_FEED_H
#define CREVIK_FEED_H

#include <cstdint>
#include <memory>

#include "config/settings.h"
#include "log/upload_log.h"
#include "race/race.h"
#include "sfv/sfv.h"

struct JsonLine;

// How the race stands: listed files, good ones, and the leader.
struct FeedStanding {
    bool on;                       // the feed is on; nothing else is filled otherwise
    int32_t files;                 // listed in the .sfv
    int32_t good;                  // listed and good
    int32_t percent;               // good of files, as the progress directory shows it
    bool complete;                 // the release is complete
    char leader[kNameField];       // most KB of good files; "" before the first
    char leaderGroup[kNameField];
    int64_t leaderKb;
    int32_t leaderFiles;
};

// The feed of one release in one run.
struct Feed {
    Feed();
    ~Feed();
    const Settings* settings;
    char dir[kMaxPath];      // the release directory, without a separator at its end
    char release[kMaxPath];  // its name, and "CD1" for a part ("" otherwise)
    char sub[kMaxPath];
    bool failed;    // a feed that failed is reported once and left alone for the run
    std::unique_ptr<JsonLine> line;
};

// Sets the feed up for the release directory `dir` (ending in the separator).
void FeedOpen(Feed* feed, const Settings& settings, const char* dir, const char* release, const char* sub);
bool FeedIsOn(const Feed& feed);

// A verdict landed on a file: newrace (the first good file), good or bad,
// leader, halfway, incomplete (a complete release lost the file).
void FeedVerdict(Feed& feed, const FeedStanding& before, const FeedStanding& after, const char* file,
                 const char* user, const char* group, int32_t sizeKb, int32_t speedKbps, bool good);
// A file's record went: leader, incomplete.
void FeedRecordGone(Feed& feed, const FeedStanding& before, const FeedStanding& after, const char* file);
void FeedSfvArrived(Feed& feed, int32_t files, int32_t good, int32_t percent);
void FeedDizArrived(Feed& feed, int32_t files, int32_t good, int32_t percent);  // a zip release's count
void FeedCompleted(Feed& feed, const RaceStats& race, const SfvList& sfv);  // the race's figures
void FeedSfvDeleted(Feed& feed);

#endif
