// The server's raw command line: any text must leave a table of at most
// kArgSlots NUL-terminated words, none longer than kArgMaxLen, no quote kept.
#include <string>

#include "fuzz_support.h"
#include "app/command_line.h"
#include "release/session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CommandLine commandLine;
    SplitCommandLine(std::string(reinterpret_cast<const char*>(data), size).c_str(), &commandLine);
    const auto& ArgTable = commandLine.words;
    const int32_t ArgCount = commandLine.count;
    const auto& ArgWasCut = commandLine.cut;
    FUZZ_CHECK(ArgCount >= 0 && ArgCount <= kArgSlots);
    for (int i = 0; i < kArgSlots; ++i) {
        size_t len = strnlen(ArgTable[i], sizeof ArgTable[i]);
        FUZZ_CHECK(len <= static_cast<size_t>(kArgMaxLen) && !std::strchr(ArgTable[i], '"'));
        FUZZ_CHECK(i < ArgCount || (len == 0 && !ArgWasCut[i]));
        FUZZ_CHECK(!ArgWasCut[i] || len == static_cast<size_t>(kArgMaxLen));
    }
    // The lock name of the last word: no separator survives, the suffix always does.
    char name[kMutexNameMax + 1];
    MakeMutexName(ArgCount > 0 ? ArgTable[ArgCount - 1] : "", name);
    size_t len = std::strlen(name);
    FUZZ_CHECK(len >= 6 && len <= static_cast<size_t>(kMutexNameMax));
    FUZZ_CHECK(!std::strpbrk(name, "/\\") && std::strcmp(name + len - 6, "_MUTEX") == 0);
    return 0;
}
