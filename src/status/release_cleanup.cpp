#include <cstdio>

#include "config/ini_config.h"
#include "main/run_state.h"
#include "status/status_internal.h"

void RemoveReleaseStatus() {
    DirFinder finder;
    char name[kMaxPath];

    TemplateVars::Clear();
    TemplateVars::Add(4, "good", kAnyValue, "sfv_count", kAnyValue, "percent", kAnyValue, "progressbar", kAnyValue);
    if (ExpandWhole(theConfig.GetString(kTemplate, "INCOMPLETE", kDefaultIncomplete), name) && *name)
        DeleteMatches(finder, name);

    ReleaseLink link;
    if (ReleaseLinkOf(ReleaseDir, &link)) DeleteMatches(finder, link.pattern);

    RemoveCompletion();
    CleanMarkers();
    finder.Close();
}

void RemoveCompletion() {
    DirFinder finder;
    char name[kMaxPath];
    TemplateVars::Clear();
    TemplateVars::Add(8, "sfv_count", kAnyValue, "total_size", kAnyValue, "avg_speed", kAnyValue, "race_users",
                      kAnyValue, "race_groups", kAnyValue, "racewin_user", kAnyValue, "racewin_ugrp", kAnyValue,
                      "racewin_group", kAnyValue);
    if (ExpandWhole(theConfig.GetString(kTemplate, "COMPLETE", kDefaultComplete), name) && *name)
        DeleteMatches(finder, name);

    const char* message = theConfig.GetString(kGeneral, "MESSAGE", "");
    if (*message && std::snprintf(name, sizeof name, "%s%s", ReleaseDir, message) < kMaxPath) PlatDeleteFile(name);
    finder.Close();
}
