#include "sfv/file_crc.h"

#include <memory>
#include <new>

#include "platform/platform.h"
#include "sfv/crc32.h"

uint32_t FileCrc32(const char* path) {
    uint32_t crc = Crc32Update(0, nullptr, 0);
    PlatFile* file = PlatOpenSequential(path);
    if (!file) return 0;
    // Left uninitialised: a small file touches only the pages it is read into.
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kCrc32FileBlock]);
    for (long got; block && (got = PlatRead(file, block.get(), kCrc32FileBlock)) > 0;)
        crc = Crc32Update(crc, block.get(), static_cast<size_t>(got));
    PlatClose(file);
    return crc;
}
