// crevik check <dir or .sfv file>...: verifies the files a .sfv lists against
// the files beside it. Reads only: no log, no marker, no status entry.
#include <cstdio>
#include <cstring>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "log/ordered_list.h"
#include "sfv/sfv.h"
#include "util/util.h"

namespace {

// Room for the release directory and a listed name without cutting.
constexpr size_t kListedPath = 2 * kMaxPath;

FileVerdict VerdictOf(const char* path, const SfvEntry& entry, uint64_t* bytes) {
    *bytes = 0;
    if (!PlatPathExists(path)) return FileVerdict::Missing;
    uint32_t crc = FileCrc32(path, bytes);
    return FileExists(path) && static_cast<double>(crc) == entry.crc ? FileVerdict::Ok : FileVerdict::Bad;
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

int CheckOne(const char* arg) {
    char dir[kMaxPath], sfvPath[kMaxPath];
    if (!LocateSfv(arg, dir, sfvPath)) return kExitTrouble;
    OrderedList entries(sizeof(SfvEntry), CompareSfvKeys);
    if (!ReadSfvEntries(sfvPath, &entries)) return Trouble(sfvPath, "cannot read the .sfv");
    if (entries.Count() == 0) return Trouble(sfvPath, "the .sfv lists no file");

    ReleaseTally tally = {};
    ProgressBegin(entries.Count());
    for (void* e = entries.First(); e; e = entries.Next()) {
        const SfvEntry& entry = *static_cast<const SfvEntry*>(e);
        char path[kListedPath];
        std::snprintf(path, sizeof path, "%s%s", dir, entry.name);
        uint64_t bytes = 0;
        ReportVerdict(VerdictOf(path, entry, &bytes), entry.name, &tally);
        ProgressStep(bytes);
    }
    ProgressEnd();
    // "." or a relative path says little: the label comes from the full path.
    char full[kMaxPath], fullDir[kMaxPath], label[kMaxPath];
    if (PlatFullPath(*dir ? dir : ".", full) && DirPrefix(full, fullDir))
        ReleaseLabel(fullDir, label);
    else
        ReleaseLabel(dir, label);
    ReportSummary(label, tally);
    return TallyStatus(tally);
}

}  // namespace

int RunCheck(int argc, const char* const* argv) {
    if (argc < 1) {
        std::fputs("usage: crevik check <dir or .sfv file>...\n", stderr);
        return kExitTrouble;
    }
    int status = kExitOk;
    for (int i = 0; i < argc; ++i) {
        int one = CheckOne(argv[i]);
        if (one > status) status = one;
    }
    return status;
}
