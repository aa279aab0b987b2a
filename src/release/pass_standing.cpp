// The feed's standing through a pass of many verdicts, followed record by
// record. Measured whole (standing.cpp) before and after each verdict, a pass
// over a release of 10,000 files took 29 to 43 s.
//
// The whole measure counts each good listed file for its racer (the user of
// the first record of its key), then walks the log: a record whose key's
// first listed file is good adds its KB to its racer, and the lead goes only
// to a racer with strictly more KB. With no size below 0 the walk ends with
// the racer of most KB, among equals the one whose last gain came first in
// the log, and with no KB at all the racer of the first record it counted.
// So sums per racer and a few ordered sets give it, one key changed at a
// time. A size below 0 has the whole measure taken.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "release/release_internal.h"
#include "util/util.h"

namespace {

struct Logged {
    uint64_t at;  // rises with the place in the log
    const UploadRecord* record;  // until the record is replaced
    std::string user;
    int32_t sizeKb;
    bool walked;  // the walk counts it
};

// A key of the .sfv: its files (several when names share a key) and its
// records in the log's order, with what they count for as last added.
struct Key {
    std::vector<std::pair<int32_t, const SfvEntry*>> listed;  // place in the .sfv, entry; in that order
    std::vector<Logged> records;
    std::string group;            // of the first record
    std::vector<bool> goodFiles;  // of `listed`, with the first record
};

struct Racer {  // its good files
    int64_t kb = 0;
    int32_t files = 0;
    std::map<int32_t, uint32_t> goodByListedAt;  // the key of each, by its place in the .sfv
};

struct Walker {  // its records the walk counts
    int64_t kb = 0;
    std::set<uint64_t> at;     // where they are in the log
    std::set<uint64_t> gains;  // where those of more than 0 KB are
};

}  // namespace

struct PassStanding {
    bool followed = true;  // false: measured whole
    std::unordered_map<uint32_t, Key> keys;
    std::unordered_map<std::string, Racer> racers;
    std::unordered_map<std::string, Walker> walkers;
    uint64_t nextAt = 0;
    int32_t good = 0;
};

namespace {

// Adds (sign 1) or takes away (sign -1) what the key counts for.
void Count(PassStanding& pass, uint32_t keyValue, const Key& key, int sign) {
    if (key.records.empty()) return;
    const Logged& first = key.records.front();
    for (size_t i = 0; i < key.listed.size(); ++i) {
        if (!key.goodFiles[i]) continue;
        Racer& racer = pass.racers[first.user];
        pass.good += sign;
        racer.kb += sign * first.sizeKb;
        racer.files += sign;
        if (sign > 0) racer.goodByListedAt[key.listed[i].first] = keyValue;
        else racer.goodByListedAt.erase(key.listed[i].first);
        if (racer.files == 0) pass.racers.erase(first.user);
    }
    for (const Logged& record : key.records) {
        if (!record.walked) continue;
        Walker& walker = pass.walkers[record.user];
        walker.kb += sign * record.sizeKb;
        if (sign > 0) walker.at.insert(record.at);
        else walker.at.erase(record.at);
        if (record.sizeKb > 0 && sign > 0) walker.gains.insert(record.at);
        if (record.sizeKb > 0 && sign < 0) walker.gains.erase(record.at);
    }
}

// Takes what the key's records count for now, from the first; false where
// the pass cannot follow them.
bool Judge(Key* key) {
    key->goodFiles.assign(key->listed.size(), false);
    if (key->records.empty()) return true;
    const UploadRecord* first = key->records.front().record;
    key->group = first->group;
    for (size_t i = 0; i < key->listed.size(); ++i) key->goodFiles[i] = IsGoodFile(*key->listed[i].second, first);
    for (Logged& logged : key->records) {
        logged.user = logged.record->user;
        logged.sizeKb = logged.record->size;
        // The walk finds a record's file by its key: the first listed.
        logged.walked = IsGoodFile(*key->listed.front().second, logged.record);
        if (logged.sizeKb < 0) return false;
    }
    return true;
}

bool Build(Release& release, PassStanding& pass) {
    LoadListed(release);
    if (!release.sfv.entries || !release.log.IsRead()) return false;
    int32_t listedAt = 0;
    for (const ListNode* n = release.sfv.entries->Head(); n != release.sfv.entries->End(); n = n->next) {
        const SfvEntry* entry = static_cast<const SfvEntry*>(n->element);
        pass.keys[entry->key].listed.emplace_back(listedAt++, entry);
    }
    for (const ListNode* n = release.log.records->Head(); n != release.log.records->End(); n = n->next) {
        const UploadRecord& record = *static_cast<const UploadRecord*>(n->element);
        uint64_t at = pass.nextAt++;
        // A key no listed file could have, as the walk would look it up.
        if (!(record.key >= 0 && record.key <= 4294967295.0)) return false;
        uint32_t value = static_cast<uint32_t>(record.key);
        if (static_cast<double>(value) != record.key) return false;
        auto key = pass.keys.find(value);
        if (key == pass.keys.end()) continue;
        key->second.records.push_back(Logged{at, &record, {}, 0, false});
    }
    for (auto& [value, key] : pass.keys) {
        if (!Judge(&key)) return false;
        Count(pass, value, key, +1);
    }
    return true;
}

}  // namespace

