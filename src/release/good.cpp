// "A file is good", the release's counts and its percentage: the rules the
// rest of the release's files build on.
#include <algorithm>

#include "release/release_internal.h"

namespace {

bool KeyLess(const UploadRecord* a, const UploadRecord* b) { return a->key < b->key; }

}  // namespace

RecordIndex::RecordIndex(const UploadLog& log) {
    if (!log.records) return;
    for (const ListNode* n = log.records->Head(); n != log.records->End(); n = n->next)
        byKey_.push_back(static_cast<const UploadRecord*>(n->element));
    std::stable_sort(byKey_.begin(), byKey_.end(), KeyLess);
}

const UploadRecord* RecordIndex::Find(uint32_t key) const {
    UploadRecord probe;
    probe.key = static_cast<double>(key);
    auto found = std::lower_bound(byKey_.begin(), byKey_.end(), &probe, KeyLess);
    return found != byKey_.end() && (*found)->key == probe.key ? *found : nullptr;
}

bool IsGoodFile(const SfvEntry& entry, const UploadRecord* record) {
    return (record && record->status == 'S') || entry.good;
}

bool ReleaseHasSfv(Release& release) {
    // Entries already read came from one; a run asks often, a search lists the directory.
    if (release.sfv.entries && release.sfv.entries->Count() > 0) return true;
    char name[kMaxPath];
    return FindSfvName(release.dir, name);
}

ReleaseCounts CountRelease(Release& release) {
    ReleaseCounts counts = {0, 0};
    if (!ReleaseHasSfv(release)) return counts;
    release.sfv.LoadSfvFile(release.dir);
    ForEachListed(release, RecordIndex(release.log), [&](const SfvEntry& entry, const UploadRecord* record) {
        ++counts.files;
        if (IsGoodFile(entry, record)) ++counts.good;
    });
    return counts;
}

bool IsComplete(const ReleaseCounts& counts) { return counts.files > 0 && counts.good == counts.files; }

const SfvEntry* FindListed(Release& release, const char* name) {
    if (!ReleaseHasSfv(release)) return nullptr;
    release.sfv.LoadSfvFile(release.dir);
    return release.sfv.Find(name);
}

int32_t Percent(int64_t good, int64_t files) {
    if (files == 0) return 0;
    // 64-bit so that absurd counts cannot overflow; the result is then clamped.
    int64_t percent = good * 100 / files;
    if (percent > INT32_MAX) return INT32_MAX;
    if (percent < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(percent);
}

