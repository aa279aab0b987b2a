#include "release/up_dir_batch.h"

#include "release/release.h"

namespace {

std::string KeyOf(const std::string& user, const std::string& group) { return user + '\n' + group; }

}  // namespace

// A settling leaves the directory matching its pattern as the figures of the
// moment name it, whatever was there: only the last one of a pair counts,
// provided the user's figures did not change after it and the order of the
// last ones is kept.
void UpDirBatch::Due(const char* user, const char* group) {
    std::string key = KeyOf(user, group);
    auto found = byKey_.find(key);
    if (found != byKey_.end()) {
        due_.splice(due_.end(), due_, found->second);
        return;
    }
    due_.emplace_back(user, group);
    byKey_.emplace(std::move(key), std::prev(due_.end()));
    ++perUser_[user];
}

void UpDirBatch::BeforeFiguresChange(const char* user, const char* group) {
    auto waiting = perUser_.find(user);
    if (waiting == perUser_.end()) return;
    int same = byKey_.count(KeyOf(user, group)) ? 1 : 0;
    if (waiting->second > same) Flush();
}

void UpDirBatch::Flush() {
    for (const Pair& pair : due_) ShowUploader(release_, pair.first.c_str(), pair.second.c_str());
    due_.clear();
    byKey_.clear();
    perUser_.clear();
}
