#include "log/upload_log.h"

#include <cstring>

uint16_t FileKeyCrc(const char* lowerName) {
    if (!*lowerName) return 0;
    uint32_t r = 0xFFFF;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(lowerName); *p; ++p) {
        uint32_t c = *p;
        for (int bit = 0; bit < 8; ++bit) {
            if ((c ^ r) & 1) r ^= 0x108D0;  // stored keys depend on this constant; it is not 0x8408
            c >>= 1;
            r >>= 1;
        }
    }
    r = (r ^ 0xFFFF) & 0xFFFF;
    return static_cast<uint16_t>(((r & 0xFF) << 8) | (r >> 8));
}

uint16_t FileKeySum(const char* lowerName) {
    if (!*lowerName) return 1;
    uint32_t sum = 0;
    for (const char* p = lowerName; *p; ++p) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    return static_cast<uint16_t>(sum & 0x7FFF);
}

uint32_t FileKey(const char* name) {
    char lower[256];
    size_t len = std::strlen(name);
    if (len > 255) len = 255;
    for (size_t i = 0; i < len; ++i) {
        char c = name[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    }
    lower[len] = '\0';
    return static_cast<uint32_t>(FileKeyCrc(lower)) * 65536u + FileKeySum(lower);
}
