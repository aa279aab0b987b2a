// Zips written byte by byte, honest or lying in whichever field a test names,
// for the unit, end-to-end and fuzz tests.
#ifndef CREVIK_TEST_ZIP_MAKER_H
#define CREVIK_TEST_ZIP_MAKER_H

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace test_zip {

struct Entry {
    std::string name, data;
    bool deflate = false;
    int64_t size = -1;     // stated inflated size in both headers; -1: the true one
    int64_t dirSize = -1;  // ... in the central directory only
    int64_t crc = -1;      // stated CRC; -1: the true one
    uint16_t flags = 0, method = 0xffff;  // method: 0xffff = stored or deflate as `deflate` says
    int copies = 1;        // central directory entries pointing at this one local header
};

inline std::string Le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xff);
    return s;
}

inline std::string Deflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline std::string Make(const std::vector<Entry>& entries, const std::string& comment = "") {
    std::string zip, dir;
    uint16_t count = 0;
    for (const Entry& e : entries) {
        std::string packed = e.deflate ? Deflate(e.data) : e.data;
        uint64_t crc = e.crc >= 0 ? e.crc : crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), e.data.size());
        uint64_t size = e.size >= 0 ? e.size : e.data.size();
        uint16_t method = e.method != 0xffff ? e.method : e.deflate ? 8 : 0;
        std::string common = Le(e.flags, 2) + Le(method, 2) + Le(0, 4) + Le(crc, 4) + Le(packed.size(), 4);
        std::string name = Le(e.name.size(), 2) + Le(0, 2);
        for (int i = 0; i < e.copies; ++i, ++count)
            dir += Le(0x02014b50, 4) + Le(20, 2) + Le(20, 2) + common + Le(e.dirSize >= 0 ? e.dirSize : size, 4) +
                   name + Le(0, 6) + Le(0, 4) + Le(zip.size(), 4) + e.name;
        zip += Le(0x04034b50, 4) + Le(20, 2) + common + Le(size, 4) + name + e.name + packed;
    }
    return zip + dir + Le(0x06054b50, 4) + Le(0, 4) + Le(count, 2) + Le(count, 2) + Le(dir.size(), 4) +
           Le(zip.size(), 4) + Le(comment.size(), 2) + comment;
}

}  // namespace test_zip

#endif
