// The ini reader: one entry per key line, in file order.
#include "config/ini_config.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/util.h"

namespace {

constexpr int kLineRead = 511;  // one read takes at most 510 characters

int CompareSectionAndKey(const void* a, const void* b) {
    const ConfigEntry* x = static_cast<const ConfigEntry*>(a);
    const ConfigEntry* y = static_cast<const ConfigEntry*>(b);
    return (std::strcmp(x->section, y->section) == 0 && std::strcmp(x->key, y->key) == 0) ? 0 : 1;
}

// Cuts line end characters, then leading blanks, as the value rule asks.
char* ValueStart(char* text) {
    text[std::strcspn(text, "\r\n")] = '\0';
    TrimLeft(text);
    return text;
}

}  // namespace

IniConfig::IniConfig() : entries_(new OrderedList(sizeof(ConfigEntry), CompareSectionAndKey)) {
    configDir[0] = '\0';
}

IniConfig::~IniConfig() { delete entries_; }

bool IniConfig::Load(const char* path) {
    LineReader file;
    if (!OpenLines(&file, path)) return false;

    delete entries_;
    entries_ = new OrderedList(sizeof(ConfigEntry), CompareSectionAndKey);
    GetDirPart(path, configDir);

    // Key lines before the first header belong to the empty section.
    char section[32] = "";
    char line[kLineRead];
    while (ReadLine(&file, line, sizeof line)) {
        char first = FirstNonBlank(line);
        if (first == ';' || first == '\0') continue;
        if (std::strncmp(line, "_END_", 5) == 0) break;
        TrimLeft(line);
        TrimRight(line);
        size_t len = std::strlen(line);
        if (line[0] == '[' && line[len - 1] == ']') {
            line[len - 1] = '\0';
            CopyText(section, line + 1);
            continue;
        }
        char* keyStart = line;
        while (*keyStart == '=') ++keyStart;
        char* equals = std::strchr(keyStart, '=');
        if (!equals) continue;
        *equals = '\0';
        char* value = ValueStart(equals + 1);
        if (!*value) continue;
        TrimRight(keyStart);

        ConfigEntry entry;
        std::memset(&entry, 0, sizeof entry);
        CopyText(entry.section, section);
        CopyText(entry.key, keyStart);
        CopyText(entry.value, value);
        entries_->Append(&entry);
    }
    CloseLines(&file);
    return true;
}

const char* IniConfig::GetString(const char* section, const char* key, const char* defaultValue) {
    ConfigEntry probe;
    CopyText(probe.section, section);
    CopyText(probe.key, key);
    const ConfigEntry* found = static_cast<const ConfigEntry*>(entries_->Find(&probe));
    return found ? found->value : defaultValue;
}

int32_t IniConfig::GetInt(const char* section, const char* key, int32_t defaultValue) {
    ConfigEntry probe;
    CopyText(probe.section, section);
    CopyText(probe.key, key);
    const ConfigEntry* found = static_cast<const ConfigEntry*>(entries_->Find(&probe));
    return found ? ParseInt32(found->value) : defaultValue;
}

bool IniConfig::IsUncountedExtension(const char* path) {
    char list[256];
    CopyText(list, GetString("GENERAL", "NO_CNT_FEXT", " "));
    char ext[kMaxPath];
    GetExtPart(path, ext);
    if (!ext[0]) return false;
    for (char* word = std::strtok(list, " "); word; word = std::strtok(nullptr, " "))
        if (EqualNoCase(word, ext)) return true;
    return false;
}
