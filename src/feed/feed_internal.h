// Pieces shared by the feed's files; not for use outside src/feed/.
#ifndef CREVIK_FEED_INTERNAL_H
#define CREVIK_FEED_INTERNAL_H

#include "feed/feed.h"
#include "feed/json_line.h"

// A line with the fields every line has, for `event`; null when the feed is
// off or could not be written earlier in this run.
JsonLine* FeedStartLine(Feed& feed, const char* event);
// Closes the line and appends it to the feed in one write.
void FeedSendLine(Feed& feed, JsonLine* line);

#endif
