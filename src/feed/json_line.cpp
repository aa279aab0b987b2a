#include "feed/json_line.h"

#include <cstdio>
#include <cstring>

namespace {

void Put(JsonLine* line, const char* bytes, size_t len) {
    if (line->cut || len > kJsonLineMax - line->length) {
        line->cut = true;
        return;
    }
    std::memcpy(line->text + line->length, bytes, len);
    line->length += len;
}

void PutChar(JsonLine* line, char c) { Put(line, &c, 1); }

void PutEscape(JsonLine* line, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    Put(line, escape, 6);
}

const char* ShortEscape(unsigned char c) {
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

void PutString(JsonLine* line, const char* value) {
    PutChar(line, '"');
    const unsigned char* p = reinterpret_cast<const unsigned char*>(value);
    while (*p) {
        unsigned char c = *p;
        const char* shortForm = ShortEscape(c);
        int len = Utf8SequenceLength(p);
        if (shortForm) Put(line, shortForm, 2);
        else if (c < 0x20 || c == 0x7f) PutEscape(line, c);
        else if (len == 0) PutEscape(line, 0xdc00u + c);  // recoverable: see the header
        else {
            Put(line, reinterpret_cast<const char*>(p), static_cast<size_t>(len));
            p += len;
            continue;
        }
        ++p;
    }
    PutChar(line, '"');
}

// The comma and the name that come before a value.
void PutName(JsonLine* line, const char* name) {
    if (line->afterValue) PutChar(line, ',');
    if (name) {
        PutString(line, name);
        PutChar(line, ':');
    }
    line->afterValue = true;
}

bool InRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

}  // namespace

int Utf8SequenceLength(const unsigned char* p) {
    unsigned char c = p[0];
    if (c < 0x80) return 1;
    // The second byte's range excludes overlong forms, surrogates and code
    // points past U+10FFFF; the NUL terminator is never a continuation byte.
    unsigned char low = 0x80, high = 0xbf;
    int len;
    if (InRange(c, 0xc2, 0xdf)) len = 2;
    else if (InRange(c, 0xe0, 0xef)) len = 3;
    else if (InRange(c, 0xf0, 0xf4)) len = 4;
    else return 0;
    if (c == 0xe0) low = 0xa0;
    if (c == 0xed) high = 0x9f;
    if (c == 0xf0) low = 0x90;
    if (c == 0xf4) high = 0x8f;
    if (!InRange(p[1], low, high)) return 0;
    for (int i = 2; i < len; ++i)
        if (!InRange(p[i], 0x80, 0xbf)) return 0;
    return len;
}

void JsonStart(JsonLine* line) {
    line->length = 0;
    line->cut = false;
    line->afterValue = false;
    PutChar(line, '{');
}

void JsonText(JsonLine* line, const char* name, const char* value) {
    PutName(line, name);
    PutString(line, value);
}

void JsonNumber(JsonLine* line, const char* name, int64_t value) {
    PutName(line, name);
    char digits[24];
    int len = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
    Put(line, digits, static_cast<size_t>(len));
}

void JsonOpen(JsonLine* line, const char* name, char bracket) {
    PutName(line, name);
    PutChar(line, bracket);
    line->afterValue = false;
}

void JsonClose(JsonLine* line, char bracket) {
    PutChar(line, bracket);
    line->afterValue = true;
}

bool JsonFinish(JsonLine* line) {
    Put(line, "}\n", 2);
    return !line->cut;
}
