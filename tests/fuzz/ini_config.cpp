// Crevik.ini as anyone may write it: a value read back is never empty, never
// starts with a blank, holds no line end and fits its 256-byte field.
#include <cstring>

#include "config/ini_config.h"
#include "fuzz_support.h"
#include "util/util.h"

namespace {

void CheckValue(IniConfig& config, const char* section, const char* key) {
    const char* value = config.GetString(section, key, nullptr);
    config.GetInt(section, key, 7);
    if (!value) return;
    FUZZ_CHECK(strnlen(value, 256) < 256);
    FUZZ_CHECK(*value && !IsBlank(*value) && !std::strpbrk(value, "\r\n"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteFile("Crevik.ini", data, size);
    IniConfig config;
    FUZZ_CHECK(config.Load("Crevik.ini"));
    FUZZ_CHECK(config.configDir[0] == '\0');  // a bare name lies in the working directory
    for (const char* key : {"LOGFILE", "NO_CNT_FEXT", "BAD", "PROGRESS_LENGTH"}) CheckValue(config, "GENERAL", key);
    CheckValue(config, "TEMPLATE", "COMPLETE");
    CheckValue(config, "", "A");
    FUZZ_CHECK(!config.IsUncountedExtension("dir.d/no_extension"));
    config.IsUncountedExtension("Release.NFO");
    config.IsUncountedExtension("a.r00");
    return 0;
}
