// The race feed: one JSON line per race event, appended to the file that
// GENERAL/FEED names (absolute, or relative to the program's directory), for
// bots and dashboards to follow. With FEED empty each call returns after one
// configuration lookup. The fields of each event are in README.md.
#ifndef CREVIK_FEED_H
#define CREVIK_FEED_H

#include <cstdint>

// ---- the file (feed_file.cpp) ----
bool FeedIsOn();

// ---- race events (feed_race.cpp) ----
void FeedSfvArrived(int32_t files, int32_t good);
void FeedSfvDeleted();

#endif
