// The zip test: end record, central directory, then every member in the
// order of its bytes in the file, local header first.
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "sfv/crc32.h"
#include "util/util.h"
#include "zip/zip.h"

namespace {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kDirSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50;
constexpr uint32_t kZip64EndSig = 0x06064b50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr size_t kLocalSize = 30;
constexpr size_t kDirEntrySize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kCommentMax = 0xffff;
constexpr uint32_t kZip64Marker = 0xffffffff;  // a 32-bit field whose value is in a zip64 extra field

constexpr uint16_t kFlagEncrypted = 1u << 0;
constexpr uint16_t kFlagDescriptor = 1u << 3;  // crc and sizes follow the data, not in the local header
constexpr uint16_t kFlagStrongEncryption = 1u << 6;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kMethodAes = 99;

constexpr size_t kInBlock = 256 * 1024;
// 1 MiB output blocks keep zlib in its fast loop and the CRC kernel on long runs.
constexpr size_t kOutBlock = 1024 * 1024;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }
uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

// Fields holding the zip64 marker take, in order, the 64-bit values of the
// zip64 extra field (`extra`, `len` bytes). False when it lacks one.
bool ReadZip64Fields(const uint8_t* extra, size_t len, uint64_t* const* fields, int count) {
    for (size_t at = 0; at + 4 <= len; at += 4 + Get16(extra + at + 2)) {
        if (Get16(extra + at) != kZip64ExtraId) continue;
        size_t size = std::min<size_t>(Get16(extra + at + 2), len - at - 4);
        const uint8_t* value = extra + at + 4;
        for (int i = 0; i < count; ++i) {
            if (*fields[i] != kZip64Marker) continue;
            if (size < 8) return false;
            *fields[i] = Get64(value);
            value += 8;
            size -= 8;
        }
        return true;
    }
    for (int i = 0; i < count; ++i)
        if (*fields[i] == kZip64Marker) return false;
    return true;
}

struct Member {
    std::string name;
    uint16_t flags;
    uint16_t method;
    uint32_t crc;
    uint64_t packed;  // compressed bytes
    uint64_t size;    // inflated bytes
    uint64_t offset;  // of the local header
};

struct Archive {
    PlatFile* file = nullptr;
    uint64_t size = 0;
    uint64_t dirOffset = 0;  // members end where the central directory starts
    uint64_t dirSize = 0;
    uint32_t entries = 0;
    std::vector<Member> members;
};

// Exactly `len` bytes from the current position.
bool ReadExact(PlatFile* file, void* buf, size_t len) {
    uint8_t* p = static_cast<uint8_t*>(buf);
    while (len > 0) {
        long got = PlatRead(file, p, len);
        if (got <= 0) return false;
        p += got;
        len -= static_cast<size_t>(got);
    }
    return true;
}

bool ReadAt(const Archive& zip, uint64_t offset, void* buf, size_t len) {
    return PlatSeek(zip.file, offset) && ReadExact(zip.file, buf, len);
}

bool StartsLikeZip(const Archive& zip) {
    uint8_t head[4];
    return zip.size >= sizeof head && ReadAt(zip, 0, head, sizeof head) && Get32(head) == kLocalSig;
}

