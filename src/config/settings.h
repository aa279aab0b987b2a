// Crevik.ini as typed settings, read once per run. Every key has its default
// here; no key is required. The placeholders each template may use are named
// here too, once.
#ifndef CREVIK_SETTINGS_H
#define CREVIK_SETTINGS_H

#include <cstdint>

#include "platform/platform.h"

constexpr int kSettingText = 256;  // a value keeps 255 characters

constexpr const char* kDefaultLogName = ".upChk.log";
constexpr const char* kDefaultIncomplete = "[$percent% DONE]-[$good of $sfv_count files checked]";
constexpr const char* kDefaultComplete = "[100% COMPLETE]-[#$sfv_count@$total_size files at $avg_speed]";
constexpr const char* kDefaultUpDir = "[UP #$upfiles@$size by $user@$group at $speed]";
constexpr const char* kDefaultParentA = "[--INCOMPLETE--]-[$dirname]";
constexpr const char* kDefaultParentB = "[--INCOMPLETE--]-[$dirname-$sub]";

// A template and the placeholders it may use.
struct TemplateKind {
    int count;
    const char* const* names;
};
extern const TemplateKind kProgressPlaceholders;    // TEMPLATE/INCOMPLETE
extern const TemplateKind kCompletePlaceholders;    // TEMPLATE/COMPLETE
extern const TemplateKind kUpDirPlaceholders;       // TEMPLATE/UP_DIR
extern const TemplateKind kParentPlaceholders;      // TEMPLATE/INCOMPLETE_PARENTA and B

struct Settings {
    char configDir[kMaxPath];  // directory of the loaded Crevik.ini; "" without one
    // GENERAL
    int32_t missing;           // MISSING: 1 keeps "-missing" markers
    int32_t bad;               // BAD: 1 sets a failed file aside as ".bad", 2 deletes it
    int32_t upDir;             // UP_DIR: 0 keeps no upload status directories
    int32_t incompleteParent;  // INCOMPLETE_PARENT: 0 none, 1 file, 3 link, else directory
    int32_t zip;               // ZIP: 0 leaves a directory of zips without a .sfv unchecked
    int32_t progressLength;    // PROGRESS_LENGTH
    char progressFill;         // PROGRESS_FILL's first character
    char progressBlank;        // PROGRESS_BLNK's first character
    char message[kSettingText];        // MESSAGE: the race report's name; "" for none
    char logFile[kSettingText];        // LOGFILE
    char feed[kSettingText];           // FEED: "" for none
    bool sharedLock;                   // LOCK=shared: hosts share the area; each release's lock is a lock file
    char noCountExt[kSettingText];     // NO_CNT_FEXT: extensions never recorded
    char extraSubDirs[kSettingText];   // EXTRA_SUB_DIRS: words that name a release's part, as CD1 does
    // TEMPLATE
    char incomplete[kSettingText];
    char complete[kSettingText];
    char upDirName[kSettingText];
    char parentA[kSettingText];
    char parentB[kSettingText];
};

// The defaults of every key, as without a Crevik.ini.
void DefaultSettings(Settings* settings);
// Reads `path` over the defaults; false, with the settings unchanged, when it
// cannot be opened.
bool LoadSettings(const char* path, Settings* settings);
// The program's Crevik.ini, found from word 0 of the command line.
void LoadProgramSettings(const char* word0, Settings* settings);

// The extension of `path` is listed in NO_CNT_FEXT.
bool IsUncountedExtension(const Settings& settings, const char* path);

#endif
