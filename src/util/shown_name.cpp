// Names printed for a person: a name holding control characters (a terminal
// escape sequence among them) or bytes that are no UTF-8 is shown the way
// `ls` quotes it, so that it cannot act on the terminal and can be pasted
// back into a shell.
#include <cstdio>
#include <cstring>

#include "util/util.h"

namespace {

// Bytes of one printable character at `p`, 0 when the byte is unsafe: a C0
// control, DEL, and where names are UTF-8 a C1 control or no valid sequence.
size_t PrintableLength(const unsigned char* p) {
    if ((*p >= 0x20 && *p < 0x7f) || (*p >= 0x80 && !kNamesInUtf8)) return 1;
    size_t len = *p >= 0xc2 && *p <= 0xdf ? 2 : *p >= 0xe0 && *p <= 0xef ? 3 : *p >= 0xf0 && *p <= 0xf4 ? 4 : 0;
    for (size_t i = 1; i < len; ++i)
        if ((p[i] & 0xc0) != 0x80) return 0;
    if (len == 2 && p[0] == 0xc2 && p[1] < 0xa0) return 0;  // U+0080 to U+009F
    if ((p[0] == 0xe0 && p[1] < 0xa0) || (p[0] == 0xf0 && p[1] < 0x90)) return 0;  // overlong
    return len;
}

void AddEscaped(unsigned char c, std::string* out) {
    static const char kNamed[] = "\a\b\t\n\v\f\r";
    static const char kLetters[] = "abtnvfr";
    const char* named = c ? std::strchr(kNamed, c) : nullptr;
    char text[8];
    if (named)
        std::snprintf(text, sizeof text, "\\%c", kLetters[named - kNamed]);
    else
        std::snprintf(text, sizeof text, "\\%03o", c);
    *out += text;
}

}  // namespace

std::string ShownName(const char* name) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
    bool safe = true;
    for (const unsigned char* q = p; *q && safe;) {
        size_t len = PrintableLength(q);
        safe = len > 0;
        q += len;
    }
    if (safe) return name;

    // 'a'$'\033''[31mb': printable runs in single quotes, the rest as $'...'.
    std::string out;
    bool inEscapes = false;
    if (!PrintableLength(p)) out = "''";
    while (*p) {
        size_t len = PrintableLength(p);
        if (len == 0) {
            if (!inEscapes) out += "$'";
            inEscapes = true;
            AddEscaped(*p++, &out);
            continue;
        }
        out += inEscapes ? "''" : "'";
        inEscapes = false;
        for (; *p && (len = PrintableLength(p)) > 0; p += len) {
            if (*p == '\'')
                out += "'\\''";
            else
                out.append(reinterpret_cast<const char*>(p), len);
        }
        out += "'";
    }
    if (inEscapes) out += "'";
    return out;
}
