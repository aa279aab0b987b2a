// crevik cleanup [--dry-run] <dir>...: removes the incomplete entries in each
// directory whose release is gone, has no .sfv, or is complete.
//
// An entry's name does not say reliably which release it belongs to (with
// the default templates "[--INCOMPLETE--]-[A-CD1]" is release "A-CD1" or CD1
// of "A"), so the claim goes the other way round: every release directory
// beside the entries (and every CD1, CD2... below one) expands its own
// wildcard form, as the event runs do when they look for their entry. An
// entry that the A or B template can name and no release claims is stale; a
// claimed one stays while any release claiming it is incomplete.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/command_support.h"
#include "commands/commands.h"
#include "release/release.h"
#include "status/status.h"
#include "util/util.h"

namespace {

struct Claimant {
    std::string dir;   // the release directory, ending in the separator
    std::string form;  // the wildcard form of its entry
};

struct Sweep {
    const Settings* settings;
    char dir[kMaxPath];  // the directory swept, full path ending in the separator
    bool dryRun;
    int status;
    char anyA[kMaxPath], anyB[kMaxPath];
    bool hasA, hasB;
    std::vector<Claimant> claimants;
};

// Bare names in a directory (prefix ending in the separator); false, with
// errno set, when it cannot be read. An empty directory gives none.
bool ListNames(const char* dir, std::vector<std::string>* names) {
    char pattern[kMaxPath + 2];
    std::snprintf(pattern, sizeof pattern, "%s*", dir);
    PlatFindEntry entry;
    errno = 0;
    PlatFind* find = PlatFindFirst(pattern, &entry);
    if (!find) return errno == 0 || errno == ENOENT;
    do names->push_back(entry.name);
    while (PlatFindNext(find, &entry));
    PlatFindClose(find);
    return true;
}

bool Join(const char* dir, const std::string& name, char out[kMaxPath], bool asDir) {
    const char sep[2] = {asDir ? kPathSep : '\0', '\0'};
    int len = std::snprintf(out, kMaxPath, "%s%s%s", dir, name.c_str(), sep);
    return len > 0 && len < kMaxPath;
}

void AddClaimant(Sweep* sweep, const char* releaseDir) {
    char parent[kMaxPath], form[kMaxPath];
    if (IncompleteEntryForm(*sweep->settings, releaseDir, parent, form) && std::strcmp(parent, sweep->dir) == 0)
        sweep->claimants.push_back(Claimant{releaseDir, form});
}

// Every real directory here may be a release, and so may its CD1, CD2...
// Links are never followed: an entry can itself be a link to its release.
void FindClaimants(Sweep* sweep, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        char release[kMaxPath];
        if (!Join(sweep->dir, name, release, true) || PlatEntryKindOf(release) != PlatEntryKind::Dir) continue;
        AddClaimant(sweep, release);
        std::vector<std::string> subs;
        if (!ListNames(release, &subs)) continue;
        for (const std::string& sub : subs) {
            char subDir[kMaxPath];
            if (!IsReleaseSubDir(*sweep->settings, sub.c_str()) || !Join(release, sub, subDir, true)) continue;
            if (PlatEntryKindOf(subDir) == PlatEntryKind::Dir) AddClaimant(sweep, subDir);
        }
    }
}

// An entry is what an event run leaves: an empty file, an empty directory
// or a link. Anything else by such a name is someone's data.
bool LooksLikeEntry(const char* path, PlatEntryKind kind) {
    PlatFileInfo info;
    if (kind == PlatEntryKind::File) return PlatStatFile(path, &info) && info.bytes == 0;
    if (kind == PlatEntryKind::Link) return true;
    if (kind != PlatEntryKind::Dir) return false;
    std::vector<std::string> inside;
    char prefix[kMaxPath];
    return DirPrefix(path, prefix) && ListNames(prefix, &inside) && inside.empty();
}

enum class Judgement { Stale, Live, Unknown };

