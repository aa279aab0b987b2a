// crevik watch: the changes in upload areas, reported by the system, become
// "upload" and "delete" runs of the program itself, as a server's hooks would
// start them. Linux only; elsewhere the command says so.
#ifndef CREVIK_WATCH_H
#define CREVIK_WATCH_H

#include "config/settings.h"

constexpr const char* kWatchUsage = "crevik watch [--rescan] <upload area>...";

// argv holds the words after "watch". Every run is started by the watcher's
// own word 0, so that it finds the same Crevik.ini.
int RunWatch(const Settings& settings, const char* word0, int argc, const char* const* argv);

#endif
