#include "sfv/crc32.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kDigits[] = "123456789";
constexpr uint32_t kDigitsCrc = 0xCBF43926u;

std::vector<Crc32Kernel> AvailableKernels() {
    std::vector<Crc32Kernel> out;
    for (int i = 0; i < kCrc32KernelCount; ++i)
        if (Crc32KernelAvailable(static_cast<Crc32Kernel>(i))) out.push_back(static_cast<Crc32Kernel>(i));
    return out;
}

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = static_cast<unsigned char>(rng());
    return v;
}

TEST(Crc32, CheckValueInOneCallAndEverySplit) {
    for (Crc32Kernel k : AvailableKernels()) {
        SCOPED_TRACE(Crc32KernelName(k));
        EXPECT_EQ(Crc32UpdateWith(k, 0, kDigits, 9), kDigitsCrc);
        for (size_t i = 0; i <= 9; ++i)
            for (size_t j = i; j <= 9; ++j) {
                uint32_t crc = Crc32UpdateWith(k, 0, kDigits, i);
                crc = Crc32UpdateWith(k, crc, kDigits + i, j - i);
                EXPECT_EQ(Crc32UpdateWith(k, crc, kDigits + j, 9 - j), kDigitsCrc) << i << "," << j;
            }
    }
    EXPECT_EQ(Crc32Update(Crc32Update(0, kDigits, 4), kDigits + 4, 5), kDigitsCrc);
    EXPECT_EQ(Crc32UpdateTable(0, kDigits, 9), kDigitsCrc);
}

TEST(Crc32, NullBufferGivesStartValue) {
    EXPECT_EQ(Crc32Update(0xDEADBEEFu, nullptr, 100), 0u);
    EXPECT_EQ(Crc32UpdateTable(0x12345678u, nullptr, 0), 0u);
    for (Crc32Kernel k : AvailableKernels()) EXPECT_EQ(Crc32UpdateWith(k, 0xFFFFFFFFu, nullptr, 4096), 0u);
    // Empty data leaves the value alone.
    EXPECT_EQ(Crc32Update(0xDEADBEEFu, kDigits, 0), 0xDEADBEEFu);
}

// Every kernel, every length up to 4096, at several misalignments, from a
// zero and a nonzero running value. Each buffer ends exactly at the end of its
// allocation so that the sanitizer build catches any read past it.
TEST(Crc32, EveryKernelMatchesTableAtEveryLengthAndAlignment) {
    const std::vector<unsigned char> data = RandomBytes(4096 + 64, 1);
    const size_t offsets[] = {0, 1, 3, 7, 8, 15, 33};
    const uint32_t previous = 0x5A17C3E9u;
    for (size_t off : offsets) {
        uint32_t ref0 = 0, refPrev = previous;
        for (size_t len = 0; len <= 4096; ++len) {
            std::vector<unsigned char> buf(data.begin(), data.begin() + off + len);
            // An empty vector may hold no pointer at all, which means "no buffer".
            const unsigned char* p = buf.empty() ? data.data() : buf.data() + off;
            for (Crc32Kernel k : AvailableKernels()) {
                ASSERT_EQ(Crc32UpdateWith(k, 0, p, len), ref0)
                    << Crc32KernelName(k) << " len " << len << " off " << off;
                ASSERT_EQ(Crc32UpdateWith(k, previous, p, len), refPrev)
                    << Crc32KernelName(k) << " len " << len << " off " << off;
            }
            ASSERT_EQ(Crc32Update(0, p, len), ref0) << "len " << len << " off " << off;
            if (len < 4096) {  // extend the references by the next byte
                ref0 = Crc32UpdateTable(ref0, data.data() + off + len, 1);
                refPrev = Crc32UpdateTable(refPrev, data.data() + off + len, 1);
            }
        }
    }
}

TEST(Crc32, LargeBufferInUnevenPieces) {
    const std::vector<unsigned char> data = RandomBytes((1u << 20) + 13, 2);
    const uint32_t whole = Crc32UpdateTable(0, data.data(), data.size());
    std::mt19937 rng(3);
    for (Crc32Kernel k : AvailableKernels()) {
        SCOPED_TRACE(Crc32KernelName(k));
        EXPECT_EQ(Crc32UpdateWith(k, 0, data.data(), data.size()), whole);
        uint32_t crc = 0;
        for (size_t pos = 0; pos < data.size();) {
            size_t piece = std::min<size_t>(rng() % 9000, data.size() - pos);
            crc = Crc32UpdateWith(k, crc, data.data() + pos, piece);
            pos += piece;
        }
        EXPECT_EQ(crc, whole);
    }
}

class FileCrc32Test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("crc32_test_" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directory(dir_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Write(const char* name, const std::vector<unsigned char>& bytes) {
        fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good());
        return path.string();
    }
    fs::path dir_;
};

TEST_F(FileCrc32Test, WholeFileEqualsOnePassOverItsBytes) {
    const size_t sizes[] = {9, 4097, kCrc32FileBlock, 2 * kCrc32FileBlock + 4097};
    for (size_t size : sizes) {
        std::vector<unsigned char> bytes = RandomBytes(size, static_cast<unsigned>(size));
        std::string path = Write(("f" + std::to_string(size)).c_str(), bytes);
        EXPECT_EQ(FileCrc32(path.c_str()), Crc32UpdateTable(0, bytes.data(), bytes.size())) << size;
    }
    std::string digits = Write("digits", std::vector<unsigned char>(kDigits, kDigits + 9));
    EXPECT_EQ(FileCrc32(digits.c_str()), kDigitsCrc);
}

TEST_F(FileCrc32Test, UnreadableOrEmptyGivesZero) {
    EXPECT_EQ(FileCrc32((dir_ / "missing").string().c_str()), 0u);
    EXPECT_EQ(FileCrc32(Write("empty", {}).c_str()), 0u);
    EXPECT_EQ(FileCrc32(dir_.string().c_str()), 0u);
}

#ifdef _WIN32
// Only Windows refuses the open while someone writes; the server may still
// be storing the file when the check runs.
TEST_F(FileCrc32Test, FileHeldByWriterGivesZero) {
    std::string path = Write("busy", RandomBytes(100, 4));
    PlatFile* writer = PlatCreateTruncate(path.c_str());
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(PlatWrite(writer, kDigits, 9));
    EXPECT_EQ(FileCrc32(path.c_str()), 0u);
    ASSERT_TRUE(PlatClose(writer));
    EXPECT_EQ(FileCrc32(path.c_str()), kDigitsCrc);
}
#endif

}  // namespace
