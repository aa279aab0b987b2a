// The race events: what happened, told from theLog and the .sfv.
#include "feed/feed.h"
#include "feed/feed_internal.h"

void FeedSfvArrived(int32_t files, int32_t good) {
    JsonLine* line = FeedStartLine("sfv");
    if (!line) return;
    JsonNumber(line, "files", files);
    JsonNumber(line, "good", good);
    JsonNumber(line, "percent", files > 0 ? static_cast<int64_t>(good) * 100 / files : 0);
    FeedSendLine(line);
}

void FeedSfvDeleted() {
    if (JsonLine* line = FeedStartLine("sfvdeleted")) FeedSendLine(line);
}
