// OS-free pieces shared by both platform implementations.
#include "platform/platform_internal.h"

#include <algorithm>
#include <cerrno>

namespace {
PlatFault pendingFault = PlatFault::None;
int pendingErrno = 0;

// Letter case as the C locale has it (the program never sets another), without a call per character.
int Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

bool SameLetter(char a, char b) { return Lower(static_cast<unsigned char>(a)) == Lower(static_cast<unsigned char>(b)); }
}  // namespace

bool PlatWildcardMatch(const char* pattern, const char* name) {
    // Iterative matcher with one backtrack point: linear enough for names
    // and immune to the exponential blow-up of naive recursion.
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern && (*pattern == '?' || SameLetter(*pattern, *name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

void PlatInjectFault(PlatFault op, int errnum) {
    pendingFault = op;
    pendingErrno = errnum;
}

bool PlatTakeFault(PlatFault op) {
    if (pendingFault == PlatFault::None || pendingFault != op) return false;
    pendingFault = PlatFault::None;
    errno = pendingErrno;
    return true;
}

int PlatCompareNames(const char* a, const char* b) {
    for (const char *p = a, *q = b;; ++p, ++q) {
        int cp = Lower(static_cast<unsigned char>(*p));
        int cq = Lower(static_cast<unsigned char>(*q));
        if (cp != cq) return cp < cq ? -1 : 1;
        if (cp == 0) break;
    }
    // Names equal but for letter case still get a fixed order.
    return std::strcmp(a, b);
}

PlatFind* PlatFinishFind(PlatFind* find, PlatFindEntry* first) {
    const std::vector<PlatFindEntry>& matches = find->matches;
    find->order.resize(matches.size());
    for (uint32_t i = 0; i < find->order.size(); ++i) find->order[i] = i;
    std::sort(find->order.begin(), find->order.end(),
              [&](uint32_t a, uint32_t b) { return PlatCompareNames(matches[a].name, matches[b].name) < 0; });
    if (PlatFindNext(find, first)) return find;
    delete find;
    errno = ENOENT;
    return nullptr;
}

bool PlatFindNext(PlatFind* find, PlatFindEntry* next) {
    if (!find || find->next >= find->matches.size()) return false;
    *next = find->matches[find->order[find->next++]];
    return true;
}

void PlatFindClose(PlatFind* find) { delete find; }
