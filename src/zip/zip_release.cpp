#include "zip/zip_release.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr const char* kZipPattern = "*.zip";

bool JoinPath(const char* dir, const char* name, char out[kMaxPath]) {
    int len = std::snprintf(out, kMaxPath, "%s%s", dir, name);
    return len > 0 && len < kMaxPath;
}

// The release's own file_id.diz, whatever its letter case; false without one.
bool FindDiz(const char* dir, char path[kMaxPath]) {
    char pattern[kMaxPath];
    PlatFindEntry entry;
    if (!JoinPath(dir, kDizName, pattern)) return false;
    PlatFind* find = PlatFindFirst(pattern, &entry);
    if (!find) return false;
    PlatFindClose(find);
    return !entry.isDir && JoinPath(dir, entry.name, path);
}

bool WriteDiz(const char* dir, const std::string& text) {
    char path[kMaxPath];
    if (FindDiz(dir, path) || !JoinPath(dir, kDizName, path) || PlatPathExists(path)) return false;
    PlatFile* file = PlatCreateTruncate(path);
    if (!file) return false;
    bool written = PlatWrite(file, text.data(), text.size());
    return PlatClose(file) && written;
}

}  // namespace

bool IsZipName(const char* name) {
    size_t len = std::strlen(name);
    return len > 4 && PlatWildcardMatch(kZipPattern, name);
}

std::vector<std::string> ZipNamesIn(const char* dir, const char* suffix) {
    std::vector<std::string> names;
    char pattern[kMaxPath];
    PlatFindEntry entry;
    bool fits = std::snprintf(pattern, kMaxPath, "%s%s%s", dir, kZipPattern, suffix) < kMaxPath;
    PlatFind* find = fits ? PlatFindFirst(pattern, &entry) : nullptr;
    if (!find) return names;
    do {
        char path[kMaxPath];  // a name whose path would be cut is left out
        if (entry.kind == PlatEntryKind::File && JoinPath(dir, entry.name, path)) names.push_back(entry.name);
    } while (PlatFindNext(find, &entry));
    PlatFindClose(find);
    return names;
}

int32_t ReleaseVolumeCount(const char* dir) {
    char path[kMaxPath];
    if (!FindDiz(dir, path)) return 0;
    PlatFile* file = PlatOpenSequential(path);
    if (!file) return 0;
    std::string text(kDizMax, '\0');
    size_t got = 0;
    for (long n; got < text.size() && (n = PlatRead(file, &text[got], text.size() - got)) > 0;)
        got += static_cast<size_t>(n);
    PlatClose(file);
    return DizVolumeCount(text.data(), got);
}

ZipReport TestReleaseZip(const char* dir, const char* name, bool* wroteDiz) {
    char path[kMaxPath];
    ZipReport report;
    *wroteDiz = false;
    if (!JoinPath(dir, name, path)) return report;
    report = ZipTestFile(path);
    if (report.hasDiz) *wroteDiz = WriteDiz(dir, report.diz);
    return report;
}
