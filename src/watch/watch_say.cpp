#include <cstdarg>
#include <cstdio>

#include "config/diag_log.h"
#include "watch/watch_internal.h"

void Say(const Settings& settings, const char* format, ...) {
    char message[kDiagMessageMax + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::fprintf(stderr, "crevik watch: %s\n", message);
    WriteDiagLog(settings, "watch: %s", message);
}
