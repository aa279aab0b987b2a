#include "sfv/crc32.h"
#include "sfv/file_crc.h"

#include <random>

#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

const char kDigits[] = "123456789";
constexpr uint32_t kDigitsCrc = 0xCBF43926u;

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(rng());
    return bytes;
}

// Every kernel against the byte loop at every length up to 4096, at several
// misalignments, from a zero and a nonzero running value. Each buffer ends
// exactly at the end of its allocation so that the sanitizer build catches any
// read past it.
TEST(Crc32, EveryKernelMatchesTheByteLoopAtEveryLengthAndAlignment) {
    std::vector<Crc32Kernel> kernels;
    for (int i = 0; i < kCrc32KernelCount; ++i)
        if (Crc32KernelAvailable(static_cast<Crc32Kernel>(i))) kernels.push_back(static_cast<Crc32Kernel>(i));
    for (Crc32Kernel k : kernels) {
        EXPECT_EQ(Crc32UpdateWith(k, 0, kDigits, 9), kDigitsCrc) << Crc32KernelName(k);
        EXPECT_EQ(Crc32UpdateWith(k, 0xFFFFFFFFu, nullptr, 4096), 0u) << Crc32KernelName(k);  // start value
    }

    const std::string data = RandomBytes(4096 + 64, 1);
    const uint32_t previous = 0x5A17C3E9u;
    for (size_t off : {0u, 1u, 3u, 7u, 8u, 15u, 33u}) {
        uint32_t ref0 = 0, refPrev = previous;
        for (size_t len = 0; len <= 4096; ++len) {
            const std::vector<unsigned char> buf(data.begin(), data.begin() + off + len);
            // An empty vector may hold no pointer at all, which means "no buffer".
            const void* p = buf.empty() ? static_cast<const void*>(data.data()) : buf.data() + off;
            for (Crc32Kernel k : kernels)
                ASSERT_EQ(std::make_pair(Crc32UpdateWith(k, 0, p, len), Crc32UpdateWith(k, previous, p, len)),
                          std::make_pair(ref0, refPrev))
                    << Crc32KernelName(k) << " len " << len << " off " << off;
            ASSERT_EQ(Crc32Update(0, p, len), ref0) << "len " << len << " off " << off;
            if (len == 4096) break;
            ref0 = Crc32UpdateTable(ref0, &data[off + len], 1);  // extend the references by the next byte
            refPrev = Crc32UpdateTable(refPrev, &data[off + len], 1);
        }
    }
}

using FileCrc32Test = ReleaseDirTest;  // files in a scratch working directory

TEST_F(FileCrc32Test, WholeFileEqualsOnePassOverItsBytesAndNoFileGivesZero) {
    // Mapped in place from kCrc32MapFrom, 16 MiB at a time.
    const size_t mapped = static_cast<size_t>(kCrc32MapFrom);
    for (size_t size : {size_t{0}, size_t{4097}, kCrc32FileBlock, 2 * kCrc32FileBlock + 4097, mapped,
                        (size_t{16} << 20) + mapped + 4097}) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
        ASSERT_TRUE(WriteFile("f", bytes));
        EXPECT_EQ(FileCrc32("f"), Crc32UpdateTable(0, bytes.data(), bytes.size())) << size;
    }
    EXPECT_EQ(FileCrc32("missing") + FileCrc32(release_.string().c_str()), 0u);
#ifdef _WIN32
    // Only Windows refuses the open while the server may still be storing the file.
    PlatFile* writer = PlatCreateTruncate("busy");
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(PlatWrite(writer, kDigits, 9));
    EXPECT_EQ(FileCrc32("busy"), 0u);
    ASSERT_TRUE(PlatClose(writer));
    EXPECT_EQ(FileCrc32("busy"), kDigitsCrc);
#endif
}

#ifndef _WIN32
// Reading the pages of a file cut short meanwhile ends the scan, not the
// program; the caller still reads the file from its start.
TEST_F(FileCrc32Test, AFileCutWhileReadInPlaceEndsTheScanNotTheProgram) {
    ASSERT_TRUE(WriteFile("f", RandomBytes(static_cast<size_t>(kCrc32MapFrom), 7)));
    PlatFile* file = PlatOpenSequential("f");
    ASSERT_NE(file, nullptr);
    int calls = 0;
    PlatScanFn cutThenRead = [](void* count, const void* data, size_t len) {
        ++*static_cast<int*>(count);
        ASSERT_EQ(truncate("f", 1), 0);
        volatile unsigned char last = static_cast<const unsigned char*>(data)[len - 1];
        (void)last;
    };
    EXPECT_FALSE(PlatScanMapped(file, 1, cutThenRead, &calls));
    EXPECT_EQ(calls, 1);
    char byte[2];
    EXPECT_EQ(PlatRead(file, byte, 2), 1);
    PlatClose(file);
}
#endif

}  // namespace
