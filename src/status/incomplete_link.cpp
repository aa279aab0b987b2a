#include <cstdio>
#include <cstring>

#include "config/ini_config.h"
#include "main/run_state.h"
#include "status/status_internal.h"
#include "util/util.h"

namespace {

constexpr const char* kDefaultParentA = "[--INCOMPLETE--]-[$dirname]";
constexpr const char* kDefaultParentB = "[--INCOMPLETE--]-[$dirname-$sub]";
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
bool IsExtraSubDir(const char* name) {
    const char* p = theConfig.GetString(kGeneral, "EXTRA_SUB_DIRS", " ");
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
bool ExpandInParent(const char* parent, const char* templ, char out[kMaxPath]) {
    char name[kMaxPath];
    bool whole = ExpandWhole(templ, name);
    int len = std::snprintf(out, kMaxPath, "%s%s", parent, name);
    return whole && *name && len > 0 && len < kMaxPath;
}

// The entry lies beside the release (beside the release that holds a CD1),
// so a relative link keeps working wherever the upload area is mounted.
void CreateLinkToRelease(const char* entry) {
    char parent[kMaxPath], dirname[kMaxPath], sub[kMaxPath], target[kMaxPath];
    bool isSub = SplitReleasePath(ReleaseDir, parent, dirname, sub);
    int len = isSub ? std::snprintf(target, sizeof target, "%s%c%s", dirname, kPathSep, sub)
                    : std::snprintf(target, sizeof target, "%s", dirname);
    if (len > 0 && len < kMaxPath) PlatCreateDirLink(entry, target);
}

}  // namespace

bool IsReleaseSubDir(const char* name) {
    if (Lower(name[0]) == 'c' && Lower(name[1]) == 'd') {
        size_t len = std::strlen(name);
        if (len == 3 && IsDigit(name[2])) return true;
        if (len == 4 && IsDigit(name[2]) && IsDigit(name[3])) return true;
    }
    return IsExtraSubDir(name);
}

bool SplitReleasePath(const char* path, char parent[kMaxPath], char dirname[kMaxPath], char sub[kMaxPath]) {
    char work[kMaxPath];
    CopyText(work, path);
    if (char* cut = std::strrchr(work, kPathSep)) *cut = '\0';
    SplitLast(work, parent, dirname);
    sub[0] = '\0';
    if (!*dirname || !IsReleaseSubDir(dirname)) return false;
    CopyText(sub, kMaxPath, dirname);
    CopyText(work, parent);
    if (char* cut = std::strrchr(work, kPathSep)) *cut = '\0';
    SplitLast(work, parent, dirname);
    return true;
}

bool ReleaseLinkOf(const char* releaseDir, ReleaseLink* link) {
    char dirname[kMaxPath], sub[kMaxPath];
    bool isSub = SplitReleasePath(releaseDir, link->parent, dirname, sub);
    // A cut value could name another release's entry.
    if (!*dirname || std::strlen(dirname) > kValueMax || std::strlen(sub) > kValueMax) return false;
    link->templ = isSub ? theConfig.GetString(kTemplate, "INCOMPLETE_PARENTB", kDefaultParentB)
                        : theConfig.GetString(kTemplate, "INCOMPLETE_PARENTA", kDefaultParentA);
    MakeNameValue(dirname, link->release);
    MakeNameValue(sub, link->part);
    TemplateVars::Clear();
    TemplateVars::Add(6, "dirname", link->release, "sub", link->part, "good", kAnyValue, "sfv_count", kAnyValue,
                      "percent", kAnyValue, "progressbar", kAnyValue);
    return ExpandInParent(link->parent, link->templ, link->pattern);
}

void UpdateIncompleteLink(const char* sfvCount, const char* good, const char* percent, bool remove) {
    int32_t mode = theConfig.GetInt(kGeneral, "INCOMPLETE_PARENT", 1);
    if (mode == 0) return;
    ReleaseLink link;
    if (!ReleaseLinkOf(ReleaseDir, &link)) return;

    char count[kValueMax + 1], checked[kValueMax + 1], share[kValueMax + 1], bar[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    MakeNameValue(good, checked);
    MakeNameValue(percent, share);
    MakeNameValue(ConfiguredProgressBar(percent), bar);
    char target[kMaxPath];
    TemplateVars::Clear();
    TemplateVars::Add(6, "dirname", link.release, "sub", link.part, "good", checked, "sfv_count", count, "percent",
                      share, "progressbar", bar);
    if (!ExpandInParent(link.parent, link.templ, target)) return;

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
        CreateLinkToRelease(target);
    else
        PlatCreateDir(target);
}
