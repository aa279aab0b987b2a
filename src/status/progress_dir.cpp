#include <cstdio>

#include "status/status_internal.h"
#include "util/util.h"

namespace {

// Shown for the winner when no upload of an .sfv file is in the log.
constexpr const char* kNoWinner = "-";

void ExpandProgressName(const Settings& settings, const char* sfvCount, const char* good, const char* percent,
                        char out[kMaxPath]) {
    char count[kValueMax + 1], checked[kValueMax + 1], share[kValueMax + 1], bar[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    MakeNameValue(good, checked);
    MakeNameValue(percent, share);
    MakeNameValue(ConfiguredProgressBar(settings, percent), bar);
    const char* const values[] = {checked, count, share, bar};
    TemplateVars vars;
    vars.AddAll(kProgressPlaceholders, values);
    ExpandTemplate(vars, settings.incomplete, out);
}

// Whatever the figures: the directory to rename.
void ProgressPattern(const Settings& settings, char out[kMaxPath]) {
    TemplateVars any;
    any.AddAny(kProgressPlaceholders);
    ExpandTemplate(any, settings.incomplete, out);
}

}  // namespace

void CompletionDirName(const Settings& settings, const char* sfvCount, const RaceStats& race, char out[kMaxPath]) {
    const RaceTally* racer = race.Racer(1);
    const RaceTally* group = race.Group(1);
    char count[kValueMax + 1], totalSize[kValueMax + 1], avgSpeed[kValueMax + 1];
    char users[16], groups[16];
    char winner[kValueMax + 1], winnerGroup[kValueMax + 1], winningGroup[kValueMax + 1];
    MakeNameValue(sfvCount, count);
    CopyText(totalSize, FormatSize(race.totalSize));
    std::snprintf(avgSpeed, sizeof avgSpeed, "%sps", FormatSize(race.avgSpeed).text);
    std::snprintf(users, sizeof users, "%d", race.RacerCount());
    std::snprintf(groups, sizeof groups, "%d", race.GroupCount());
    MakeNameValue(racer ? racer->user : kNoWinner, winner);
    MakeNameValue(racer ? racer->group : kNoWinner, winnerGroup);
    MakeNameValue(group ? group->group : kNoWinner, winningGroup);
    const char* const values[] = {count, totalSize, avgSpeed, users, groups, winner, winnerGroup, winningGroup};
    TemplateVars vars;
    vars.AddAll(kCompletePlaceholders, values);
    ExpandTemplate(vars, settings.complete, out);
}

void UpdateProgressDir(const Settings& settings, const char* sfvCount, const char* good, const char* percent) {
    char pattern[kMaxPath], target[kMaxPath];
    ProgressPattern(settings, pattern);
    ExpandProgressName(settings, sfvCount, good, percent, target);
    SettleStatusDir(pattern, target);
}

void ShowCompletionDir(const Settings& settings, const char* sfvCount, const RaceStats& race) {
    char pattern[kMaxPath], target[kMaxPath];
    ProgressPattern(settings, pattern);
    CompletionDirName(settings, sfvCount, race, target);
    SettleStatusDir(pattern, target);
}
