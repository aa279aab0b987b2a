#include "sfv/file_crc.h"

#include <memory>
#include <new>

#include "platform/platform.h"
#include "sfv/crc32.h"

namespace {

void AddToCrc(void* crc, const void* data, size_t len) {
    *static_cast<uint32_t*>(crc) = Crc32Update(*static_cast<uint32_t*>(crc), data, len);
}

}  // namespace

uint32_t FileCrc32(const char* path) {
    // Left uninitialised: a small file touches only the pages it is read into.
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kCrc32FileBlock]);
    bool opened;
    return FileCrc32Through(path, block.get(), block ? kCrc32FileBlock : 0, &opened);
}

uint32_t FileCrc32Through(const char* path, unsigned char* block, size_t blockSize, bool* opened) {
    uint32_t crc = Crc32Update(0, nullptr, 0);
    PlatFile* file = PlatOpenSequential(path);
    *opened = file != nullptr;
    if (!file) return 0;
    // A file larger than a block is checksummed where it lies, with no copy;
    // the bytes are the same, and so is the CRC.
    if (PlatScanMapped(file, kCrc32MapFrom, AddToCrc, &crc)) {
        PlatClose(file);
        return crc;
    }
    crc = Crc32Update(0, nullptr, 0);
    for (long got; block && blockSize > 0 && (got = PlatRead(file, block, blockSize)) > 0;)
        crc = Crc32Update(crc, block, static_cast<size_t>(got));
    PlatClose(file);
    return crc;
}
