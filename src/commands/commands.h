// Operator commands: words a person (or a server's SITE command) runs. Unlike
// the event words they print what they did and exit 0, 1 or 2. argv holds
// the words after the command word; the settings send no feed lines (an
// operator command repairs what events left, it is no race).
#ifndef CREVIK_COMMANDS_H
#define CREVIK_COMMANDS_H

#include "config/settings.h"

constexpr int kExitOk = 0;       // everything checked is good
constexpr int kExitFound = 1;    // something bad or missing was found
constexpr int kExitTrouble = 2;  // something could not be done

// Usage lines, for the help and each command's own complaint.
constexpr const char* kCheckUsage = "crevik check [--jobs N] <dir or .sfv file>...";
constexpr const char* kCleanupUsage = "crevik cleanup [--dry-run] <dir>...";
constexpr const char* kRescanUsage = "crevik rescan [-r] [--jobs N] <dir>...";

int RunCheck(const Settings& settings, int argc, const char* const* argv);
int RunCleanup(const Settings& settings, int argc, const char* const* argv);
int RunRescan(const Settings& settings, int argc, const char* const* argv);

#endif
