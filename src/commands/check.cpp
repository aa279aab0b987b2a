// crevik check [--jobs N] <dir or .sfv file>...: verifies the files a .sfv lists against
// the files beside it. Reads only: no log, no marker, no status entry.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "util/ordered_list.h"
#include "sfv/crc_ahead.h"
#include "sfv/sfv.h"
#include "util/util.h"

namespace {

// By the listed name, in the release directory that is the working directory.
FileVerdict VerdictOf(const SfvEntry& entry, uint64_t* bytes, CrcAhead* ahead) {
    PlatFileInfo info;
    *bytes = PlatStatFile(entry.name, &info) ? info.bytes : 0;
    if (!PlatPathExists(entry.name)) return FileVerdict::Missing;
    return ListedFileIsGood(entry, ahead) ? FileVerdict::Ok : FileVerdict::Bad;
}

// The .sfv and the directory of its files named by one argument; false (with
// the message printed) when the argument names neither.
bool LocateSfv(const char* arg, char dir[kMaxPath], char sfvPath[kMaxPath]) {
    if (FileExists(arg)) {
        GetDirPart(arg, dir);
        CopyText(sfvPath, kMaxPath, arg);
        return true;
    }
    if (!PlatPathExists(arg)) {
        Trouble(arg, "no such file or directory");
        return false;
    }
    if (!DirPrefix(arg, dir)) return false;
    char name[kMaxPath];
    if (!FindSfvName(dir, name)) {
        Trouble(arg, "no .sfv");
        return false;
    }
    if (std::snprintf(sfvPath, kMaxPath, "%s%s", dir, name) >= kMaxPath) {
        Trouble(arg, "path too long");
        return false;
    }
    return true;
}

// Lists the verdicts of one release whose .sfv entries are read; the
// working directory is the release's meanwhile.
ReleaseTally CheckListed(OrderedList* entries, int jobs) {
    ReleaseTally tally = {};
    // Nothing changes a file meanwhile: every listed one may be read ahead.
    std::vector<std::string> names;
    for (void* e = entries->First(); e; e = entries->Next()) names.push_back(static_cast<const SfvEntry*>(e)->name);
    CrcAhead ahead(std::move(names), jobs);
    Progress progress;
    ProgressBegin(&progress, entries->Count());
    for (void* e = entries->First(); e; e = entries->Next()) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(e);
        uint64_t bytes = 0;
        ReportVerdict(&progress, VerdictOf(entry, &bytes, &ahead), entry.name, &tally);
        ProgressStep(&progress, bytes);
    }
    ProgressEnd(&progress);
    return tally;
}

int CheckOne(const Settings& settings, const char* arg, int jobs) {
    char dir[kMaxPath], sfvPath[kMaxPath], full[kMaxPath], before[kMaxPath];
    if (!LocateSfv(arg, dir, sfvPath)) return kExitTrouble;
    OrderedList entries(sizeof(SfvEntry), CompareSfvKeys);
    if (!ReadSfvEntries(sfvPath, &entries)) return Trouble(sfvPath, "cannot read the .sfv");
    if (entries.Count() == 0) return Trouble(sfvPath, "the .sfv lists no file");
    if (!PlatFullDirPath(*dir ? dir : ".", full) || !PlatCurrentDir(before) || !PlatChangeDir(full))
        return Trouble(arg, std::strerror(errno));

    ReleaseTally tally = CheckListed(&entries, jobs);
    PlatChangeDir(before);
    char prefix[kMaxPath], label[kMaxPath];
    if (!DirPrefix(full, prefix)) return kExitTrouble;
    ReleaseLabel(settings, prefix, label);
    ReportSummary(label, tally);
    return TallyStatus(tally);
}

}  // namespace

int RunCheck(const Settings& settings, int argc, const char* const* argv) {
    const char* usage = "crevik check [--jobs N] <dir or .sfv file>...";
    bool none;
    int jobs;
    std::vector<const char*> words;
    if (!TakeJobsOption(&argc, &argv, &words, &jobs, usage) || !TakeCommandWords(&argc, &argv, nullptr, &none, usage))
        return kExitTrouble;
    int status = kExitOk;
    for (int i = 0; i < argc; ++i) {
        int one = CheckOne(settings, argv[i], jobs);
        if (one > status) status = one;
    }
    return status;
}
