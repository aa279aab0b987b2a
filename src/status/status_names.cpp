#include <cstring>
#include <initializer_list>

#include "config/ini_config.h"
#include "status/status_internal.h"

namespace {

// Every placeholder of the progress, completion and upload status templates.
const char* const kPlaceholders[] = {"good",         "sfv_count",    "percent",       "progressbar", "total_size",
                                     "avg_speed",    "race_users",   "race_groups",   "racewin_user",
                                     "racewin_ugrp", "racewin_group", "upfiles",      "size",        "user",
                                     "group",        "speed"};

}  // namespace

bool IsStatusEntryName(const char* name) {
    char form[kMaxPath];
    for (bool isSub : {false, true})
        if (AnyIncompleteEntryForm(isSub, form) && PlatWildcardMatch(form, name)) return true;
    const char* templates[] = {theConfig.GetString(kTemplate, "INCOMPLETE", kDefaultIncomplete),
                               theConfig.GetString(kTemplate, "COMPLETE", kDefaultComplete), UpDirTemplate()};
    TemplateVars::Clear();
    for (const char* placeholder : kPlaceholders) TemplateVars::Add(1, placeholder, kAnyValue);
    for (const char* templ : templates) {
        // A template of placeholders alone would claim every name.
        if (!ExpandWhole(templ, form) || form[std::strspn(form, kAnyValue)] == '\0') continue;
        if (PlatWildcardMatch(form, name)) return true;
    }
    return false;
}
