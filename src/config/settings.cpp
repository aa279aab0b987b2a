// Crevik.ini read once into typed settings, with every key's default.
#include "config/settings.h"

#include <cstdio>
#include <cstring>

#include "config/ini_config.h"
#include "util/util.h"

namespace {

constexpr int32_t kDefaultProgressLength = 20;

const char* const kProgressNames[] = {"good", "sfv_count", "percent", "progressbar"};
const char* const kCompleteNames[] = {"sfv_count",   "total_size",   "avg_speed",    "race_users",
                                      "race_groups", "racewin_user", "racewin_ugrp", "racewin_group"};
const char* const kUpDirNames[] = {"user", "group", "upfiles", "size", "speed"};
const char* const kParentNames[] = {"dirname", "sub", "good", "sfv_count", "percent", "progressbar"};

void Text(IniConfig& ini, const char* section, const char* key, const char* fallback, char (&out)[kSettingText]) {
    CopyText(out, ini.GetString(section, key, fallback));
}

}  // namespace

const TemplateKind kProgressPlaceholders = {4, kProgressNames};
const TemplateKind kCompletePlaceholders = {8, kCompleteNames};
const TemplateKind kUpDirPlaceholders = {5, kUpDirNames};
const TemplateKind kParentPlaceholders = {6, kParentNames};

void DefaultSettings(Settings* settings) {
    std::memset(settings, 0, sizeof *settings);
    LoadSettings(nullptr, settings);
}

bool LoadSettings(const char* path, Settings* settings) {
    IniConfig ini;
    if (path && !ini.Load(path)) return false;
    CopyText(settings->configDir, ini.configDir);
    settings->missing = ini.GetInt("GENERAL", "MISSING", 1);
    settings->bad = ini.GetInt("GENERAL", "BAD", 1);
    settings->upDir = ini.GetInt("GENERAL", "UP_DIR", 1);
    settings->incompleteParent = ini.GetInt("GENERAL", "INCOMPLETE_PARENT", 1);
    settings->zip = ini.GetInt("GENERAL", "ZIP", 1);
    settings->progressLength = ini.GetInt("GENERAL", "PROGRESS_LENGTH", kDefaultProgressLength);
    settings->progressFill = ini.GetString("GENERAL", "PROGRESS_FILL", "#")[0];
    settings->progressBlank = ini.GetString("GENERAL", "PROGRESS_BLNK", "-")[0];
    Text(ini, "GENERAL", "MESSAGE", "", settings->message);
    Text(ini, "GENERAL", "LOGFILE", kDefaultLogName, settings->logFile);
    Text(ini, "GENERAL", "FEED", "", settings->feed);
    settings->sharedLock = EqualNoCase(ini.GetString("GENERAL", "LOCK", "local"), "shared");
    Text(ini, "GENERAL", "NO_CNT_FEXT", " ", settings->noCountExt);
    Text(ini, "GENERAL", "EXTRA_SUB_DIRS", " ", settings->extraSubDirs);
    Text(ini, "TEMPLATE", "INCOMPLETE", kDefaultIncomplete, settings->incomplete);
    Text(ini, "TEMPLATE", "COMPLETE", kDefaultComplete, settings->complete);
    Text(ini, "TEMPLATE", "UP_DIR", kDefaultUpDir, settings->upDirName);
    Text(ini, "TEMPLATE", "INCOMPLETE_PARENTA", kDefaultParentA, settings->parentA);
    Text(ini, "TEMPLATE", "INCOMPLETE_PARENTB", kDefaultParentB, settings->parentB);
    return true;
}

void LoadProgramSettings(const char* word0, Settings* settings) {
    char programDir[kMaxPath];
    char configPath[kMaxPath];
    PlatProgramDir(word0, programDir);
    std::snprintf(configPath, sizeof configPath, "%s%cCrevik.ini", programDir, kPathSep);
    LoadSettings(configPath, settings);
}

bool IsUncountedExtension(const Settings& settings, const char* path) {
    char list[kSettingText];
    CopyText(list, settings.noCountExt);
    char ext[kMaxPath];
    GetExtPart(path, ext);
    if (!ext[0]) return false;
    char* rest = nullptr;
    for (char* word = strtok_r(list, " ", &rest); word; word = strtok_r(nullptr, " ", &rest))
        if (EqualNoCase(word, ext)) return true;
    return false;
}
