#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "status/status_internal.h"

void UpdateUpDir(const char* user, const char* group) {
    if (!user || !*user || theConfig.GetInt(kGeneral, "UP_DIR", 1) == 0) return;
    char count[kNameField], speed[kNameField], size[kNameField];
    int32_t n = theLog.UserCountAndSpeedAndSize(user, count, speed, size);
    if (n < 0) return;  // no log, no figures

    const char* templ = theConfig.GetString(kTemplate, "UP_DIR", kDefaultUpDir);
    char userName[kValueMax + 1], groupName[kValueMax + 1];
    MakeNameValue(user, userName);
    MakeNameValue(group, groupName);
    char pattern[kMaxPath], target[kMaxPath];
    TemplateVars::Clear();
    TemplateVars::Add(5, "user", userName, "group", groupName, "upfiles", kAnyValue, "size", kAnyValue, "speed",
                      kAnyValue);
    ExpandTemplate(templ, pattern);
    TemplateVars::Clear();
    TemplateVars::Add(5, "user", userName, "group", groupName, "upfiles", count, "size", size, "speed", speed);
    ExpandTemplate(templ, target);
    SettleStatusDir(pattern, n != 0 ? target : nullptr);
}
