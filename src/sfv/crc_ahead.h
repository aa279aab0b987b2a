// CRCs of a pass's files read by a few threads ahead of the pass, which
// judges the files one by one in its own order and waits only when the
// threads are behind. With one job nothing is read ahead: the pass reads
// each file at its turn, as a single-threaded run does.
#ifndef CREVIK_CRC_AHEAD_H
#define CREVIK_CRC_AHEAD_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The jobs of a pass when nobody says: one per core.
int DefaultJobs();

// The names of a list that a pass may read ahead, in order: a name the pass
// could change before its turn stays out (it is read at its turn). A verdict
// on a file renames or deletes it, its "NAME.bad" and its "NAME-missing";
// letter case aside, so that Windows agrees.
std::vector<std::string> SafeToReadAhead(const std::vector<std::string>& listed);

class CrcAhead {
public:
    // Starts reading `names` (relative to the working directory, which stays
    // put until the object is gone) with `jobs` threads.
    CrcAhead(std::vector<std::string> names, int jobs);
    ~CrcAhead();
    CrcAhead(const CrcAhead&) = delete;
    CrcAhead& operator=(const CrcAhead&) = delete;

    // FileCrc32(name) as read ahead, waited for; false when `name` was not
    // read ahead or did not open then: the caller reads it itself.
    bool Take(const char* name, uint32_t* crc);

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
};

#endif
