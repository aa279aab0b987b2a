// Start-up, run serialisation and dispatch of one event.
#ifndef CREVIK_STARTUP_H
#define CREVIK_STARTUP_H

#include "platform/platform.h"

constexpr unsigned kRunLockTimeoutMs = 300000;
constexpr int kMutexNameMax = 259;

// Runs one event from the command line already in ArgTable; always 0.
int CrevikMain();

// ":ftpupSome.Release_MUTEX" for "C:\ftp\up\Some.Release\": the path without
// its first character and its separators, then "_MUTEX".
void MakeMutexName(const char* path, char out[kMutexNameMax + 1]);
bool AcquireRunMutex(const char* path);
void ReleaseRunMutex();

// Runs the handler of a lower-case event word when the command line has the
// words it needs; does nothing otherwise.
void DispatchEvent(const char* word);

#endif
