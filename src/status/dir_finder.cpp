#include <cstdio>
#include <cstring>

#include "status/status_internal.h"
#include "util/util.h"

DirFinder::DirFinder() : search_(nullptr), hasMatch_(false) {
    current_.name[0] = '\0';
    current_.isDir = false;
    current_.kind = PlatEntryKind::None;
    directory_[0] = '\0';
    path_[0] = '\0';
}

DirFinder::~DirFinder() { Close(); }

const char* DirFinder::Open(const char* pattern) {
    Close();
    search_ = PlatFindFirst(pattern, &current_);
    if (!search_) return nullptr;
    GetDirPart(pattern, directory_);
    // A directory part cut to its limit would point elsewhere: no match then.
    if (std::strpbrk(pattern + std::strlen(directory_), "/\\")) {
        Close();
        return nullptr;
    }
    hasMatch_ = true;
    return current_.name;
}

void DirFinder::DeleteAll() {
    if (!hasMatch_) return;
    do {
        int len = std::snprintf(path_, sizeof path_, "%s%s", directory_, current_.name);
        if (len <= 0 || len >= kMaxPath) continue;  // a cut path names something else
        if (current_.isDir)
            PlatRemoveDir(path_);
        else
            PlatDeleteFile(path_);
    } while (PlatFindNext(search_, &current_));
    hasMatch_ = false;
}

// The match goes with the search, so a later DeleteAll touches nothing.
void DirFinder::Close() {
    if (search_) PlatFindClose(search_);
    search_ = nullptr;
    hasMatch_ = false;
}

void DeleteMatches(DirFinder& finder, const char* pattern) {
    if (finder.Open(pattern)) finder.DeleteAll();
}
