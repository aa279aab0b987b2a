// CRC-32 of buffers, the checksum a .sfv lists for each file.
//
// The checksum is CRC-32/ISO-HDLC (the one of Ethernet, ZIP and PNG):
// reflected polynomial 0xEDB88320, register preset to all ones, result
// complemented. Values are passed around in the running-value convention:
// start with 0, feed each result back in, and the last result is the CRC of
// everything fed so far.
//
// Several interchangeable kernels compute it; all give the same value for
// every length and alignment. Crc32Update uses the fastest one the CPU runs,
// picked once; the others are exposed for tests and measurements.
#ifndef CREVIK_SFV_CRC32_H
#define CREVIK_SFV_CRC32_H

#include <cstddef>
#include <cstdint>

// New running value after `len` bytes of `buf`. A null `buf` returns 0, the
// start value, whatever the other arguments.
uint32_t Crc32Update(uint32_t previous, const void* buf, size_t len);

// ---- kernels ---------------------------------------------------------------
enum class Crc32Kernel {
    Table,          // one table lookup per byte; the reference
    Slice16,        // sixteen tables, sixteen bytes per step; any CPU
    Clmul,          // x86 PCLMULQDQ folding, 64 bytes per step
    VclmulAvx2,     // x86 VPCLMULQDQ on 256-bit vectors, 128 bytes per step
    VclmulAvx512,   // x86 VPCLMULQDQ on 512-bit vectors, 256 bytes per step
};
constexpr int kCrc32KernelCount = 5;

bool Crc32KernelAvailable(Crc32Kernel kernel);  // built in and run by this CPU
const char* Crc32KernelName(Crc32Kernel kernel);
Crc32Kernel Crc32ActiveKernel();                 // the one Crc32Update uses

// Crc32Update through one kernel. An unavailable kernel is replaced by
// Slice16 rather than risking an illegal instruction.
uint32_t Crc32UpdateWith(Crc32Kernel kernel, uint32_t previous, const void* buf, size_t len);

// The reference byte loop, kept for checks and measurements.
uint32_t Crc32UpdateTable(uint32_t previous, const void* buf, size_t len);

#endif
