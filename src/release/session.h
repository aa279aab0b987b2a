// The run lock that serialises runs on one release directory.
#ifndef CREVIK_SESSION_H
#define CREVIK_SESSION_H

#include "platform/platform.h"

constexpr unsigned kRunLockTimeoutMs = 300000;
constexpr int kMutexNameMax = 259;

// ":ftpupSome.Release_MUTEX" for "C:\ftp\up\Some.Release\": the path without
// its first character and its separators, then "_MUTEX".
void MakeMutexName(const char* path, char out[kMutexNameMax + 1]);
// The lock of the release directory `dir`, waiting up to kRunLockTimeoutMs;
// null when it cannot be had.
PlatRunLock* AcquireRunLock(const char* dir);

#endif
