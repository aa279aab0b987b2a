#include "sfv/crc32.h"

#include "sfv/crc32_kernels.h"

namespace {

// table[0] is the classic byte table; table[k][b] is the register after byte
// b followed by k zero bytes, which lets one step consume sixteen bytes.
struct SliceTables {
    uint32_t t[16][256];
};

constexpr SliceTables MakeSliceTables() {
    SliceTables s{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t r = b;
        for (int bit = 0; bit < 8; ++bit) r = (r >> 1) ^ ((r & 1u) ? kCrc32Poly : 0u);
        s.t[0][b] = r;
    }
    for (int k = 1; k < 16; ++k)
        for (int b = 0; b < 256; ++b) {
            uint32_t prev = s.t[k - 1][b];
            s.t[k][b] = (prev >> 8) ^ s.t[0][prev & 0xFFu];
        }
    return s;
}

constexpr SliceTables kTables = MakeSliceTables();
static_assert(kTables.t[0][1] == 0x77073096u && kTables.t[0][255] == 0x2D02EF8Du,
              "byte table does not match the reflected polynomial");

// Byte assembly instead of a cast keeps this right on any byte order and
// alignment; compilers turn it into one load.
inline uint32_t Load32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

using RegKernel = uint32_t (*)(uint32_t, const unsigned char*, size_t);

RegKernel KernelFunction(Crc32Kernel kernel) {
    switch (kernel) {
    case Crc32Kernel::Table: return Crc32RegTable;
    case Crc32Kernel::Slice16: return Crc32RegSlice16;
#if CREVIK_CRC32_X86
    case Crc32Kernel::Clmul: return Crc32RegClmul;
    case Crc32Kernel::VclmulAvx2: return Crc32RegVclmulAvx2;
    case Crc32Kernel::VclmulAvx512: return Crc32RegVclmulAvx512;
#else
    default: break;
#endif
    }
    return Crc32RegSlice16;
}

Crc32Kernel PickKernel() {
    const Crc32Kernel fastestFirst[] = {Crc32Kernel::VclmulAvx512, Crc32Kernel::VclmulAvx2,
                                        Crc32Kernel::Clmul};
    for (Crc32Kernel k : fastestFirst)
        if (Crc32KernelAvailable(k)) return k;
    return Crc32Kernel::Slice16;
}

// Wraps the register-level kernels in the running-value convention.
inline uint32_t Run(RegKernel fn, uint32_t previous, const void* buf, size_t len) {
    if (!buf) return 0;
    return ~fn(~previous, static_cast<const unsigned char*>(buf), len);
}

}  // namespace

uint32_t Crc32RegTable(uint32_t reg, const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) reg = kTables.t[0][(reg ^ p[i]) & 0xFFu] ^ (reg >> 8);
    return reg;
}

uint32_t Crc32RegSlice16(uint32_t reg, const unsigned char* p, size_t n) {
    const auto& t = kTables.t;
    for (; n >= 16; p += 16, n -= 16) {
        uint32_t a = reg ^ Load32(p), b = Load32(p + 4), c = Load32(p + 8), d = Load32(p + 12);
        reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    return Crc32RegTable(reg, p, n);
}

bool Crc32KernelAvailable(Crc32Kernel kernel) {
    switch (kernel) {
    case Crc32Kernel::Table:
    case Crc32Kernel::Slice16: return true;
#if CREVIK_CRC32_X86
    case Crc32Kernel::Clmul:
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul");
    case Crc32Kernel::VclmulAvx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("vpclmulqdq") &&
               __builtin_cpu_supports("avx2");
    case Crc32Kernel::VclmulAvx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("vpclmulqdq") &&
               __builtin_cpu_supports("avx512f");
#else
    default: return false;
#endif
    }
    return false;
}

const char* Crc32KernelName(Crc32Kernel kernel) {
    switch (kernel) {
    case Crc32Kernel::Table: return "table";
    case Crc32Kernel::Slice16: return "slice16";
    case Crc32Kernel::Clmul: return "clmul";
    case Crc32Kernel::VclmulAvx2: return "vclmul-avx2";
    case Crc32Kernel::VclmulAvx512: return "vclmul-avx512";
    }
    return "?";
}

Crc32Kernel Crc32ActiveKernel() {
    static const Crc32Kernel active = PickKernel();
    return active;
}

uint32_t Crc32Update(uint32_t previous, const void* buf, size_t len) {
    static const RegKernel fn = KernelFunction(Crc32ActiveKernel());
    return Run(fn, previous, buf, len);
}

uint32_t Crc32UpdateWith(Crc32Kernel kernel, uint32_t previous, const void* buf, size_t len) {
    RegKernel fn = Crc32KernelAvailable(kernel) ? KernelFunction(kernel) : Crc32RegSlice16;
    return Run(fn, previous, buf, len);
}

uint32_t Crc32UpdateTable(uint32_t previous, const void* buf, size_t len) {
    return Run(Crc32RegTable, previous, buf, len);
}
