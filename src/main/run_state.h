// The command line and the run state derived from it. Filled once by the
// start-up, only read afterwards.
#ifndef CREVIK_RUN_STATE_H
#define CREVIK_RUN_STATE_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

constexpr int kArgSlots = 10;
constexpr int kArgMaxLen = 260;  // characters per word, NUL not counted

extern char ArgTable[kArgSlots][kArgMaxLen + 1];
extern int32_t ArgCount;
extern bool ArgWasCut[kArgSlots];  // the word was longer than a slot holds

extern char ReleaseDir[kMaxPath];     // directory of word 2, ending in the separator
extern char EventFileName[kMaxPath];  // name and extension of word 2
extern char UploadLogPath[kMaxPath];  // ReleaseDir + GENERAL/LOGFILE

// Splits a raw command line: blanks and tabs separate, quotation marks group
// and are never stored, there is no escape character.
std::vector<std::string> SplitCommandWords(const char* text);
// The same words into the table: words beyond it are dropped and long words cut.
void SplitCommandLine(const char* text);
// The same table from an argument vector, word 0 first.
void SetArgsFromVector(int argc, const char* const* argv);

// Clears the command line and run state, for tests that run twice in one process.
void ResetRunState();

#endif
