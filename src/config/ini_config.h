// The ini file reader behind Settings: sections, keys and values as the file
// has them. Every lookup passes its own default.
#ifndef CREVIK_INI_CONFIG_H
#define CREVIK_INI_CONFIG_H

#include <cstdint>

#include "util/ordered_list.h"
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

    char configDir[kMaxPath];  // directory of the loaded file; "" until a load succeeds

private:
    OrderedList* entries_;
};

#endif
