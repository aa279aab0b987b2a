// Crevik.ini as anyone may write it: a value read back is never empty, never
// starts with a blank, holds no line end and fits its 256-byte field.
#include "config/ini_config.h"
#include "fuzz_support.h"
#include "util/util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Put("Crevik.ini", data, size);
    IniConfig config;
    FUZZ_CHECK(config.Load("Crevik.ini"));
    FUZZ_CHECK(config.configDir[0] == '\0');  // a bare name lies in the working directory
    const char* keys[][2] = {{"GENERAL", "LOGFILE"}, {"GENERAL", "NO_CNT_FEXT"},     {"GENERAL", "BAD"},
                             {"GENERAL", "PROGRESS_LENGTH"}, {"TEMPLATE", "COMPLETE"}, {"", "A"}};
    for (const auto& [section, key] : keys) {
        const char* value = config.GetString(section, key, nullptr);
        config.GetInt(section, key, 7);
        FUZZ_CHECK(!value || (strnlen(value, 256) < 256 && *value && !IsBlank(*value) && !std::strpbrk(value, "\r\n")));
    }
    Settings settings;
    FUZZ_CHECK(LoadSettings("Crevik.ini", &settings));
    FUZZ_CHECK(!IsUncountedExtension(settings, "dir.d/no_extension"));
    IsUncountedExtension(settings, "Release.NFO");
    return 0;
}