// Finds the end record, last in the file but for its comment.
ZipVerdict ReadEnd(Archive& zip) {
    size_t tailLen = static_cast<size_t>(std::min<uint64_t>(zip.size, kEndSize + kCommentMax + kZip64LocatorSize));
    std::vector<uint8_t> tail(tailLen);
    if (!ReadAt(zip, zip.size - tailLen, tail.data(), tailLen)) return ZipVerdict::Unreadable;
    const uint8_t* end = nullptr;
    size_t at = 0;
    for (size_t i = tailLen >= kEndSize ? tailLen - kEndSize + 1 : 0; i-- > 0;) {
        if (Get32(&tail[i]) == kEndSig && i + kEndSize + Get16(&tail[i + 20]) <= tailLen) {
            end = &tail[i];
            at = i;
            break;
        }
    }
    // A cut-off zip has lost its end; anything else without one was never a zip.
    if (!end) return StartsLikeZip(zip) ? ZipVerdict::Truncated : ZipVerdict::Damaged;
    uint64_t dirEnd = zip.size - tailLen + at;  // the directory ends where the end records start
    uint64_t entries = Get16(end + 10);
    zip.dirSize = Get32(end + 12);
    zip.dirOffset = Get32(end + 16);
    if (Get16(end + 4) != 0 || Get16(end + 6) != 0 || Get16(end + 8) != entries) return ZipVerdict::UnsupportedFormat;
    if (at >= kZip64LocatorSize && Get32(end - kZip64LocatorSize) == kZip64LocatorSig) {
        const uint8_t* locator = end - kZip64LocatorSize;
        uint64_t recordOffset = Get64(locator + 8);
        uint8_t record[kZip64EndSize];
        if (Get32(locator + 4) != 0 || Get32(locator + 16) != 1) return ZipVerdict::UnsupportedFormat;
        if (dirEnd < kZip64LocatorSize + kZip64EndSize || recordOffset > dirEnd - kZip64LocatorSize - kZip64EndSize)
            return ZipVerdict::Damaged;
        if (!ReadAt(zip, recordOffset, record, sizeof record)) return ZipVerdict::Unreadable;
        if (Get32(record) != kZip64EndSig) return ZipVerdict::Damaged;
        if (Get32(record + 16) != 0 || Get32(record + 20) != 0 || Get64(record + 24) != Get64(record + 32))
            return ZipVerdict::UnsupportedFormat;
        entries = Get64(record + 32);
        zip.dirSize = Get64(record + 40);
        zip.dirOffset = Get64(record + 48);
        dirEnd = recordOffset;
    }
    if (zip.dirSize > kZipDirectoryMax) return ZipVerdict::OverLimit;
    if (entries > zip.dirSize / kDirEntrySize) return ZipVerdict::Damaged;  // more than the directory holds
    zip.entries = static_cast<uint32_t>(entries);
    // Bytes before the first member or between directory and end are refused, as unzip warns of them.
    if (zip.dirOffset > dirEnd || dirEnd - zip.dirOffset != zip.dirSize) return ZipVerdict::Damaged;
    return zip.entries == 0 ? ZipVerdict::Empty : ZipVerdict::Good;
}

ZipVerdict ReadDirectory(Archive& zip, std::string* badMember) {
    std::vector<uint8_t> dir(static_cast<size_t>(zip.dirSize));
    if (!ReadAt(zip, zip.dirOffset, dir.data(), dir.size())) return ZipVerdict::Unreadable;
    size_t pos = 0;
    for (uint32_t n = 0; n < zip.entries; ++n) {
        if (dir.size() - pos < kDirEntrySize || Get32(&dir[pos]) != kDirSig) return ZipVerdict::Damaged;
        const uint8_t* p = &dir[pos];
        size_t nameLen = Get16(p + 28);
        size_t next = pos + kDirEntrySize + nameLen + Get16(p + 30) + Get16(p + 32);
        if (next > dir.size()) return ZipVerdict::Damaged;
        Member m;
        m.name.assign(reinterpret_cast<const char*>(p + kDirEntrySize), nameLen);
        m.flags = Get16(p + 8);
        m.method = Get16(p + 10);
        m.crc = Get32(p + 16);
        m.packed = Get32(p + 20);
        m.size = Get32(p + 24);
        m.offset = Get32(p + 42);
        *badMember = m.name;
        if (Get16(p + 34) != 0) return ZipVerdict::UnsupportedFormat;
        uint64_t* wide[] = {&m.size, &m.packed, &m.offset};
        if (!ReadZip64Fields(p + kDirEntrySize + nameLen, Get16(p + 30), wide, 3)) return ZipVerdict::Damaged;
        zip.members.push_back(std::move(m));
        pos = next;
    }
    badMember->clear();
    return pos == dir.size() ? ZipVerdict::Good : ZipVerdict::Damaged;
}

// Nothing is extracted, yet a zip that would write outside its directory is refused.
bool IsUnsafeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find('\0') != std::string::npos) return true;
    if (name.size() >= 2 && name[1] == ':') return true;  // a drive
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
        if (name.compare(start, i - start, "..") == 0 && i - start == 2) return true;
        start = i + 1;
    }
    return false;
}

// What the directory alone tells, entry by entry.
ZipVerdict JudgeEntries(const Archive& zip, std::string* badMember) {
    uint64_t total = 0;
    for (const Member& m : zip.members) {
        *badMember = m.name;
        if (IsUnsafeName(m.name)) return ZipVerdict::UnsafeName;
        if ((m.flags & (kFlagEncrypted | kFlagStrongEncryption)) || m.method == kMethodAes)
            return ZipVerdict::Encrypted;
        if (m.method != kMethodStored && m.method != kMethodDeflate) return ZipVerdict::UnsupportedMethod;
        total += m.size;
        if (m.size > kZipMemberInflateMax || total > kZipTotalInflateMax) return ZipVerdict::OverLimit;
    }
    badMember->clear();
    return ZipVerdict::Good;
}

bool IsDiz(const std::string& name) {
    return name.size() == std::strlen(kDizName) && EqualNoCase(name.c_str(), kDizName);
}

