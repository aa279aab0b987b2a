// Pieces shared by the release's files; not for use outside src/release/.
#ifndef CREVIK_RELEASE_INTERNAL_H
#define CREVIK_RELEASE_INTERNAL_H

#include <memory>

#include "release/release.h"

// The file's record: the first in the log with its key, as FindRecord has it,
// from the log's own index and without moving its cursor.
inline const UploadRecord* RecordOfKey(const UploadLog& log, uint32_t key) {
    if (!log.records) return nullptr;
    UploadRecord probe = {};
    probe.key = static_cast<double>(key);
    return static_cast<const UploadRecord*>(log.records->Peek(&probe));
}

// The release's list, read once: its .sfv's entries, or a zip release's zips
// and those set aside as "NAME.bad", with its volume count.
void LoadListed(Release& release);

// Calls `visit(entry, record)` for every listed file, with its record or null.
template <typename Visit> void ForEachListed(Release& release, Visit visit) {
    if (!release.sfv.entries) return;
    for (const ListNode* n = release.sfv.entries->Head(); n != release.sfv.entries->End(); n = n->next) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(n->element);
        visit(entry, RecordOfKey(release.log, entry.key));
    }
}

// A pass that lands verdicts on many files one after another (the CRC pass
// of a .sfv that came last) follows the feed's standing record by record for
// as long as it lives: measured whole before and after each verdict, it
// would cost the square of the release.
class StandingPass {
public:
    explicit StandingPass(Release& release);
    ~StandingPass();
    StandingPass(const StandingPass&) = delete;
    StandingPass& operator=(const StandingPass&) = delete;

private:
    Release& release_;
    std::unique_ptr<PassStanding> standing_;
};
// The standing a StandingPass follows; false without one, or where the pass
// could not follow this release and TakeStanding measures it whole.
bool PassStandingNow(Release& release, FeedStanding* out);
// The record of a listed file's key may have changed: the pass follows it.
void PassStandingFollow(Release& release, uint32_t key);

#endif
