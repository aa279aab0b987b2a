// CRC-32 folding with VPCLMULQDQ: the PCLMULQDQ scheme on two or four lanes
// per instruction. Four vector accumulators run side by side; at the end
// they fold into one vector, its lanes into one, and the 128-bit kernel's
// tail finishes the job.
#include "sfv/crc32_kernels.h"

#if CREVIK_CRC32_X86

#include <immintrin.h>

#define CREVIK_TARGET_AVX2 __attribute__((target("avx2,vpclmulqdq,pclmul")))
#define CREVIK_TARGET_AVX512 __attribute__((target("avx512f,vpclmulqdq,pclmul")))

namespace {

constexpr Crc32FoldPair kFold128 = Crc32Fold(128);
constexpr Crc32FoldPair kFold256 = Crc32Fold(256);
constexpr Crc32FoldPair kFold384 = Crc32Fold(384);
constexpr Crc32FoldPair kFold512 = Crc32Fold(512);
constexpr Crc32FoldPair kFold1024 = Crc32Fold(1024);
constexpr Crc32FoldPair kFold2048 = Crc32Fold(2048);

// ---- 256-bit -------------------------------------------------------------

CREVIK_TARGET_AVX2 inline __m256i Pair256(Crc32FoldPair k) {
    return _mm256_broadcastsi128_si256(
        _mm_set_epi32(0, static_cast<int>(k.highQuad), 0, static_cast<int>(k.lowQuad)));
}

CREVIK_TARGET_AVX2 inline __m256i Fold256(__m256i x, __m256i k, __m256i data) {
    __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), data);
}

CREVIK_TARGET_AVX2 inline __m256i Load256(const unsigned char* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// ---- 512-bit -------------------------------------------------------------

CREVIK_TARGET_AVX512 inline __m512i Pair512(Crc32FoldPair k) {
    const long long hi = static_cast<long long>(k.highQuad), lo = static_cast<long long>(k.lowQuad);
    return _mm512_set4_epi64(hi, lo, hi, lo);
}

CREVIK_TARGET_AVX512 inline __m512i Fold512(__m512i x, __m512i k, __m512i data) {
    __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, data, 0x96);  // lo ^ hi ^ data
}

CREVIK_TARGET_AVX512 inline __m512i Load512(const unsigned char* p) {
    return _mm512_loadu_si512(p);
}

}  // namespace

CREVIK_TARGET_AVX2 uint32_t Crc32RegVclmulAvx2(uint32_t reg, const unsigned char* p, size_t n) {
    if (n < 256) return Crc32RegClmul(reg, p, n);

    // The register enters as a XOR over the first four message bytes.
    __m256i x0 = _mm256_xor_si256(Load256(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m256i x1 = Load256(p + 32), x2 = Load256(p + 64), x3 = Load256(p + 96);
    p += 128;
    n -= 128;

    const __m256i k1024 = Pair256(kFold1024);
    for (; n >= 128; p += 128, n -= 128) {
        x0 = Fold256(x0, k1024, Load256(p));
        x1 = Fold256(x1, k1024, Load256(p + 32));
        x2 = Fold256(x2, k1024, Load256(p + 64));
        x3 = Fold256(x3, k1024, Load256(p + 96));
    }

    const __m256i k256 = Pair256(kFold256);
    x1 = Fold256(x0, k256, x1);
    x2 = Fold256(x1, k256, x2);
    x3 = Fold256(x2, k256, x3);
    for (; n >= 32; p += 32, n -= 32) x3 = Fold256(x3, k256, Load256(p));

    // Lane 0 lies 128 bits before lane 1.
    const __m128i k128 = _mm_set_epi32(0, static_cast<int>(kFold128.highQuad), 0,
                                       static_cast<int>(kFold128.lowQuad));
    __m128i l0 = _mm256_castsi256_si128(x3), l1 = _mm256_extracti128_si256(x3, 1);
    __m128i x = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(l0, k128, 0x00),
                                            _mm_clmulepi64_si128(l0, k128, 0x11)),
                              l1);
    alignas(16) unsigned char lane[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), x);
    return Crc32ClmulTail(lane, p, n);
}

CREVIK_TARGET_AVX512 uint32_t Crc32RegVclmulAvx512(uint32_t reg, const unsigned char* p, size_t n) {
    if (n < 512) return Crc32RegClmul(reg, p, n);

    __m512i x0 = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg))));
    __m512i x1 = Load512(p + 64), x2 = Load512(p + 128), x3 = Load512(p + 192);
    p += 256;
    n -= 256;

    const __m512i k2048 = Pair512(kFold2048);
    for (; n >= 256; p += 256, n -= 256) {
        x0 = Fold512(x0, k2048, Load512(p));
        x1 = Fold512(x1, k2048, Load512(p + 64));
        x2 = Fold512(x2, k2048, Load512(p + 128));
        x3 = Fold512(x3, k2048, Load512(p + 192));
    }

    const __m512i k512 = Pair512(kFold512);
    x1 = Fold512(x0, k512, x1);
    x2 = Fold512(x1, k512, x2);
    x3 = Fold512(x2, k512, x3);
    for (; n >= 64; p += 64, n -= 64) x3 = Fold512(x3, k512, Load512(p));

    // Lanes 0, 1 and 2 lie 384, 256 and 128 bits before lane 3; moving each
    // there independently keeps the chain short.
    const __m512i kLanes = _mm512_set_epi64(0, 0, static_cast<long long>(kFold128.highQuad),
                                            static_cast<long long>(kFold128.lowQuad),
                                            static_cast<long long>(kFold256.highQuad),
                                            static_cast<long long>(kFold256.lowQuad),
                                            static_cast<long long>(kFold384.highQuad),
                                            static_cast<long long>(kFold384.lowQuad));
    __m512i moved = _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x3, kLanes, 0x00),
                                              _mm512_clmulepi64_epi128(x3, kLanes, 0x11),
                                              _mm512_maskz_mov_epi64(0xC0, x3), 0x96);
    // The lanes are summed through memory: GCC 12's lane extracts trip
    // -Wmaybe-uninitialized inside its own headers.
    alignas(64) unsigned char lanes[64];
    _mm512_store_si512(lanes, moved);
    __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    for (int i = 1; i < 4; ++i)
        x = _mm_xor_si128(x, _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 16 * i)));
    alignas(16) unsigned char lane[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), x);
    return Crc32ClmulTail(lane, p, n);
}

#endif
