// The CRC-32 of a whole file, read through the platform in large blocks.
#ifndef CREVIK_SFV_FILE_CRC_H
#define CREVIK_SFV_FILE_CRC_H

#include <cstddef>
#include <cstdint>

// Bytes FileCrc32 asks for per read; 1 MiB reads from the page cache measured
// faster than 256 or 512 KiB ones.
constexpr size_t kCrc32FileBlock = 1024 * 1024;

// CRC-32 of the whole file; 0 when it cannot be opened (absent, a directory,
// locked by a writer). A read that fails part-way returns the CRC of the
// bytes before it.
uint32_t FileCrc32(const char* path);

#endif
