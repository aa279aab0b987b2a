#include <cstdio>

#include "status/status_internal.h"

void RemoveReleaseStatus(const Settings& settings, const char* releaseDir) {
    DirFinder finder;
    char name[kMaxPath];

    TemplateVars any;
    any.AddAny(kProgressPlaceholders);
    if (ExpandWhole(any, settings.incomplete, name) && *name) SettleStatusDir(name, nullptr);

    ReleaseLink link;
    if (ReleaseLinkOf(settings, releaseDir, &link)) DeleteMatches(finder, link.pattern);

    RemoveCompletion(settings);
    CleanMarkers(settings, releaseDir);
    finder.Close();
}

void RemoveCompletion(const Settings& settings) {
    char name[kMaxPath];
    TemplateVars any;
    any.AddAny(kCompletePlaceholders);
    if (ExpandWhole(any, settings.complete, name) && *name) SettleStatusDir(name, nullptr);

    // By the name it was written under, in the release directory that is the working directory.
    if (settings.message[0]) PlatDeleteFile(settings.message);
}
