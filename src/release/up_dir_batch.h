// Upload status directories settled once at the end of a pass over many
// files, not once per file: each settling searches the whole release
// directory, so a pass of thousands would pay the square of the release.
// The directories end exactly as per-file settling leaves them.
#ifndef CREVIK_UP_DIR_BATCH_H
#define CREVIK_UP_DIR_BATCH_H

#include <iterator>
#include <list>
#include <string>
#include <unordered_map>

struct Release;

class UpDirBatch {
public:
    explicit UpDirBatch(Release& release) : release_(release) {}
    UpDirBatch(const UpDirBatch&) = delete;
    UpDirBatch& operator=(const UpDirBatch&) = delete;

    // Where a pass would call ShowUploader(release, user, group).
    void Due(const char* user, const char* group);
    // Before a change of the log that alters `user`'s figures, when the
    // settling that follows it is for (user, group): directories of the user
    // under another group waiting meanwhile must show the figures of now.
    void BeforeFiguresChange(const char* user, const char* group);
    // Settles every waiting directory, in the order of their last Due.
    void Flush();

private:
    using Pair = std::pair<std::string, std::string>;
    Release& release_;
    std::list<Pair> due_;
    std::unordered_map<std::string, std::list<Pair>::iterator> byKey_;  // user '\n' group
    std::unordered_map<std::string, int> perUser_;                     // pairs waiting per user
};

#endif