// The release entered: stale when it has no .sfv or is complete.
Judgement JudgeEntered(Release& release) {
    if (!ReadReleaseLog(release)) {
        Trouble(release.logPath, "cannot read the upload log");
        return Judgement::Unknown;
    }
    return ReleaseHasSfv(release) && !IsComplete(CountRelease(release)) ? Judgement::Live : Judgement::Stale;
}

void RemoveEntry(Sweep* sweep, const std::string& name, PlatEntryKind kind) {
    char path[kMaxPath];
    if (!Join(sweep->dir, name, path, false)) return;
    if (sweep->dryRun) {
        std::printf("%-9s%s\n", "STALE", ShownName(name.c_str()).c_str());
        return;
    }
    // A link goes as a name: what it points to is never touched.
    bool removed = kind == PlatEntryKind::Dir ? PlatRemoveDir(path) : PlatDeleteFile(path);
    if (removed)
        std::printf("%-9s%s\n", "REMOVED", ShownName(name.c_str()).c_str());
    else
        sweep->status = Trouble(path, std::strerror(errno));
}

void SweepEntry(Sweep* sweep, const std::string& name) {
    bool named = (sweep->hasA && PlatWildcardMatch(sweep->anyA, name.c_str())) ||
                 (sweep->hasB && PlatWildcardMatch(sweep->anyB, name.c_str()));
    if (!named || IsUploadLogName(*sweep->settings, name.c_str())) return;
    char path[kMaxPath];
    if (!Join(sweep->dir, name, path, false)) return;
    PlatEntryKind kind = PlatEntryKindOf(path);
    if (!LooksLikeEntry(path, kind)) return;
    std::vector<const Claimant*> claimants;
    for (const Claimant& claimant : sweep->claimants)
        if (PlatWildcardMatch(claimant.form.c_str(), name.c_str())) claimants.push_back(&claimant);
    if (claimants.empty()) {
        RemoveEntry(sweep, name, kind);
        return;
    }
    // Judged under each claiming release's run lock, and removed under the
    // last one's, so that no event reopens the release in between.
    for (size_t i = 0; i < claimants.size(); ++i) {
        const char* dir = claimants[i]->dir.c_str();
        Release release(*sweep->settings);
        char full[kMaxPath];
        if (!FullReleaseDir(dir, full) || !EnterRelease(release, full)) {
            sweep->status = Trouble(dir, std::strerror(errno));
            return;
        }
        Judgement judgement = JudgeEntered(release);
        if (judgement == Judgement::Stale && i + 1 == claimants.size()) RemoveEntry(sweep, name, kind);
        LeaveRelease(release);
        if (judgement == Judgement::Unknown) sweep->status = kExitTrouble;
        if (judgement != Judgement::Stale) return;
    }
}

int CleanDirectory(const Settings& settings, const char* arg, bool dryRun) {
    Sweep sweep{};
    sweep.settings = &settings;
    sweep.dryRun = dryRun;
    char full[kMaxPath];
    if (!PlatFullDirPath(arg, full)) return NoDirectory(arg);
    if (!DirPrefix(full, sweep.dir)) return kExitTrouble;
    std::vector<std::string> names;
    if (!ListNames(sweep.dir, &names)) return Trouble(arg, std::strerror(errno));

    sweep.hasA = AnyIncompleteEntryForm(settings, false, sweep.anyA);
    sweep.hasB = AnyIncompleteEntryForm(settings, true, sweep.anyB);
    FindClaimants(&sweep, names);
    for (const std::string& name : names) SweepEntry(&sweep, name);
    return sweep.status;
}

}  // namespace

int RunCleanup(const Settings& settings, int argc, const char* const* argv) {
    bool dryRun;
    if (!TakeCommandWords(&argc, &argv, "--dry-run", &dryRun, kCleanupUsage))
        return kExitTrouble;
    int status = kExitOk;
    for (int i = 0; i < argc; ++i) {
        int one = CleanDirectory(settings, argv[i], dryRun);
        if (one > status) status = one;
    }
    return status;
}
