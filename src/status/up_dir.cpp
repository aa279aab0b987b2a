#include <cstring>

#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "status/status_internal.h"

namespace {

constexpr const char* kDefaultUpDir = "[UP #$upfiles@$size by $user@$group at $speed]";

const char* UpDirTemplate() { return theConfig.GetString(kTemplate, "UP_DIR", kDefaultUpDir); }

// The wildcard form of a user's directory whatever the figures; null user
// and group stand for anyone.
void UpDirPattern(const char* user, const char* group, char pattern[kMaxPath]) {
    char userName[kValueMax + 1] = "*", groupName[kValueMax + 1] = "*";
    if (user) MakeNameValue(user, userName);
    if (group) MakeNameValue(group, groupName);
    TemplateVars::Clear();
    TemplateVars::Add(5, "user", userName, "group", groupName, "upfiles", kAnyValue, "size", kAnyValue, "speed",
                      kAnyValue);
    ExpandTemplate(UpDirTemplate(), pattern);
}

bool HasOwner(const char* dirName) {
    for (const void* e = theLog.records->First(); e; e = theLog.records->Next()) {
        const UploadRecord* r = static_cast<const UploadRecord*>(e);
        if (std::strcmp(r->user, kUnknownUploader) == 0) continue;
        char pattern[kMaxPath];
        UpDirPattern(r->user, r->group, pattern);
        if (PlatWildcardMatch(pattern, dirName)) return true;
    }
    return false;
}

}  // namespace

void UpdateUpDir(const char* user, const char* group) {
    if (!user || !*user || std::strcmp(user, kUnknownUploader) == 0) return;
    if (theConfig.GetInt(kGeneral, "UP_DIR", 1) == 0) return;
    char count[kNameField], speed[kNameField], size[kNameField];
    int32_t n = theLog.UserCountAndSpeedAndSize(user, count, speed, size);
    if (n < 0) return;  // no log, no figures

    const char* templ = UpDirTemplate();
    char userName[kValueMax + 1], groupName[kValueMax + 1];
    MakeNameValue(user, userName);
    MakeNameValue(group, groupName);
    char pattern[kMaxPath], target[kMaxPath];
    UpDirPattern(user, group, pattern);
    TemplateVars::Clear();
    TemplateVars::Add(5, "user", userName, "group", groupName, "upfiles", count, "size", size, "speed", speed);
    ExpandTemplate(templ, target);
    SettleStatusDir(pattern, n != 0 ? target : nullptr);
}

void RemoveStaleUpDirs() {
    if (!theLog.records) return;
    char any[kMaxPath];
    UpDirPattern(nullptr, nullptr, any);
    if (!any[std::strspn(any, "*")]) return;  // a template of placeholders alone names every directory
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(any, &entry);
    if (!find) return;
    do
        if (entry.isDir && !HasOwner(entry.name)) PlatRemoveDir(entry.name);
    while (PlatFindNext(find, &entry));
    PlatFindClose(find);
}
