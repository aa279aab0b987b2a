#include "main/run_state.h"

#include <cstring>
#include <string>
#include <vector>

#include "util/util.h"

char ArgTable[kArgSlots][kArgMaxLen + 1];
int32_t ArgCount;
bool ArgWasCut[kArgSlots];
char ReleaseDir[kMaxPath];
char EventFileName[kMaxPath];
char UploadLogPath[kMaxPath];

void ResetRunState() {
    std::memset(ArgTable, 0, sizeof ArgTable);
    ArgCount = 0;
    std::memset(ArgWasCut, 0, sizeof ArgWasCut);
    ReleaseDir[0] = EventFileName[0] = UploadLogPath[0] = '\0';
}

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

void SplitCommandLine(const char* text) {
    std::vector<std::string> words = SplitCommandWords(text);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    SetArgsFromVector(static_cast<int>(argv.size()), argv.data());
}

void SetArgsFromVector(int argc, const char* const* argv) {
    ResetRunState();
    for (int i = 0; i < argc && i < kArgSlots; ++i) {
        CopyText(ArgTable[i], argv[i]);
        ArgWasCut[i] = std::strlen(argv[i]) > static_cast<size_t>(kArgMaxLen);
    }
    ArgCount = argc < kArgSlots ? argc : kArgSlots;
}
