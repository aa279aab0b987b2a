#include "app/command_line.h"

#include <cstring>

#include "util/util.h"

std::vector<std::string> SplitCommandWords(const char* text) {
    std::vector<std::string> words;
    bool inWord = false;
    bool inQuotes = false;
    for (const char* p = text; *p; ++p) {
        char c = *p;
        if ((c == ' ' || c == '\t') && !inQuotes) {
            inWord = false;
        } else if (c == '"') {
            if (inQuotes) {
                inWord = inQuotes = false;
            } else {
                words.emplace_back();
                inWord = inQuotes = true;
            }
        } else {
            if (!inWord) {
                words.emplace_back();
                inWord = true;
            }
            words.back() += c;
        }
    }
    return words;
}

void SplitCommandLine(const char* text, CommandLine* line) {
    std::vector<std::string> words = SplitCommandWords(text);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    SetArgsFromVector(static_cast<int>(argv.size()), argv.data(), line);
}

void SetArgsFromVector(int argc, const char* const* argv, CommandLine* line) {
    std::memset(line, 0, sizeof *line);
    for (int i = 0; i < argc && i < kArgSlots; ++i) {
        CopyText(line->words[i], argv[i]);
        line->cut[i] = std::strlen(argv[i]) > static_cast<size_t>(kArgMaxLen);
    }
    line->count = argc < kArgSlots ? argc : kArgSlots;
}
