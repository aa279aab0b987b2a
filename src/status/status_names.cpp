#include <cstring>

#include "config/ini_config.h"
#include "status/status_internal.h"

namespace {

// Every placeholder of every status template.
const char* const kPlaceholders[] = {"good",       "sfv_count",   "percent",      "progressbar",  "total_size",
                                     "avg_speed",  "race_users",  "race_groups",  "racewin_user", "racewin_ugrp",
                                     "racewin_group", "upfiles",  "size",         "user",         "group",
                                     "speed",      "dirname",     "sub"};

}  // namespace

bool IsStatusEntryName(const char* name) {
    const char* templates[] = {
        theConfig.GetString(kTemplate, "INCOMPLETE", kDefaultIncomplete),
        theConfig.GetString(kTemplate, "COMPLETE", kDefaultComplete),
        theConfig.GetString(kTemplate, "UP_DIR", kDefaultUpDir),
        theConfig.GetString(kTemplate, "INCOMPLETE_PARENTA", kDefaultParentA),
        theConfig.GetString(kTemplate, "INCOMPLETE_PARENTB", kDefaultParentB),
    };
    TemplateVars::Clear();
    for (const char* placeholder : kPlaceholders) TemplateVars::Add(1, placeholder, kAnyValue);
    for (const char* templ : templates) {
        char form[kMaxPath];
        if (!ExpandWhole(templ, form) || form[std::strspn(form, kAnyValue)] == '\0') continue;
        if (PlatWildcardMatch(form, name)) return true;
    }
    return false;
}
