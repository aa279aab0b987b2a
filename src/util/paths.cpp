#include "util/util.h"

#include <cstdio>
#include <algorithm>
#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

struct PathParts {
    size_t driveLen;  // 0 or 2
    size_t dirEnd;    // end of the directory, just past its last separator
    size_t extStart;  // start of the extension, or the path's length
    size_t length;
};

PathParts SplitPath(const char* path) {
    PathParts parts;
    parts.length = std::strlen(path);
    parts.driveLen = (parts.length >= 2 && path[1] == ':') ? 2 : 0;
    parts.dirEnd = parts.driveLen;
    for (size_t i = parts.driveLen; i < parts.length; ++i)
        if (IsSeparator(path[i])) parts.dirEnd = i + 1;
    parts.extStart = parts.length;
    for (size_t i = parts.length; i > parts.dirEnd; --i) {
        if (path[i - 1] == '.') {
            parts.extStart = i - 1;
            break;
        }
    }
    return parts;
}

void CopySpan(char* out, const char* from, size_t len) {
    if (len > static_cast<size_t>(kMaxPart)) len = kMaxPart;
    std::memmove(out, from, len);
    out[len] = '\0';
}

}  // namespace

void GetDirPart(const char* path, char out[kMaxPath]) {
    PathParts parts = SplitPath(path);
    size_t dirLen = parts.dirEnd - parts.driveLen;
    if (dirLen > static_cast<size_t>(kMaxPart)) dirLen = kMaxPart;
    char result[kMaxPath];
    std::memcpy(result, path, parts.driveLen);
    std::memcpy(result + parts.driveLen, path + parts.driveLen, dirLen);
    result[parts.driveLen + dirLen] = '\0';
    std::strcpy(out, result);
}

void GetNamePart(const char* path, char out[kMaxPath]) {
    PathParts parts = SplitPath(path);
    size_t nameLen = parts.extStart - parts.dirEnd;
    size_t extLen = parts.length - parts.extStart;
    if (nameLen > static_cast<size_t>(kMaxPart)) nameLen = kMaxPart;
    if (extLen > static_cast<size_t>(kMaxPart)) extLen = kMaxPart;
    char result[2 * kMaxPart + 1];
    std::memcpy(result, path + parts.dirEnd, nameLen);
    std::memcpy(result + nameLen, path + parts.extStart, extLen);
    result[nameLen + extLen] = '\0';
    CopyText(out, kMaxPath, result);
}

void GetExtPart(const char* path, char out[kMaxPath]) {
    PathParts parts = SplitPath(path);
    CopySpan(out, path + parts.extStart, parts.length - parts.extStart);
}

void SplitParentDir(const char* path, char parent[kMaxPath], char name[kMaxPath]) {
    char work[kMaxPath];
    GetDirPart(path, work);
    char* cut = std::strrchr(work, kPathSep);
    if (cut) *cut = '\0';
    GetNamePart(work, name);
    GetDirPart(work, parent);
}

bool FileExists(const char* path) { return PlatFileReadable(path); }

bool OpenLines(LineReader* reader, const char* path) {
    reader->file = PlatOpenRead(path);
    reader->pos = reader->end = 0;
    return reader->file != nullptr;
}

bool ReadLine(LineReader* reader, char* out, int size) {
    if (size <= 0) return false;
    const size_t room = static_cast<size_t>(size) - 1;
    size_t used = 0;
    while (used < room) {
        if (reader->pos == reader->end) {
            long got = PlatRead(reader->file, reader->buffer, sizeof reader->buffer);
            if (got <= 0) break;
            reader->pos = 0;
            reader->end = static_cast<size_t>(got);
        }
        // The rest of the line, or of the buffer, at once: a log of thousands of lines is read on every event.
        const char* start = reader->buffer + reader->pos;
        size_t take = std::min(reader->end - reader->pos, room - used);
        const char* newline = static_cast<const char*>(std::memchr(start, '\n', take));
        if (newline) take = static_cast<size_t>(newline - start) + 1;
        std::memcpy(out + used, start, take);
        used += take;
        reader->pos += take;
        if (newline) break;
    }
    out[used] = '\0';
    return used > 0;
}

void CloseLines(LineReader* reader) {
    if (reader->file) PlatClose(reader->file);
    reader->file = nullptr;
}
