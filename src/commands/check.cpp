// crevik check <dir or .sfv file>...: verifies the files a .sfv lists against
// the files beside it, or tests the zips of a zip release. Reads only: no log,
// no marker, no status entry, no file_id.diz.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "util/ordered_list.h"
#include "sfv/sfv.h"
#include "release/release.h"
#include "util/util.h"
#include "zip/zip_release.h"

namespace {

// By the listed name, in the release directory that is the working directory.
FileVerdict VerdictOf(const SfvEntry& entry, uint64_t* bytes) {
    PlatFileInfo info;
    *bytes = PlatStatFile(entry.name, &info) ? info.bytes : 0;
    if (!PlatPathExists(entry.name)) return FileVerdict::Missing;
    return ListedFileIsGood(entry) ? FileVerdict::Ok : FileVerdict::Bad;
}

// The .sfv and the directory of its files named by one argument, or "" as
// the .sfv of a zip release; false (with the message printed) when the
// argument names neither.
bool LocateSfv(const Settings& settings, const char* arg, char dir[kMaxPath], char sfvPath[kMaxPath]) {
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
    if (HoldsZipRelease(settings, dir)) {
        *sfvPath = '\0';
        return true;
    }
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
ReleaseTally CheckListed(OrderedList* entries) {
    ReleaseTally tally = {};
    Progress progress;
    ProgressBegin(&progress, entries->Count());
    for (void* e = entries->First(); e; e = entries->Next()) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(e);
        uint64_t bytes = 0;
        ReportVerdict(&progress, VerdictOf(entry, &bytes), entry.name, &tally);
        ProgressStep(&progress, bytes);
    }
    ProgressEnd(&progress);
    return tally;
}

// The zips of a zip release, each tested; the count comes from the release's
// file_id.diz, or else from the first good zip that holds one.
ReleaseTally CheckZips() {
    ReleaseTally tally = {};
    std::vector<std::string> zips = ZipNamesIn("");
    int32_t count = ReleaseVolumeCount("");
    Progress progress;
    ProgressBegin(&progress, static_cast<int32_t>(zips.size()));
    for (const std::string& name : zips) {
        ZipReport report = ZipTestFile(name.c_str());
        PlatFileInfo info;
        bool good = report.verdict == ZipVerdict::Good;
        ReportVerdict(&progress, good ? FileVerdict::Ok : FileVerdict::Bad, name.c_str(), &tally);
        if (count == 0 && good && report.hasDiz) count = DizVolumeCount(report.diz.data(), report.diz.size());
        ProgressStep(&progress, PlatStatFile(name.c_str(), &info) ? info.bytes : 0);
    }
    ProgressEnd(&progress);
    AddVolumeCount(count, &tally);
    return tally;
}

int CheckOne(const Settings& settings, const char* arg) {
    char dir[kMaxPath], sfvPath[kMaxPath], full[kMaxPath], before[kMaxPath];
    if (!LocateSfv(settings, arg, dir, sfvPath)) return kExitTrouble;
    OrderedList entries(sizeof(SfvEntry), CompareSfvKeys);
    if (*sfvPath && !ReadSfvEntries(sfvPath, &entries)) return Trouble(sfvPath, "cannot read the .sfv");
    if (*sfvPath && entries.Count() == 0) return Trouble(sfvPath, "the .sfv lists no file");
    if (!PlatFullDirPath(*dir ? dir : ".", full) || !PlatCurrentDir(before) || !PlatChangeDir(full))
        return Trouble(arg, std::strerror(errno));

    ReleaseTally tally = *sfvPath ? CheckListed(&entries) : CheckZips();
    PlatChangeDir(before);
    char prefix[kMaxPath], label[kMaxPath];
    if (!DirPrefix(full, prefix)) return kExitTrouble;
    ReleaseLabel(settings, prefix, label);
    ReportSummary(label, tally);
    return TallyStatus(tally);
}

}  // namespace

int RunCheck(const Settings& settings, int argc, const char* const* argv) {
    bool none;
    if (!TakeCommandWords(&argc, &argv, nullptr, &none, "crevik check <dir or .sfv file>...")) return kExitTrouble;
    int status = kExitOk;
    for (int i = 0; i < argc; ++i) {
        int one = CheckOne(settings, argv[i]);
        if (one > status) status = one;
    }
    return status;
}
