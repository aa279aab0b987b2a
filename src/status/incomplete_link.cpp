#include <cstdio>
#include <cstring>

#include "status/status_internal.h"
#include "util/util.h"

namespace {

constexpr int32_t kEntryIsFile = 1;
constexpr int32_t kEntryIsLink = 3;  // a symbolic link where the system has them

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCaseSpan(const char* name, const char* word, size_t wordLen) {
    for (size_t i = 0; i < wordLen; ++i)
        if (name[i] == '\0' || Lower(name[i]) != Lower(word[i])) return false;
    return name[wordLen] == '\0';
}

// Words are compared where they stand, so no length of the setting can cut one.
bool IsExtraSubDir(const Settings& settings, const char* name) {
    const char* p = settings.extraSubDirs;
    while (*p) {
        while (*p == ' ') ++p;
        size_t len = std::strcspn(p, " ");
        if (len > 0 && EqualNoCaseSpan(name, p, len)) return true;
        p += len;
    }
    return false;
}

// Splits `path` into its directory and last component. A part cut to its
// limit would name some other place, so both come back empty then.
void SplitLast(const char* path, char parent[kMaxPath], char name[kMaxPath]) {
    GetDirPart(path, parent);
    GetNamePart(path, name);
    if (std::strlen(parent) + std::strlen(name) == std::strlen(path)) return;
    parent[0] = '\0';
    name[0] = '\0';
}

// parent + expansion of templ; false when empty or too long to be held whole.
bool ExpandInParent(const TemplateVars& vars, const char* parent, const char* templ, char out[kMaxPath]) {
    char name[kMaxPath];
    bool whole = ExpandWhole(vars, templ, name);
    int len = std::snprintf(out, kMaxPath, "%s%s", parent, name);
    return whole && *name && len > 0 && len < kMaxPath;
}

// The entry lies beside the release (beside the release that holds a CD1),
// so a relative link keeps working wherever the upload area is mounted.
void CreateLinkToRelease(const Settings& settings, const char* releaseDir, const char* entry) {
    char parent[kMaxPath], dirname[kMaxPath], sub[kMaxPath], target[kMaxPath];
    bool isSub = SplitReleasePath(settings, releaseDir, parent, dirname, sub);
    int len = isSub ? std::snprintf(target, sizeof target, "%s%c%s", dirname, kPathSep, sub)
                    : std::snprintf(target, sizeof target, "%s", dirname);
    if (len > 0 && len < kMaxPath) PlatCreateDirLink(entry, target);
}

}  // namespace

bool IsReleaseSubDir(const Settings& settings, const char* name) {
    if (Lower(name[0]) == 'c' && Lower(name[1]) == 'd') {
        size_t len = std::strlen(name);
        if (len == 3 && IsDigit(name[2])) return true;
        if (len == 4 && IsDigit(name[2]) && IsDigit(name[3])) return true;
    }
    return IsExtraSubDir(settings, name);
}

bool SplitReleasePath(const Settings& settings, const char* path, char parent[kMaxPath], char dirname[kMaxPath],
                      char sub[kMaxPath]) {
    char work[kMaxPath];
    CopyText(work, path);
    if (char* cut = std::strrchr(work, kPathSep)) *cut = '\0';
    SplitLast(work, parent, dirname);
    sub[0] = '\0';
    if (!*dirname || !IsReleaseSubDir(settings, dirname)) return false;
    CopyText(sub, kMaxPath, dirname);
    CopyText(work, parent);
    if (char* cut = std::strrchr(work, kPathSep)) *cut = '\0';
    SplitLast(work, parent, dirname);
    return true;
}

const char* IncompleteTemplate(const Settings& settings, bool isSub) {
    return isSub ? settings.parentB : settings.parentA;
}

bool ReleaseLinkOf(const Settings& settings, const char* releaseDir, ReleaseLink* link) {
    char dirname[kMaxPath], sub[kMaxPath];
    bool isSub = SplitReleasePath(settings, releaseDir, link->parent, dirname, sub);
    // A cut value could name another release's entry.
    if (!*dirname || std::strlen(dirname) > kValueMax || std::strlen(sub) > kValueMax) return false;
    link->templ = IncompleteTemplate(settings, isSub);
    MakeNameValue(dirname, link->release);
    MakeNameValue(sub, link->part);
    TemplateVars vars;
    vars.Add("dirname", link->release);
    vars.Add("sub", link->part);
    vars.AddAny(kParentPlaceholders);  // dirname and sub are taken already
    return ExpandInParent(vars, link->parent, link->templ, link->pattern);
}

void UpdateIncompleteLink(const Settings& settings, const char* releaseDir, const char* sfvCount, const char* good,
                          const char* percent, bool remove) {
    int32_t mode = settings.incompleteParent;
    if (mode == 0) return;
    ReleaseLink link;
    if (!ReleaseLinkOf(settings, releaseDir, &link)) return;

    char count[kValueMax + 1], checked[kValueMax + 1], share[kValueMax + 1], bar[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    MakeNameValue(good, checked);
    MakeNameValue(percent, share);
    MakeNameValue(ConfiguredProgressBar(settings, percent), bar);
    char target[kMaxPath];
    const char* const values[] = {link.release, link.part, checked, count, share, bar};
    TemplateVars vars;
    vars.AddAll(kParentPlaceholders, values);
    if (!ExpandInParent(vars, link.parent, link.templ, target)) return;

    DirFinder finder;
    if (const char* match = finder.Open(link.pattern)) {
        char existing[kMaxPath];
        int len = std::snprintf(existing, sizeof existing, "%s%s", link.parent, match);
        if (len <= 0 || len >= kMaxPath) return;
        if (!remove)
            PlatRename(existing, target);
        else if (mode == kEntryIsFile)
            PlatDeleteFile(existing);
        else if (!PlatRemoveDir(existing) && mode == kEntryIsLink)
            PlatDeleteFile(existing);  // the link itself, never what it points to
        return;
    }
    if (remove) return;
    if (mode == kEntryIsFile)
        PlatCreateEmptyFile(target);
    else if (mode == kEntryIsLink)
        CreateLinkToRelease(settings, releaseDir, target);
    else
        PlatCreateDir(target);
}
