// Internals shared by the CRC-32 kernels. Every kernel works on the raw
// register (the running value complemented) and returns the raw register.
#ifndef CREVIK_SFV_CRC32_KERNELS_H
#define CREVIK_SFV_CRC32_KERNELS_H

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define CREVIK_CRC32_X86 1
#else
#define CREVIK_CRC32_X86 0
#endif

constexpr uint32_t kCrc32Poly = 0xEDB88320u;  // 0x04C11DB7 bit-reversed

uint32_t Crc32RegTable(uint32_t reg, const unsigned char* p, size_t n);
uint32_t Crc32RegSlice16(uint32_t reg, const unsigned char* p, size_t n);

#if CREVIK_CRC32_X86
uint32_t Crc32RegClmul(uint32_t reg, const unsigned char* p, size_t n);
uint32_t Crc32RegVclmulAvx2(uint32_t reg, const unsigned char* p, size_t n);
uint32_t Crc32RegVclmulAvx512(uint32_t reg, const unsigned char* p, size_t n);

// Ends every folding kernel: `lane` is the 16 bytes all earlier data was
// folded into, followed in the message by the `n` bytes at `p`. Vectors pass
// through memory so no vector type crosses between differently built files.
uint32_t Crc32ClmulTail(const unsigned char lane[16], const unsigned char* p, size_t n);
#endif

// x^n mod P in the reflected form (bit 31 - i holds the coefficient of x^i).
constexpr uint32_t Crc32XPowMod(unsigned n) {
    uint32_t r = 0x80000000u;  // x^0
    for (unsigned i = 0; i < n; ++i) r = (r >> 1) ^ ((r & 1u) ? kCrc32Poly : 0u);
    return r;
}

// The two multipliers that move a 128-bit lane `bits` further along the
// message. Lanes hold message bytes in memory order, so the low quadword
// carries the higher powers of x. A reflected carry-less product comes out
// one power short and a 32-bit constant in the low half stands for its value
// times x^32, which accounts for the -33.
struct Crc32FoldPair {
    uint64_t lowQuad;   // multiplies the first 8 bytes: x^(bits + 64)
    uint64_t highQuad;  // multiplies the next 8 bytes:  x^bits
};
constexpr Crc32FoldPair Crc32Fold(unsigned bits) {
    return {Crc32XPowMod(bits + 64 - 33), Crc32XPowMod(bits - 33)};
}

#endif
