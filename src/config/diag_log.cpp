#include "config/diag_log.h"

#include <cstdarg>
#include <cstdio>

#include "util/util.h"

bool WriteDiagLog(const IniConfig& config, const char* format, ...) {
    static char buffer[kDiagMessageMax + 1];  // the path first, then the message
    std::snprintf(buffer, sizeof buffer, "%s%s", config.configDir, kDiagLogName);
    FILE* file = std::fopen(buffer, "ab");
    if (!file) return false;

    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);

    PlatLocalTime t = PlatNow();
    bool written = std::fprintf(file, "%04d/%02d/%02d %02d:%02d:%02d %s\r\n", t.year, t.month, t.day,
                                t.hour, t.minute, t.second, buffer) > 0;
    if (std::fflush(file) != 0) written = false;
    std::fclose(file);
    return written;
}
