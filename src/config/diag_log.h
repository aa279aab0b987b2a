// The diagnostic log "Crevik.log": one time-stamped CRLF line per problem,
// appended beside the loaded configuration (or in the working directory).
#ifndef CREVIK_DIAG_LOG_H
#define CREVIK_DIAG_LOG_H

#include "config/settings.h"

constexpr int kDiagMessageMax = 511;
constexpr const char* kDiagLogName = "Crevik.log";

// True when the line was written.
bool WriteDiagLog(const Settings& settings, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

#endif