// One member's data: inflated and checked against its size and CRC.
class MemberTester {
public:
    MemberTester() : in_(kInBlock), out_(kOutBlock) { inflateReady_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~MemberTester() {
        if (inflateReady_) inflateEnd(&stream_);
    }
    MemberTester(const MemberTester&) = delete;
    MemberTester& operator=(const MemberTester&) = delete;

    // The file stands at the member's data. `keep` collects the inflated bytes.
    ZipVerdict Test(PlatFile* file, const Member& m, std::string* keep) {
        crc_ = 0;
        produced_ = 0;
        keep_ = keep;
        ZipVerdict verdict = m.method == kMethodStored ? Copy(file, m) : Inflate(file, m);
        if (verdict != ZipVerdict::Good) return verdict;
        if (produced_ != m.size) return ZipVerdict::SizeMismatch;
        return crc_ == m.crc ? ZipVerdict::Good : ZipVerdict::CrcMismatch;
    }

private:
    // False when the member has grown past what it says.
    bool Take(const uint8_t* data, size_t len, const Member& m) {
        produced_ += len;
        if (produced_ > m.size) return false;
        crc_ = Crc32Update(crc_, data, len);
        if (keep_) keep_->append(reinterpret_cast<const char*>(data), len);
        return true;
    }

    ZipVerdict Copy(PlatFile* file, const Member& m) {
        if (m.packed != m.size) return ZipVerdict::SizeMismatch;
        for (uint64_t left = m.packed; left > 0;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, out_.size()));
            if (!ReadExact(file, out_.data(), n)) return ZipVerdict::Unreadable;
            Take(out_.data(), n, m);
            left -= n;
        }
        return ZipVerdict::Good;
    }

    ZipVerdict Inflate(PlatFile* file, const Member& m) {
        if (!inflateReady_ || inflateReset(&stream_) != Z_OK) return ZipVerdict::Unreadable;
        uint64_t left = m.packed;
        stream_.avail_in = 0;
        for (;;) {
            if (stream_.avail_in == 0 && left > 0) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(left, in_.size()));
                if (!ReadExact(file, in_.data(), n)) return ZipVerdict::Unreadable;
                stream_.next_in = in_.data();
                stream_.avail_in = static_cast<uInt>(n);
                left -= n;
            }
            stream_.next_out = out_.data();
            stream_.avail_out = static_cast<uInt>(out_.size());
            int rc = inflate(&stream_, Z_NO_FLUSH);
            size_t got = out_.size() - stream_.avail_out;
            if (got > 0 && !Take(out_.data(), got, m)) return ZipVerdict::SizeMismatch;
            if (rc == Z_STREAM_END) break;
            // No progress with input and room left, or the input ran out: broken data.
            if (rc != Z_OK && !(rc == Z_BUF_ERROR && stream_.avail_in == 0 && left > 0))
                return ZipVerdict::Damaged;
        }
        // Compressed bytes left over: the stated compressed size is not the stream's.
        return stream_.avail_in == 0 && left == 0 ? ZipVerdict::Good : ZipVerdict::Damaged;
    }

    z_stream stream_{};
    bool inflateReady_ = false;
    std::vector<uint8_t> in_, out_;
    uint32_t crc_ = 0;
    uint64_t produced_ = 0;
    std::string* keep_ = nullptr;
};

// The local header agrees with the directory entry; the member's data lies at [dataStart, dataEnd).
ZipVerdict CheckLocalHeader(const Archive& zip, const Member& m, uint64_t* dataStart, uint64_t* dataEnd) {
    uint8_t h[kLocalSize];
    if (m.offset > zip.dirOffset || zip.dirOffset - m.offset < kLocalSize) return ZipVerdict::Damaged;
    if (!ReadAt(zip, m.offset, h, sizeof h)) return ZipVerdict::Unreadable;
    uint16_t flags = Get16(h + 6);
    size_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
    const uint16_t shared = kFlagEncrypted | kFlagDescriptor | kFlagStrongEncryption;
    if (Get32(h) != kLocalSig || Get16(h + 8) != m.method || (flags & shared) != (m.flags & shared) ||
        nameLen != m.name.size())
        return ZipVerdict::Damaged;
    *dataStart = m.offset + kLocalSize + nameLen + extraLen;
    if (*dataStart > zip.dirOffset || m.packed > zip.dirOffset - *dataStart) return ZipVerdict::Damaged;
    *dataEnd = *dataStart + m.packed;
    std::vector<uint8_t> nameAndExtra(nameLen + extraLen);
    if (!ReadExact(zip.file, nameAndExtra.data(), nameAndExtra.size())) return ZipVerdict::Unreadable;
    if (std::memcmp(nameAndExtra.data(), m.name.data(), nameLen) != 0) return ZipVerdict::Damaged;
    uint64_t size = Get32(h + 22), packed = Get32(h + 18);
    uint64_t* wide[] = {&size, &packed};
    if (!(m.flags & kFlagDescriptor) &&
        (!ReadZip64Fields(nameAndExtra.data() + nameLen, extraLen, wide, 2) || Get32(h + 14) != m.crc ||
         packed != m.packed || size != m.size))
        return ZipVerdict::Damaged;
    return ZipVerdict::Good;
}

