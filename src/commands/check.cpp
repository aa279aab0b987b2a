// crevik check [--jobs N] <dir or .sfv file>...: verifies the files a .sfv
// lists against the files beside it, or tests the zips of a zip release.
// Reads only: no log, no marker, no status entry, no file_id.diz.
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
#include "release/release.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

// By the listed name, in the release directory that is the working
// directory. A file that is there but cannot be read has no verdict: false.
bool VerdictOf(const SfvEntry& entry, const char* dir, FileVerdict* verdict, uint64_t* bytes, CrcAhead* ahead) {
    PlatFileInfo info;
    *bytes = PlatStatFile(entry.name, &info) ? info.bytes : 0;
    *verdict = FileVerdict::Missing;
    if (!PlatPathExists(entry.name)) return true;
    if (CannotRead(dir, entry.name)) return false;
    *verdict = ListedFileIsGood(entry, ahead) ? FileVerdict::Ok : FileVerdict::Bad;
    return true;
}

// The .sfv and the directory of its files named by one argument, or "" as
// the .sfv of a zip release; false (with the message printed) when the
// argument names neither. A file must be a .sfv by its name: anything else
// read as one gives garbage.
bool LocateSfv(const Settings& settings, const char* arg, char dir[kMaxPath], char sfvPath[kMaxPath]) {
    if (!PlatPathExists(arg)) {
        Trouble(arg, errno == ENOENT ? "no such file or directory" : std::strerror(errno));
        return false;
    }
    if (!PlatFullDirPath(arg, dir)) {
        char ext[kMaxPath];
        GetExtPart(arg, ext);
        if (!EqualNoCase(ext, ".sfv")) {
            Trouble(arg, "not a .sfv file");
            return false;
        }
        GetDirPart(arg, dir);
        CopyText(sfvPath, kMaxPath, arg);
        return true;
    }
    if (!DirPrefix(arg, dir)) return false;
    char name[kMaxPath];
    errno = 0;
    if (!FindSfvName(dir, name)) {
        int error = errno;
        if (ZipsMakeRelease(settings, dir)) {
            *sfvPath = '\0';
            return true;
        }
        // A directory that cannot be read is no answer about its .sfv.
        Trouble(arg, error && error != ENOENT ? std::strerror(error) : "no .sfv");
        return false;
    }
    if (std::snprintf(sfvPath, kMaxPath, "%s%s", dir, name) >= kMaxPath) {
        Trouble(arg, "path too long");
        return false;
    }
    return true;
}

// Lists the verdicts of one release whose .sfv entries are read; the
// working directory is the release's meanwhile. *unreadable tells whether a
// file had no verdict.
ReleaseTally CheckListed(OrderedList* entries, const char* dir, bool* unreadable, int jobs) {
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
        FileVerdict verdict;
        if (VerdictOf(entry, dir, &verdict, &bytes, &ahead))
            ReportVerdict(&progress, verdict, entry.name, &tally);
        else
            *unreadable = true;
        ProgressStep(&progress, bytes);
    }
    ProgressEnd(&progress);
    return tally;
}

// The zips of a zip release, each tested; the count comes from the release's
// file_id.diz, or else from the first good zip that holds one.
ReleaseTally CheckZips(const char* dir, bool* unreadable) {
    ReleaseTally tally = {};
    std::vector<std::string> zips = ZipNamesIn("");
    int32_t count = ReleaseVolumeCount("");
    Progress progress;
    ProgressBegin(&progress, static_cast<int32_t>(zips.size()));
    for (const std::string& name : zips) {
        PlatFileInfo info;
        ProgressStep(&progress, PlatStatFile(name.c_str(), &info) ? info.bytes : 0);
        if (CannotRead(dir, name.c_str())) {
            *unreadable = true;
            continue;
        }
        ZipReport report = ZipTestFile(name.c_str());
        bool good = report.verdict == ZipVerdict::Good;
        ReportVerdict(&progress, good ? FileVerdict::Ok : FileVerdict::Bad, name.c_str(), &tally);
        if (count == 0 && good && report.hasDiz) count = DizVolumeCount(report.diz.data(), report.diz.size());
    }
    ProgressEnd(&progress);
    AddVolumeCount(count, &tally);
    return tally;
}

int CheckOne(const Settings& settings, const char* arg, int jobs) {
    char dir[kMaxPath], sfvPath[kMaxPath], full[kMaxPath], before[kMaxPath];
    if (!LocateSfv(settings, arg, dir, sfvPath)) return kExitTrouble;
    OrderedList entries(sizeof(SfvEntry), CompareSfvKeys);
    if (*sfvPath && !ReadSfvEntries(sfvPath, &entries, true)) return Trouble(sfvPath, std::strerror(errno));
    if (*sfvPath && entries.Count() == 0) return Trouble(sfvPath, "the .sfv lists no file");
    if (!PlatFullDirPath(*dir ? dir : ".", full) || !PlatCurrentDir(before) || !PlatChangeDir(full))
        return Trouble(arg, std::strerror(errno));

    char prefix[kMaxPath], label[kMaxPath];
    if (!DirPrefix(full, prefix)) return kExitTrouble;
    bool unreadable = false;
    ReleaseTally tally = *sfvPath ? CheckListed(&entries, prefix, &unreadable, jobs) : CheckZips(prefix, &unreadable);
    PlatChangeDir(before);
    ReleaseLabel(settings, prefix, label);
    ReportSummary(label, tally);
    return unreadable ? kExitTrouble : TallyStatus(tally);
}

}  // namespace

int RunCheck(const Settings& settings, int argc, const char* const* argv) {
    bool none;
    const char* usage = kCheckUsage;
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
