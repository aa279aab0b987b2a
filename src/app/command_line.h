// An event's command line as the event handlers see it: at most kArgSlots
// words, each cut to kArgMaxLen characters.
#ifndef CREVIK_COMMAND_LINE_H
#define CREVIK_COMMAND_LINE_H

#include <cstdint>
#include <string>
#include <vector>

constexpr int kArgSlots = 10;
constexpr int kArgMaxLen = 260;  // characters per word, NUL not counted

struct CommandLine {
    char words[kArgSlots][kArgMaxLen + 1];  // unused slots are empty
    int32_t count;
    bool cut[kArgSlots];  // the word was longer than a slot holds
};

// Splits a raw command line: blanks and tabs separate, quotation marks group
// and are never stored, there is no escape character.
std::vector<std::string> SplitCommandWords(const char* text);
// The same words into the table: words beyond it are dropped and long words cut.
void SplitCommandLine(const char* text, CommandLine* line);
// The same table from an argument vector, word 0 first.
void SetArgsFromVector(int argc, const char* const* argv, CommandLine* line);

#endif