struct Placed {
    const Member* member;
    uint64_t dataStart;
};

// Every member's local header, in the order of the bytes: where its data lies.
ZipVerdict PlaceMembers(const Archive& zip, std::vector<Placed>* placed, std::string* badMember) {
    for (const Member& m : zip.members) placed->push_back({&m, 0});
    std::stable_sort(placed->begin(), placed->end(),
                     [](const Placed& a, const Placed& b) { return a.member->offset < b.member->offset; });
    uint64_t freeFrom = 0;
    for (Placed& p : *placed) {
        *badMember = p.member->name;
        // Members sharing bytes inflate the same data many times over: the overlapping zip bomb.
        if (p.member->offset < freeFrom) return ZipVerdict::OverLimit;
        ZipVerdict verdict = CheckLocalHeader(zip, *p.member, &p.dataStart, &freeFrom);
        if (verdict != ZipVerdict::Good) return verdict;
    }
    badMember->clear();
    return ZipVerdict::Good;
}

// Every member's data, in the order of the bytes: the first bad one is the verdict.
ZipVerdict TestData(const Archive& zip, const std::vector<Placed>& placed, ZipReport* report) {
    MemberTester tester;
    std::string diz;
    bool dizTaken = false;
    for (const Placed& p : placed) {
        const Member& m = *p.member;
        bool isDiz = !dizTaken && IsDiz(m.name) && m.size <= kDizMax;
        ZipVerdict verdict = PlatSeek(zip.file, p.dataStart) ? tester.Test(zip.file, m, isDiz ? &diz : nullptr)
                                                              : ZipVerdict::Unreadable;
        if (verdict != ZipVerdict::Good) {
            report->member = m.name;
            return verdict;
        }
        dizTaken = dizTaken || isDiz;
    }
    report->hasDiz = dizTaken;
    report->diz = std::move(diz);
    return ZipVerdict::Good;
}

ZipVerdict TestArchive(Archive& zip, ZipReport* report) {
    ZipVerdict verdict = ReadEnd(zip);
    if (verdict != ZipVerdict::Good) return verdict;
    verdict = ReadDirectory(zip, &report->member);
    report->members = static_cast<uint32_t>(zip.members.size());
    if (verdict != ZipVerdict::Good) return verdict;
    verdict = JudgeEntries(zip, &report->member);
    if (verdict != ZipVerdict::Good) return verdict;
    std::vector<Placed> placed;
    verdict = PlaceMembers(zip, &placed, &report->member);
    return verdict == ZipVerdict::Good ? TestData(zip, placed, report) : verdict;
}

}  // namespace

const char* ZipVerdictText(ZipVerdict verdict) {
    switch (verdict) {
    case ZipVerdict::Good: return "ok";
    case ZipVerdict::Unreadable: return "cannot be read";
    case ZipVerdict::Truncated: return "truncated";
    case ZipVerdict::Damaged: return "damaged";
    case ZipVerdict::Empty: return "no members";
    case ZipVerdict::UnsupportedMethod: return "unsupported compression method";
    case ZipVerdict::UnsupportedFormat: return "spans several files";
    case ZipVerdict::Encrypted: return "encrypted";
    case ZipVerdict::CrcMismatch: return "CRC mismatch";
    case ZipVerdict::SizeMismatch: return "not the size it says";
    case ZipVerdict::OverLimit: return "over the inflate limits (zip bomb)";
    case ZipVerdict::UnsafeName: return "unsafe member name";
    }
    return "?";
}

ZipReport ZipTestFile(const char* path) {
    ZipReport report;
    Archive zip;
    PlatFileInfo info;
    if (!PlatStatFile(path, &info) || !(zip.file = PlatOpenSequential(path))) return report;
    zip.size = info.bytes;
    report.verdict = TestArchive(zip, &report);
    PlatClose(zip.file);
    if (report.verdict != ZipVerdict::Good) {
        report.hasDiz = false;
        report.diz.clear();
    }
    return report;
}
