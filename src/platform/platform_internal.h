// Helpers shared by the platform implementations; not for use above them.
#ifndef CREVIK_PLATFORM_INTERNAL_H
#define CREVIK_PLATFORM_INTERNAL_H

#include "platform/platform.h"

#include <cstring>
#include <vector>

// True (with errno set) when a test asked this operation to fail now.
bool PlatTakeFault(PlatFault op);


// A search's matches, collected whole so that they can be handed out sorted.
struct PlatFind {
    std::vector<PlatFindEntry> matches;
    size_t next;
    std::vector<uint32_t> order;  // of the matches, sorted: a listing of thousands moves no entry
};
// Sorts the matches and hands out the first; frees the search and returns
// null when there is none.
PlatFind* PlatFinishFind(PlatFind* find, PlatFindEntry* first);

// Splits a search pattern into its directory (with separator, or "" for
// the working directory) and its last component.
inline void PlatSplitPattern(const char* pattern, char dir[kMaxPath], const char** last) {
    const char* cut = pattern;
    for (const char* p = pattern; *p; ++p)
        if (*p == '/' || *p == '\\' || (p == pattern + 1 && *p == ':')) cut = p + 1;
    size_t len = static_cast<size_t>(cut - pattern);
    if (len >= static_cast<size_t>(kMaxPath)) len = kMaxPath - 1;
    std::memcpy(dir, pattern, len);
    dir[len] = '\0';
    *last = cut;
}

#endif