StandingPass::StandingPass(Release& release) : release_(release) {
    if (!FeedIsOn(release.feed) || release.passStanding || !ReleaseHasSfv(release)) return;
    standing_ = std::make_unique<PassStanding>();
    if (!Build(release, *standing_)) standing_->followed = false;
    release.passStanding = standing_.get();
}

StandingPass::~StandingPass() {
    if (release_.passStanding == standing_.get()) release_.passStanding = nullptr;
}

void PassStandingFollow(Release& release, uint32_t keyValue) {
    PassStanding* pass = release.passStanding;
    if (!pass || !pass->followed) return;
    auto found = pass->keys.find(keyValue);
    if (found == pass->keys.end()) return;
    Key& key = found->second;
    Count(*pass, keyValue, key, -1);
    // A change reaches only the key's first record (the one a search finds):
    // replaced in place, taken away, added, or replaced as the log's second
    // to last, which puts it at the end, after every other.
    std::vector<Logged> rest;
    if (key.records.size() > 1) rest.assign(key.records.begin() + 1, key.records.end());
    auto isRest = [&](const UploadRecord* r) {
        return std::any_of(rest.begin(), rest.end(), [&](const Logged& l) { return l.record == r; });
    };
    uint64_t firstAt = key.records.empty() ? 0 : key.records.front().at;
    const UploadRecord* first = RecordOfKey(release.log, keyValue);
    const UploadRecord* last = static_cast<const UploadRecord*>(release.log.records->End()->prev->element);
    key.records.clear();
    if (first && !isRest(first)) key.records.push_back(Logged{first == last ? pass->nextAt++ : firstAt, first, {}, 0, false});
    key.records.insert(key.records.end(), rest.begin(), rest.end());
    if (last && first != last && last->key == static_cast<double>(keyValue) && !isRest(last))
        key.records.push_back(Logged{pass->nextAt++, last, {}, 0, false});
    if (!Judge(&key)) {
        pass->followed = false;
        return;
    }
    Count(*pass, keyValue, key, +1);
}

bool PassStandingNow(Release& release, FeedStanding* out) {
    const PassStanding* pass = release.passStanding;
    if (!pass || !pass->followed) return false;
    FeedStanding standing = {};
    standing.on = true;
    standing.files = release.sfv.ListedCount();
    standing.good = std::min(pass->good, standing.files);
    standing.percent = Percent(standing.good, standing.files);
    standing.complete = IsComplete(ReleaseCounts{standing.files, standing.good});
    // Only racers lead: the walk counts no one else.
    const std::string* leader = nullptr;
    const Walker* lead = nullptr;
    for (const auto& [user, racer] : pass->racers) {
        auto walker = pass->walkers.find(user);
        if (walker == pass->walkers.end() || walker->second.kb <= 0) continue;
        const Walker& w = walker->second;
        if (lead && (w.kb < lead->kb || (w.kb == lead->kb && *w.gains.rbegin() > *lead->gains.rbegin()))) continue;
        leader = &user;
        lead = &w;
    }
    uint64_t firstAt = UINT64_MAX;
    for (const auto& [user, racer] : pass->racers) {  // no KB at all: the first record counted
        auto walker = pass->walkers.find(user);
        if (lead || walker == pass->walkers.end() || walker->second.at.empty() || *walker->second.at.begin() > firstAt)
            continue;
        firstAt = *walker->second.at.begin();
        leader = &user;
    }
    if (leader) {
        const Racer& racer = pass->racers.at(*leader);
        CopyText(standing.leader, leader->c_str());
        CopyText(standing.leaderGroup, pass->keys.at(racer.goodByListedAt.begin()->second).group.c_str());
        standing.leaderKb = racer.kb;
        standing.leaderFiles = racer.files;
    }
    *out = standing;
    return true;
}
