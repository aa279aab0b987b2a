#include "main/run_state.h"

#include <cstring>

#include "util/util.h"

char ArgTable[kArgSlots][kArgMaxLen + 1];
int32_t ArgCount;
bool ArgWasCut[kArgSlots];
char ReleaseDir[kMaxPath];
char EventFileName[kMaxPath];
char UploadLogPath[kMaxPath];

namespace {

// Appends to the current word while it fits; words past the table are
// counted but not stored.
struct WordWriter {
    int length = 0;
    void Start() {
        ++ArgCount;
        length = 0;
        if (Slot()) Slot()[0] = '\0';
    }
    void Put(char c) {
        char* slot = Slot();
        if (!slot) return;
        if (length >= kArgMaxLen) {
            ArgWasCut[ArgCount - 1] = true;
            return;
        }
        slot[length++] = c;
        slot[length] = '\0';
    }
    char* Slot() const { return ArgCount >= 1 && ArgCount <= kArgSlots ? ArgTable[ArgCount - 1] : nullptr; }
};

}  // namespace

void ResetRunState() {
    std::memset(ArgTable, 0, sizeof ArgTable);
    ArgCount = 0;
    std::memset(ArgWasCut, 0, sizeof ArgWasCut);
    ReleaseDir[0] = EventFileName[0] = UploadLogPath[0] = '\0';
}

void SplitCommandLine(const char* text) {
    ResetRunState();
    WordWriter word;
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
                word.Start();
                inWord = inQuotes = true;
            }
        } else {
            if (!inWord) {
                word.Start();
                inWord = true;
            }
            word.Put(c);
        }
    }
    if (ArgCount > kArgSlots) ArgCount = kArgSlots;
}

void SetArgsFromVector(int argc, const char* const* argv) {
    ResetRunState();
    for (int i = 0; i < argc && i < kArgSlots; ++i) {
        CopyText(ArgTable[i], argv[i]);
        ArgWasCut[i] = std::strlen(argv[i]) > static_cast<size_t>(kArgMaxLen);
    }
    ArgCount = argc < kArgSlots ? argc : kArgSlots;
}
