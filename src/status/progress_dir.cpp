#include <cstdio>

#include "config/ini_config.h"
#include "log/orvex_log.h"
#include "status/status_internal.h"
#include "util/util.h"

namespace {

// Shown for the winner when no upload of an .sfv file is in the log.
constexpr const char* kNoWinner = "-";

void ExpandProgressName(const char* sfvCount, const char* good, const char* percent, char out[kMaxPath]) {
    char count[kValueMax + 1], checked[kValueMax + 1], share[kValueMax + 1], bar[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    MakeNameValue(good, checked);
    MakeNameValue(percent, share);
    MakeNameValue(ConfiguredProgressBar(percent), bar);
    TemplateVars::Clear();
    TemplateVars::Add(4, "good", checked, "sfv_count", count, "percent", share, "progressbar", bar);
    ExpandTemplate(theConfig.GetString(kTemplate, "INCOMPLETE", kDefaultIncomplete), out);
}

void ExpandCompleteName(const char* sfvCount, char out[kMaxPath]) {
    const RaceTally* racer = theLog.GetRacer(1);
    const RaceTally* group = theLog.GetRaceGroup(1);
    char count[kValueMax + 1], totalSize[kValueMax + 1], avgSpeed[kValueMax + 1];
    char users[16], groups[16];
    char winner[kValueMax + 1], winnerGroup[kValueMax + 1], winningGroup[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    CopyText(totalSize, FormatSize(theLog.GetRaceTotalSize()));
    std::snprintf(avgSpeed, sizeof avgSpeed, "%sps", FormatSize(theLog.GetRaceAvgSpeed()));
    std::snprintf(users, sizeof users, "%d", theLog.RaceUserCount());
    std::snprintf(groups, sizeof groups, "%d", theLog.RaceGroupCount());
    MakeNameValue(racer ? racer->user : kNoWinner, winner);
    MakeNameValue(racer ? racer->group : kNoWinner, winnerGroup);
    MakeNameValue(group ? group->group : kNoWinner, winningGroup);
    TemplateVars::Clear();
    TemplateVars::Add(8, "sfv_count", count, "total_size", totalSize, "avg_speed", avgSpeed, "race_users", users,
                      "race_groups", groups, "racewin_user", winner, "racewin_ugrp", winnerGroup, "racewin_group",
                      winningGroup);
    ExpandTemplate(theConfig.GetString(kTemplate, "COMPLETE", kDefaultComplete), out);
}

}  // namespace

void CompletionDirName(const char* sfvCount, char out[kMaxPath]) { ExpandCompleteName(sfvCount, out); }

void UpdateProgressDir(const char* sfvCount, const char* good, const char* percent, bool complete) {
    TemplateVars::Clear();
    TemplateVars::Add(4, "good", kAnyValue, "sfv_count", kAnyValue, "percent", kAnyValue, "progressbar", kAnyValue);
    char pattern[kMaxPath], target[kMaxPath];
    ExpandTemplate(theConfig.GetString(kTemplate, "INCOMPLETE", kDefaultIncomplete), pattern);
    if (complete)
        ExpandCompleteName(sfvCount, target);
    else
        ExpandProgressName(sfvCount, good, percent, target);
    SettleStatusDir(pattern, target);
}
