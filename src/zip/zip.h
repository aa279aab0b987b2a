// Testing a .zip in process, and the volume count of its file_id.diz.
//
// A test reads the central directory (zip64 included), checks every entry
// against its local header, inflates every member (stored and deflate) and compares the CRC-32
// stored for it. Nothing is ever extracted: the only bytes kept are those of
// a top-level file_id.diz. Whatever the file holds, the answer is a verdict;
// the limits below bound the work a hostile file can cause.
#ifndef CREVIK_ZIP_H
#define CREVIK_ZIP_H

#include <cstddef>
#include <cstdint>
#include <string>

// ---- limits ------------------------------------------------------------------
constexpr uint64_t kZipMemberInflateMax = uint64_t{1} << 30;  // 1 GiB inflated per member
constexpr uint64_t kZipTotalInflateMax = uint64_t{4} << 30;   // 4 GiB inflated per zip
constexpr uint64_t kZipDirectoryMax = uint64_t{32} << 20;     // 32 MiB of central directory
constexpr size_t kDizMax = 64 * 1024;  // a larger file_id.diz is tested, not kept

constexpr const char* kDizName = "file_id.diz";

// ---- verdicts ------------------------------------------------------------------
enum class ZipVerdict {
    Good,
    Unreadable,         // the file cannot be opened or read
    Truncated,          // ends before its end record, or a member runs past the end
    Damaged,            // not a zip, broken records or compressed data, directory and local headers disagree
    Empty,              // no members
    UnsupportedMethod,  // a compression method other than stored and deflate
    UnsupportedFormat,  // an archive spanning several files
    Encrypted,
    CrcMismatch,
    SizeMismatch,       // a member inflates to more (or fewer) bytes than it says
    OverLimit,          // over the limits above, or members sharing bytes: a zip bomb
    UnsafeName,         // an absolute name or one with a ".." step
};
const char* ZipVerdictText(ZipVerdict verdict);

struct ZipReport {
    ZipVerdict verdict = ZipVerdict::Unreadable;
    std::string member;    // the member the verdict is about; "" for the whole file
    uint32_t members = 0;  // entries in the central directory
    bool hasDiz = false;   // a file_id.diz (any letter case) at the top, kept whole
    std::string diz;
};

// Tests the zip at `path` (read through the platform layer).
ZipReport ZipTestFile(const char* path);

// ---- the volume count ------------------------------------------------------------
// The number of volumes a file_id.diz announces, 0 when no pattern matches.
// The first match in the text wins; N is digits or a run of 'x', 'X', '?' or
// '-', M is 1 to 999, blanks may stand inside the brackets and around '/':
//   [N/M]   (N/M)   disk N of M   (also "disc", any letter case)
int32_t DizVolumeCount(const char* text, size_t len);

#endif
