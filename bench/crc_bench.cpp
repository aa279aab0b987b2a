// FileCrc32 against the bare read loop, zlib and the table loop, over a set
// of page-cached files. See README.md.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <thread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sfv/crc32.h"
#include "sfv/crc_ahead.h"
#include "sfv/file_crc.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 16;
constexpr size_t kFileBytes = size_t(64) << 20;
constexpr double kTotalBytes = double(kFiles) * double(kFileBytes);

alignas(64) unsigned char gBlock[kCrc32FileBlock];
volatile uint32_t gSink;  // keeps timed results alive

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool WriteFile(const std::string& path, unsigned seed) {
    PlatFile* f = PlatCreateTruncate(path.c_str());
    if (!f) return false;
    uint64_t x = 0x9E3779B97F4A7C15ull * (seed + 1);
    bool ok = true;
    for (size_t done = 0; ok && done < kFileBytes; done += sizeof gBlock) {
        for (size_t i = 0; i < sizeof gBlock; i += 8) {  // xorshift64: cheap incompressible bytes
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            for (int b = 0; b < 8; ++b) gBlock[i + b] = static_cast<unsigned char>(x >> (8 * b));
        }
        ok = PlatWrite(f, gBlock, sizeof gBlock);
    }
    return PlatClose(f) && ok;
}

// The FileCrc32 loop with a pluggable step; a null step only reads.
template <typename Step>
uint32_t ReadLoop(const std::string& path, Step step) {
    PlatFile* f = PlatOpenSequential(path.c_str());
    if (!f) return 0;
    uint32_t crc = 0;
    for (;;) {
        long got = PlatRead(f, gBlock, sizeof gBlock);
        if (got <= 0) break;
        crc = step(crc, gBlock, static_cast<size_t>(got));
    }
    PlatClose(f);
    return crc;
}

uint32_t ReadOnly(const std::string& path) {
    return ReadLoop(path, [](uint32_t crc, const unsigned char* p, size_t) { return crc ^ p[0]; });
}
uint32_t ZlibFile(const std::string& path) {
    return ReadLoop(path, [](uint32_t crc, const unsigned char* p, size_t n) {
        return static_cast<uint32_t>(crc32(crc, p, static_cast<uInt>(n)));
    });
}
uint32_t TableFile(const std::string& path) {
    return ReadLoop(path, [](uint32_t crc, const unsigned char* p, size_t n) {
        return Crc32UpdateTable(crc, p, n);
    });
}
uint32_t OursFile(const std::string& path) { return FileCrc32(path.c_str()); }

// The pass of check and rescan: threads read ahead, the pass takes each CRC in order.
std::vector<uint32_t> PassAhead(const std::vector<std::string>& files, int jobs) {
    CrcAhead ahead(files, jobs);
    std::vector<uint32_t> crcs;
    for (const std::string& f : files) {
        uint32_t crc = 0;
        if (!ahead.Take(f.c_str(), &crc)) crc = FileCrc32(f.c_str());
        crcs.push_back(crc);
    }
    return crcs;
}

// Each file into a buffer of its thread, block by block.
uint32_t BufferedCrc(const std::string& path) {
    std::vector<unsigned char> block(kCrc32FileBlock);
    PlatFile* f = PlatOpenSequential(path.c_str());
    uint32_t crc = 0;
    for (long got; f && (got = PlatRead(f, block.data(), block.size())) > 0;)
        crc = Crc32Update(crc, block.data(), static_cast<size_t>(got));
    if (f) PlatClose(f);
    return crc;
}

// Each file mapped whole and checksummed in place, with no copy.
uint32_t MappedCrc(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return 0;
    void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    close(fd);
    if (map == MAP_FAILED) return 0;
    uint32_t crc = Crc32Update(0, map, static_cast<size_t>(st.st_size));
    munmap(map, static_cast<size_t>(st.st_size));
    return crc;
}

std::vector<uint32_t> OnThreads(const std::vector<std::string>& files, int jobs, uint32_t (*one)(const std::string&)) {
    std::vector<uint32_t> crcs(files.size());
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < jobs; ++t)
        threads.emplace_back([&] {
            for (size_t i; (i = next++) < files.size();) crcs[i] = one(files[i]);
        });
    for (std::thread& t : threads) t.join();
    return crcs;
}

// Read into buffers against map in place, on every core, against one thread that only reads.
bool PrintParallel(const std::vector<std::string>& files, double readOnly, const std::vector<uint32_t>& expected) {
    const int jobs = DefaultJobs();
    const char* names[] = {"read into buffers", "map in place", "check's pass"};
    double best[3] = {1e30, 1e30, 1e30};
    bool agree = true;
    for (int round = 0; round < 5; ++round)
        for (int m = 0; m < 3; ++m) {
            Clock::time_point t = Clock::now();
            std::vector<uint32_t> crcs = m == 0   ? OnThreads(files, jobs, BufferedCrc)
                                         : m == 1 ? OnThreads(files, jobs, MappedCrc)
                                                  : PassAhead(files, jobs);
            best[m] = std::min(best[m], Seconds(t));
            agree &= crcs == expected;
        }
    std::printf("\n%d threads, best of rounds:\n", jobs);
    for (int m = 0; m < 3; ++m)
        std::printf("  %-17s %7.2f GB/s, %.2f x the time of one thread only reading\n", names[m],
                    kTotalBytes / best[m] / 1e9, best[m] / readOnly);
    if (!agree) std::printf("CHECKSUMS DISAGREE between the threads and FileCrc32\n");
    return agree;
}

