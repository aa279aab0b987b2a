// Pieces shared by the release's files; not for use outside src/release/.
#ifndef CREVIK_RELEASE_INTERNAL_H
#define CREVIK_RELEASE_INTERNAL_H

#include <vector>

#include "release/release.h"

// The log's records by key: one search per listed file rather than a walk of
// the whole log for each.
class RecordIndex {
public:
    explicit RecordIndex(const UploadLog& log);
    // The file's record: the first in the log with its key, as FindRecord has it.
    const UploadRecord* Find(uint32_t key) const;

private:
    std::vector<const UploadRecord*> byKey_;
};

// The release's list, read once: its .sfv's entries, or a zip release's zips
// and those set aside as "NAME.bad", with its volume count.
void LoadListed(Release& release);

// Calls `visit(entry, record)` for every listed file, with its record or null.
template <typename Visit> void ForEachListed(Release& release, const RecordIndex& index, Visit visit) {
    if (!release.sfv.entries) return;
    for (const ListNode* n = release.sfv.entries->Head(); n != release.sfv.entries->End(); n = n->next) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(n->element);
        visit(entry, index.Find(entry.key));
    }
}

#endif
