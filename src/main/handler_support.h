// Small helpers shared by the event handlers.
#ifndef CREVIK_HANDLER_SUPPORT_H
#define CREVIK_HANDLER_SUPPORT_H

#include <cstdint>

#include "log/orvex_log.h"

// A user or group word as the log can keep it: cut to the field, and '|',
// CR and LF replaced by '_' so the record reads back as it was written.
struct LogName {
    char text[kNameField];
    explicit LogName(const char* word);
};

// good * 100 / sfvCount, truncated; 0 for a count of 0.
int32_t ComputePercent(const char* sfvCount, const char* good);

#endif
