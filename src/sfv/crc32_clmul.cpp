// CRC-32 by carry-less multiplication (PCLMULQDQ).
//
// A 128-bit lane of message is congruent, modulo the polynomial, to its two
// quadwords multiplied by the right powers of x; two products bring the lane
// level with data further on, where it is XORed in. Four lanes run side by
// side to hide the multiply latency. What is left is one lane, which the
// table finishes as plain message bytes together with the tail.
#include "sfv/crc32_kernels.h"

#if CREVIK_CRC32_X86

#include <immintrin.h>

#define CREVIK_TARGET_CLMUL __attribute__((target("pclmul")))

namespace {

constexpr Crc32FoldPair kFold128 = Crc32Fold(128);
constexpr Crc32FoldPair kFold512 = Crc32Fold(512);

CREVIK_TARGET_CLMUL inline __m128i Pair(Crc32FoldPair k) {
    return _mm_set_epi32(0, static_cast<int>(k.highQuad), 0, static_cast<int>(k.lowQuad));
}

// x moved `k` along, XORed into data.
CREVIK_TARGET_CLMUL inline __m128i Fold(__m128i x, __m128i k, __m128i data) {
    __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), data);
}

CREVIK_TARGET_CLMUL inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

CREVIK_TARGET_CLMUL uint32_t Crc32ClmulTail(const unsigned char lane[16], const unsigned char* p,
                                            size_t n) {
    __m128i x = Load(lane);
    const __m128i k128 = Pair(kFold128);
    for (; n >= 16; p += 16, n -= 16) x = Fold(x, k128, Load(p));
    alignas(16) unsigned char last[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(last), x);
    return Crc32RegSlice16(Crc32RegSlice16(0, last, 16), p, n);
}

CREVIK_TARGET_CLMUL uint32_t Crc32RegClmul(uint32_t reg, const unsigned char* p, size_t n) {
    if (n < 64) return Crc32RegSlice16(reg, p, n);

    // The register enters as a XOR over the first four message bytes.
    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
    p += 64;
    n -= 64;

    const __m128i k512 = Pair(kFold512);
    for (; n >= 64; p += 64, n -= 64) {
        x0 = Fold(x0, k512, Load(p));
        x1 = Fold(x1, k512, Load(p + 16));
        x2 = Fold(x2, k512, Load(p + 32));
        x3 = Fold(x3, k512, Load(p + 48));
    }

    const __m128i k128 = Pair(kFold128);
    x1 = Fold(x0, k128, x1);
    x2 = Fold(x1, k128, x2);
    x3 = Fold(x2, k128, x3);
    alignas(16) unsigned char lane[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), x3);
    return Crc32ClmulTail(lane, p, n);
}

#endif
