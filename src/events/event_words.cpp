#include "events/event_words.h"

#include "release/release.h"
#include "util/util.h"

LogName::LogName(const char* word) {
    CopyText(text, word);
    for (char* p = text; *p; ++p)
        if (*p == '|' || *p == '\r' || *p == '\n') *p = '_';
}

int32_t PercentOfWords(const char* sfvCount, const char* good) {
    return Percent(ParseInt32(good), ParseInt32(sfvCount));
}
