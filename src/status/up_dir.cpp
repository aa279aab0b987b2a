#include <cstring>

#include "status/status_internal.h"

namespace {

// The wildcard form of a user's directory whatever the figures; null user
// and group stand for anyone.
void UpDirPattern(const Settings& settings, const char* user, const char* group, char pattern[kMaxPath]) {
    char userName[kValueMax + 1] = "*", groupName[kValueMax + 1] = "*";
    if (user) MakeNameValue(user, userName);
    if (group) MakeNameValue(group, groupName);
    TemplateVars vars;
    vars.Add("user", userName);
    vars.Add("group", groupName);
    vars.AddAny(kUpDirPlaceholders);  // user and group are taken already
    ExpandTemplate(vars, settings.upDirName, pattern);
}

bool HasOwner(const Settings& settings, const UploadLog& log, const char* dirName) {
    for (const ListNode* node = log.records->Head(); node != log.records->End(); node = node->next) {
        const UploadRecord* r = static_cast<const UploadRecord*>(node->element);
        if (std::strcmp(r->user, kUnknownUploader) == 0) continue;
        char pattern[kMaxPath];
        UpDirPattern(settings, r->user, r->group, pattern);
        if (PlatWildcardMatch(pattern, dirName)) return true;
    }
    return false;
}

}  // namespace

void UpdateUpDir(const Settings& settings, UploadLog& log, const char* user, const char* group) {
    if (!user || !*user || std::strcmp(user, kUnknownUploader) == 0) return;
    if (settings.upDir == 0) return;
    char count[kNameField], speed[kNameField], size[kNameField];
    int32_t n = log.UserCountAndSpeedAndSize(user, count, speed, size);
    if (n < 0) return;  // no log, no figures

    char userName[kValueMax + 1], groupName[kValueMax + 1];
    MakeNameValue(user, userName);
    MakeNameValue(group, groupName);
    char pattern[kMaxPath], target[kMaxPath];
    UpDirPattern(settings, user, group, pattern);
    const char* const values[] = {userName, groupName, count, size, speed};
    TemplateVars vars;
    vars.AddAll(kUpDirPlaceholders, values);
    ExpandTemplate(vars, settings.upDirName, target);
    SettleStatusDir(pattern, n != 0 ? target : nullptr);
}

void RemoveStaleUpDirs(const Settings& settings, UploadLog& log) {
    if (!log.records) return;
    char any[kMaxPath];
    UpDirPattern(settings, nullptr, nullptr, any);
    if (!any[std::strspn(any, "*")]) return;  // a template of placeholders alone names every directory
    PlatFindEntry entry;
    PlatFind* find = PlatFindFirst(any, &entry);
    if (!find) return;
    do
        if (entry.isDir && !HasOwner(settings, log, entry.name)) PlatRemoveDir(entry.name);
    while (PlatFindNext(find, &entry));
    PlatFindClose(find);
}
