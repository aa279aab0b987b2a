// OS-free pieces shared by both platform implementations.
#include "platform/platform_internal.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace {
PlatFault pendingFault = PlatFault::None;
int pendingErrno = 0;

bool SameLetter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}
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
        int cp = std::tolower(static_cast<unsigned char>(*p));
        int cq = std::tolower(static_cast<unsigned char>(*q));
        if (cp != cq) return cp < cq ? -1 : 1;
        if (cp == 0) break;
    }
    // Names equal but for letter case still get a fixed order.
    return std::strcmp(a, b);
}

PlatFind* PlatFinishFind(PlatFind* find, PlatFindEntry* first) {
    std::sort(find->matches.begin(), find->matches.end(),
              [](const PlatFindEntry& a, const PlatFindEntry& b) { return PlatCompareNames(a.name, b.name) < 0; });
    if (PlatFindNext(find, first)) return find;
    delete find;
    errno = ENOENT;
    return nullptr;
}

bool PlatFindNext(PlatFind* find, PlatFindEntry* next) {
    if (!find || find->next >= find->matches.size()) return false;
    *next = find->matches[find->next++];
    return true;
}

void PlatFindClose(PlatFind* find) { delete find; }
