#include "config/diag_log.h"

#include <cstdarg>
#include <cstdio>

#include "util/util.h"

bool WriteDiagLog(const Settings& settings, const char* format, ...) {
    char path[kMaxPath + 16];
    std::snprintf(path, sizeof path, "%s%s", settings.configDir, kDiagLogName);

    char message[kDiagMessageMax + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);

    PlatLocalTime t = PlatNow();
    char line[kDiagMessageMax + 32];
    int len = std::snprintf(line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d %s\r\n", t.year, t.month, t.day,
                            t.hour, t.minute, t.second, message);
    if (len <= 0) return false;
    // One write per line: lines of concurrent runs never interleave.
    size_t length = static_cast<size_t>(len) < sizeof line ? static_cast<size_t>(len) : sizeof line - 1;
    return PlatAppendOnce(path, line, length);
}
