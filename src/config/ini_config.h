// The configuration store, read once from "Crevik.ini" beside the program.
// Every caller passes its own default at every lookup; no key is required.
#ifndef CREVIK_INI_CONFIG_H
#define CREVIK_INI_CONFIG_H

#include <cstdint>

#include "log/ordered_list.h"
#include "platform/platform.h"

struct ConfigEntry {
    char section[32];
    char key[32];
    char value[256];
};

class IniConfig {
public:
    IniConfig();
    ~IniConfig();
    IniConfig(const IniConfig&) = delete;
    IniConfig& operator=(const IniConfig&) = delete;

    // False, with the store unchanged, when the file cannot be opened.
    bool Load(const char* path);
    const char* GetString(const char* section, const char* key, const char* defaultValue);
    int32_t GetInt(const char* section, const char* key, int32_t defaultValue);
    // The extension of `path` is listed in GENERAL/NO_CNT_FEXT.
    bool IsUncountedExtension(const char* path);
    // GENERAL/LOCK=shared: hosts share the upload area, and each release's
    // lock is a lock file that the shared file system holds.
    bool LockIsShared();

    char configDir[kMaxPath];  // directory of the loaded file; "" until a load succeeds

private:
    OrderedList* entries_;
};

extern IniConfig theConfig;

#endif
