// Status directories are found among the release's sub-directories. Reading
// the listing of a release of thousands of files costs milliseconds on every
// event, so they are taken from the note the last run kept with the release
// directory, whenever its link count shows that the note names them all; a
// listing renews the note.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "status/status_internal.h"

namespace {

constexpr const char* kHere = ".";  // the release directory: the working directory of the run

struct Subdirs {
    std::vector<std::string> names;
    std::string noted;  // the note as it stands
    bool all = false;   // the names are every sub-directory: the note may be renewed from them
};

std::vector<std::string> SplitNames(const std::string& text) {
    std::vector<std::string> names;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\0', at);
        if (end == std::string::npos) end = text.size();
        names.push_back(text.substr(at, end - at));
    }
    return names;
}

bool SameEntry(const PlatEntryId& a, const PlatEntryId& b) { return a.device == b.device && a.inode == b.inode; }

// Every sub-directory, from the note: each name must still be one, and
// their count the link count's (`count`).
bool NotedSubdirs(long count, Subdirs* dirs) {
    char note[kDirNoteMax];
    size_t len = 0;
    if (count > 0 && !PlatReadDirNote(kHere, note, &len)) return false;
    dirs->noted.assign(note, len);
    std::vector<PlatEntryId> seen;
    for (std::string& name : SplitNames(dirs->noted)) {
        PlatEntryId id;
        if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos) continue;
        if (!PlatDirEntryId(name.c_str(), &id)) continue;  // gone, or not a directory
        // Two spellings of one directory (a file system that ignores letter case) count once.
        if (std::any_of(seen.begin(), seen.end(), [&](const PlatEntryId& s) { return SameEntry(s, id); })) continue;
        seen.push_back(id);
        dirs->names.push_back(std::move(name));
    }
    dirs->all = static_cast<long>(dirs->names.size()) == count;
    return dirs->all;
}

// The directories that match `pattern`, in the order of a search.
std::vector<std::string> MatchingDirs(const char* pattern, Subdirs* dirs) {
    std::vector<std::string> matches;
    // -1: the pattern reaches into another directory, or no count is kept.
    long count = std::strpbrk(pattern, "/\\") ? -1 : PlatSubdirCount(kHere);
    if (count >= 0 && NotedSubdirs(count, dirs)) {
        for (const std::string& name : dirs->names)
            if (PlatWildcardMatch(pattern, name.c_str())) matches.push_back(name);
        std::sort(matches.begin(), matches.end(),
                  [](const std::string& a, const std::string& b) { return PlatCompareNames(a.c_str(), b.c_str()) < 0; });
        return matches;
    }
    PlatSubdirNames listed;
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(pattern, &entry, &listed);
    if (find) {
        do
            if (entry.isDir) matches.push_back(entry.name);
        while (PlatFindNext(find, &entry));
        PlatFindClose(find);
    }
    *dirs = Subdirs{};
    if (count >= 0 && listed.complete) {
        dirs->names = SplitNames(listed.names);
        dirs->all = true;
    }
    return matches;
}

void Forget(Subdirs* dirs, const std::string& name) {
    dirs->names.erase(std::remove(dirs->names.begin(), dirs->names.end(), name), dirs->names.end());
}

// The note names the sub-directories as this run leaves them; one that
// would not fit is dropped, and the next run reads the listing.
void RenewNote(Subdirs* dirs) {
    if (!dirs->all) return;
    std::sort(dirs->names.begin(), dirs->names.end());
    std::string note;
    for (const std::string& name : dirs->names) note.append(name.c_str(), name.size() + 1);
    if (note.size() > kDirNoteMax) note.clear();
    if (note != dirs->noted) PlatWriteDirNote(kHere, note.data(), note.size());
}

}  // namespace

// Only directories: a file of the same name is somebody's upload, never
// renamed or removed for a status entry.
void SettleStatusDir(const char* pattern, const char* target) {
    Subdirs dirs;
    std::vector<std::string> matches = MatchingDirs(pattern, &dirs);
    if (matches.empty()) {
        if (target && PlatCreateDir(target)) dirs.names.push_back(target);
        RenewNote(&dirs);
        return;
    }
    const std::string& first = matches.front();
    if (target ? PlatRename(first.c_str(), target) : PlatRemoveDir(first.c_str())) {
        Forget(&dirs, first);
        if (target) dirs.names.push_back(target);
    }
    for (size_t i = 1; i < matches.size(); ++i)
        if (PlatRemoveDir(matches[i].c_str())) Forget(&dirs, matches[i]);
    RenewNote(&dirs);
}
