// The run lock that serialises runs on one release directory.
#ifndef CREVIK_SESSION_H
#define CREVIK_SESSION_H

#include "config/settings.h"
#include "platform/platform.h"

constexpr unsigned kRunLockTimeoutMs = 300000;
constexpr int kMutexNameMax = 259;

// ":ftpupSome.Release_MUTEX" for "C:\ftp\up\Some.Release\": the path without
// its first character and its separators, then "_MUTEX".
void MakeMutexName(const char* path, char out[kMutexNameMax + 1]);
// The lock of the release directory `dir`, waiting up to kRunLockTimeoutMs;
// null when it cannot be had.
PlatRunLock* AcquireRunLock(const char* dir);
// LOCK=shared (shared_lock.cpp): the lock file beside the upload log, its
// name with ".lock" appended, waiting up to timeoutMs; null when it cannot
// be had, which the diagnostic log tells.
PlatRunLock* AcquireSharedLock(const Settings& settings, const char* logPath, unsigned timeoutMs);

#endif
