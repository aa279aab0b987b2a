#include "main/handler_support.h"

#include "util/util.h"

LogName::LogName(const char* word) {
    CopyText(text, word);
    for (char* p = text; *p; ++p)
        if (*p == '|' || *p == '\r' || *p == '\n') *p = '_';
}

int32_t ComputePercent(const char* sfvCount, const char* good) {
    int64_t count = ParseInt32(sfvCount);
    if (count == 0) return 0;
    // 64-bit so that absurd counts cannot overflow; the result is then clamped.
    int64_t percent = static_cast<int64_t>(ParseInt32(good)) * 100 / count;
    if (percent > INT32_MAX) return INT32_MAX;
    if (percent < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(percent);
}
