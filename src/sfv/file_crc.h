// The CRC-32 of a whole file, read through the platform in large blocks, or
// checksummed where it lies when it is large.
#ifndef CREVIK_SFV_FILE_CRC_H
#define CREVIK_SFV_FILE_CRC_H

#include <cstddef>
#include <cstdint>

// Bytes FileCrc32 asks for per read; 1 MiB reads from the page cache measured
// faster than 256 or 512 KiB ones.
constexpr size_t kCrc32FileBlock = 1024 * 1024;
// Files of this size or more are checksummed mapped in place where the
// system allows: with a copy into the block the read costs as much as the
// CRC, and threads reading at once measured faster without it.
constexpr uint64_t kCrc32MapFrom = 4 * kCrc32FileBlock;

// CRC-32 of the whole file; 0 when it cannot be opened (absent, a directory,
// locked by a writer). A read that fails part-way returns the CRC of the
// bytes before it.
uint32_t FileCrc32(const char* path);
// The same through the caller's block buffer, for threads reading at once;
// *opened tells whether the file opened at all.
uint32_t FileCrc32Through(const char* path, unsigned char* block, size_t blockSize, bool* opened);

#endif
