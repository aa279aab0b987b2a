// Small helpers shared by the event handlers.
#ifndef CREVIK_EVENT_WORDS_H
#define CREVIK_EVENT_WORDS_H

#include <cstdint>

#include "log/upload_log.h"

// A user or group word as the log can keep it: cut to the field, and '|',
// CR and LF replaced by '_' so the record reads back as it was written.
struct LogName {
    char text[kNameField];
    explicit LogName(const char* word);
};

// The percentage of two count words, as Percent has it.
int32_t PercentOfWords(const char* sfvCount, const char* good);

#endif
