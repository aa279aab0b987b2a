#include "util/util.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void TrimLeft(char* text) {
    if (!IsBlank(text[0])) return;
    char* first = text;
    while (IsBlank(*first)) ++first;
    std::memmove(text, first, std::strlen(first) + 1);
}

void TrimRight(char* text) {
    size_t len = std::strlen(text);
    while (len > 0 && IsBlank(text[len - 1])) --len;
    text[len] = '\0';
}

char FirstNonBlank(const char* text) {
    while (IsBlank(*text)) ++text;
    return *text;
}

void CopyText(char* dst, size_t size, const char* src) {
    if (size == 0) return;
    size_t len = std::strlen(src);
    if (len >= size) len = size - 1;
    std::memmove(dst, src, len);
    dst[len] = '\0';
}

bool EqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

int32_t ParseInt32(const char* text) {
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

namespace {
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}
}  // namespace

uint32_t StrToU32(const char* text, int base) {
    const char* p = text;
    while (IsBlank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) p += 2;
    uint64_t value = 0;
    bool overflow = false;
    for (; DigitValue(*p) < base; ++p) {
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(*p));
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
    }
    if (overflow) return UINT32_MAX;
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

namespace {
// Halves go away from zero, unlike printf's round-half-even on exact ties.
double RoundAway(double value, double scale) {
    double scaled = std::fabs(value) * scale;
    double rounded = std::floor(scaled + 0.5) / scale;
    return value < 0 ? -rounded : rounded;
}
}  // namespace

SizeText FormatSize(double kilobytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    SizeText result;
    if (!std::isfinite(kilobytes)) kilobytes = 0;  // 0/0 or x/0 averages show as nothing done
    if (kilobytes < 1024) {
        std::snprintf(result.text, sizeof result.text, "%.0f%s", RoundAway(kilobytes, 1), kUnits[0]);
        return result;
    }
    int step = 0;
    do {
        kilobytes *= 0.0009765625;
        ++step;
    } while (kilobytes >= 1024 && step < 3);
    std::snprintf(result.text, sizeof result.text, "%.1f%s", RoundAway(kilobytes, 10), kUnits[step]);
    return result;
}