struct Mode {
    const char* name;
    uint32_t (*run)(const std::string&);
    int rounds;
    double best = 1e30;
    std::vector<uint32_t> crcs;
};

void PrintKernelSpeeds() {
    std::vector<unsigned char> buf(kCrc32FileBlock);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    const int passes = 2048;  // 512 MiB per measurement
    std::printf("\nin-memory, %zu KiB buffer (active: %s):\n", kCrc32FileBlock / 1024,
                Crc32KernelName(Crc32ActiveKernel()));
    for (int k = 0; k < kCrc32KernelCount; ++k) {
        Crc32Kernel kernel = static_cast<Crc32Kernel>(k);
        if (!Crc32KernelAvailable(kernel)) continue;
        int n = kernel == Crc32Kernel::Table ? passes / 8 : passes;
        double best = 1e30;
        uint32_t crc = 0;
        for (int r = 0; r < 3; ++r) {
            Clock::time_point t = Clock::now();
            for (int i = 0; i < n; ++i) crc = Crc32UpdateWith(kernel, crc, buf.data(), buf.size());
            best = std::min(best, Seconds(t));
        }
        gSink = crc;
        std::printf("  %-14s %7.2f GB/s\n", Crc32KernelName(kernel),
                    double(n) * double(buf.size()) / best / 1e9);
    }
    double best = 1e30;
    for (int r = 0; r < 3; ++r) {
        uLong crc = 0;
        Clock::time_point t = Clock::now();
        for (int i = 0; i < passes / 4; ++i) crc = crc32(crc, buf.data(), static_cast<uInt>(buf.size()));
        best = std::min(best, Seconds(t));
        gSink = static_cast<uint32_t>(crc);
    }
    std::printf("  %-14s %7.2f GB/s\n", "zlib", double(passes / 4) * double(buf.size()) / best / 1e9);
}

}  // namespace

int main(int argc, char** argv) {
    std::error_code ec;
    fs::path parent = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path(ec);
    const fs::path dir = parent / ("crevik_crc_bench_" + std::to_string(std::random_device{}()));
    if (!fs::create_directory(dir, ec)) {
        std::fprintf(stderr, "cannot create %s\n", dir.string().c_str());
        return 1;
    }

    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back((dir / ("part" + std::to_string(i) + ".bin")).string());
        if (!WriteFile(files.back(), static_cast<unsigned>(i))) {
            std::fprintf(stderr, "cannot write %s\n", files.back().c_str());
            fs::remove_all(dir, ec);
            return 1;
        }
    }
    for (const std::string& f : files) ReadOnly(f);  // into the page cache

    Mode modes[] = {{"read only", ReadOnly, 5, 1e30, {}},
                    {"FileCrc32", OursFile, 5, 1e30, {}},
                    {"zlib crc32", ZlibFile, 5, 1e30, {}},
                    {"table loop", TableFile, 2, 1e30, {}}};
    // Rounds alternate between modes so drift in machine load hits all alike.
    for (int round = 0; round < 5; ++round)
        for (Mode& m : modes) {
            if (round >= m.rounds) continue;
            std::vector<uint32_t> crcs;
            Clock::time_point t = Clock::now();
            for (const std::string& f : files) crcs.push_back(m.run(f));
            m.best = std::min(m.best, Seconds(t));
            m.crcs = crcs;
        }

    std::printf("%d files x %zu MiB, %zu KiB blocks, best of rounds (active kernel: %s)\n", kFiles,
                kFileBytes >> 20, kCrc32FileBlock / 1024, Crc32KernelName(Crc32ActiveKernel()));
    for (const Mode& m : modes) std::printf("  %-11s %7.2f GB/s\n", m.name, kTotalBytes / m.best / 1e9);
    const double readOnly = modes[0].best, ours = modes[1].best, zlib = modes[2].best;
    std::printf("FileCrc32 / read only: %.2f (aim >= 0.60)\n", readOnly / ours);
    std::printf("FileCrc32 / zlib:      %.2f (aim >= 2.0)\n", zlib / ours);
    bool parallelAgree = PrintParallel(files, readOnly, modes[1].crcs);
    fs::remove_all(dir, ec);

    bool agree = parallelAgree && modes[1].crcs == modes[2].crcs && modes[1].crcs == modes[3].crcs;
    if (!agree) std::printf("CHECKSUMS DISAGREE between FileCrc32, zlib and the table loop\n");

    PrintKernelSpeeds();
    return agree ? 0 : 1;
}
