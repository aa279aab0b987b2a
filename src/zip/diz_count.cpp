// The volume count of a file_id.diz: "[01/15]", "[xx/15]", "(1/15)", "disk 1 of 15".
#include <cctype>
#include <cstring>

#include "zip/zip.h"

namespace {

constexpr int kFigureDigitsMax = 3;  // volumes 1 to 999
constexpr const char* kPlaceholders = "xX?-";

struct Cursor {
    const char* p;
    const char* end;
    bool At(char c) const { return p < end && *p == c; }
    size_t SkipBlanks() {
        size_t n = 0;
        for (; p < end && (*p == ' ' || *p == '\t'); ++p) ++n;
        return n;
    }
    // Letters compared in either case.
    bool Word(const char* word) {
        const char* q = p;
        for (; *word; ++word, ++q)
            if (q >= end || std::tolower(static_cast<unsigned char>(*q)) != *word) return false;
        p = q;
        return true;
    }
};

// The volume's own number: digits, or a run of placeholders ("xx", "??").
bool SkipVolumeNumber(Cursor& c) {
    const char* start = c.p;
    bool digits = c.p < c.end && std::isdigit(static_cast<unsigned char>(*c.p));
    while (c.p < c.end && c.p - start < kFigureDigitsMax &&
           (digits ? std::isdigit(static_cast<unsigned char>(*c.p)) != 0 : std::strchr(kPlaceholders, *c.p) && *c.p))
        ++c.p;
    return c.p > start;
}

// The count: 1 to 999, no more digits after it.
int32_t ReadCount(Cursor& c) {
    int32_t value = 0;
    int digits = 0;
    for (; c.p < c.end && std::isdigit(static_cast<unsigned char>(*c.p)); ++c.p) {
        if (++digits > kFigureDigitsMax) return 0;
        value = value * 10 + (*c.p - '0');
    }
    return value;
}

int32_t BracketCount(Cursor c, char close) {
    c.SkipBlanks();
    if (!SkipVolumeNumber(c)) return 0;
    c.SkipBlanks();
    if (!c.At('/')) return 0;
    ++c.p;
    c.SkipBlanks();
    int32_t count = ReadCount(c);
    c.SkipBlanks();
    return c.At(close) ? count : 0;
}

int32_t DiskCount(Cursor c) {
    if (c.SkipBlanks() == 0 || !SkipVolumeNumber(c) || c.SkipBlanks() == 0 || !c.Word("of") || c.SkipBlanks() == 0)
        return 0;
    return ReadCount(c);
}

}  // namespace

int32_t DizVolumeCount(const char* text, size_t len) {
    const char* end = text + len;
    for (const char* p = text; p < end; ++p) {
        Cursor c{p + 1, end};
        int32_t count = 0;
        if (*p == '[')
            count = BracketCount(c, ']');
        else if (*p == '(')
            count = BracketCount(c, ')');
        else if (Cursor w{p, end}; w.Word("disk") || w.Word("disc"))
            count = DiskCount(w);
        if (count > 0) return count;
    }
    return 0;
}
