// Reading the release's .sfv and the FTP server's ACL file into lists.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "config/diag_log.h"
#include "sfv/sfv.h"
#include "util/util.h"

namespace {

constexpr int kSfvLineRead = 276;  // one read takes at most 275 characters
constexpr int kAclLineRead = 121;  // one read takes at most 120 characters
constexpr size_t kAclShortLine = 16;  // lines of this length or less are skipped

// A to Z, a to z, 0 to 9: never the locale's idea of a letter.
bool IsAsciiAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// A name that can only be a file of the release itself: no directory part in
// either system's spelling, no drive, not the directory or its parent, and
// short enough for a name buffer (a cut name would be another file). Names
// made only of dots and blanks go too: besides "." and "..", Windows trims
// trailing dots and blanks, so such a name can come out as either.
bool IsReleaseFileName(const char* name) {
    if (!*name) return false;
    if (std::strpbrk(name, "/\\:")) return false;
    if (name[std::strspn(name, ". ")] == '\0') return false;
    return std::strlen(name) < static_cast<size_t>(kMaxPath);
}

// Nothing but a CRC: up to 8 hexadecimal digits, "0x" allowed before them.
bool IsCrcText(const char* text) {
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text += 2;
    size_t digits = std::strspn(text, "0123456789abcdefABCDEF");
    return digits > 0 && digits <= 8 && text[digits] == '\0';
}

// One piece of the .sfv; false when the line gives no entry. Read strictly,
// a line is an entry only when it holds a name, a blank and a CRC.
bool ParseSfvLine(char* line, SfvEntry* entry, bool strict) {
    if (FirstNonBlank(line) == ';') return false;
    TrimLeft(line);
    TrimRight(line);
    size_t sep = std::strlen(line);
    while (sep > 0 && IsAsciiAlnum(line[sep - 1])) --sep;
    if (sep == 0) return false;  // empty, or letters and digits only
    --sep;                       // the character where the pass stopped
    if (strict && (!IsBlank(line[sep]) || !IsCrcText(line + sep + 1))) return false;
    uint32_t crc = StrToU32(line + sep, 16);
    line[sep] = '\0';
    TrimRight(line);
    if (!IsReleaseFileName(line)) return false;

    std::memset(entry, 0, sizeof *entry);
    entry->key = FileKey(line);
    std::memcpy(entry->name, line, std::strlen(line) + 1);
    entry->crc = static_cast<double>(crc);
    entry->good = 0;
    return true;
}

// One piece of the ACL; false when it is too short or a field is missing.
bool ParseAclLine(char* line, AclEntry* entry) {
    if (std::strlen(line) <= kAclShortLine) return false;
    char* rest = nullptr;
    const char* keyText = strtok_r(line + 4, "=", &rest);
    if (!keyText) return false;
    const char* fields[5];
    for (int i = 0; i < 5; ++i) {
        fields[i] = strtok_r(nullptr, "|", &rest);
        if (!fields[i]) return false;
    }
    std::memset(entry, 0, sizeof *entry);
    entry->key = static_cast<double>(StrToU32(keyText, 10));
    CopyText(entry->user, fields[0]);
    CopyText(entry->group, fields[1]);
    CopyText(entry->tag, fields[2]);
    entry->goodFlag = fields[3][0];
    entry->otherFlag = fields[4][0];
    return true;
}

}  // namespace

bool IsSfvName(const char* name) {
    char ext[kMaxPath];
    GetExtPart(name, ext);
    return EqualNoCase(ext, ".sfv");
}

bool FindSfvName(const char* dir, char name[kMaxPath]) {
    char pattern[kMaxPath + 8];
    std::snprintf(pattern, sizeof pattern, "%s*.sfv", dir);
    PlatFindEntry match;
    PlatFind* find = PlatFindFirst(pattern, &match);
    if (!find) return false;
    PlatFindClose(find);
    CopyText(name, kMaxPath, match.name);
    return true;
}

bool ReadSfvEntries(const char* path, OrderedList* entries, bool strict) {
    // A directory, or anything else that is no readable file, gives nothing.
    LineReader file;
    if (!OpenLines(&file, path)) return false;
    char line[kSfvLineRead];
    SfvEntry entry;
    while (ReadLine(&file, line, sizeof line))
        if (ParseSfvLine(line, &entry, strict)) entries->Append(&entry);
    CloseLines(&file);
    return true;
}

SfvList::SfvList(const Settings& settings_)
    : settings(settings_), entries(nullptr), acl(nullptr), count(-1), good(0), uploaded(0), sfvFound(-1),
      zipsFound(-1), zipRelease(false), zipCount(0) {
    sfvName[0] = '\0';
}

SfvList::~SfvList() {
    delete entries;
    delete acl;
}

bool SfvList::FindSfv(const char* dir) {
    if (sfvFound < 0) sfvFound = FindSfvName(dir, sfvName);
    return sfvFound;
}

void SfvList::LoadSfvFile(const char* dir) {
    if (entries) return;
    entries = new (std::nothrow) OrderedList(sizeof(SfvEntry), CompareSfvKeys);
    if (!entries) return;
    entries->IndexBy(IndexKeyOfSfv);

    if (!FindSfv(dir)) {
        WriteDiagLog(settings, "OrvexLog::LoadSfvFile() sfv file is not exist (pattern = %s*.sfv)", dir);
        return;
    }
    // By its bare name, in the release directory that is the working directory.
    ReadSfvEntries(sfvName, entries, false);
}

int32_t SfvList::ListedCount() const {
    if (zipRelease) return zipCount;
    return entries ? entries->Count() : 0;
}

bool SfvList::LoadAclFile(const char* directory) {
    if (acl) return true;
    acl = new (std::nothrow) OrderedList(sizeof(AclEntry), CompareKeys);
    if (!acl) return false;
    acl->IndexBy(IndexKeyOfDouble);

    char path[kMaxPath + 32];
    std::snprintf(path, sizeof path, "%s%s", directory, kAclFileName);
    // No entry of that name: the server keeps no ACL here. An entry that is
    // there but cannot be read as a file (refused, a directory) is reported.
    if (!PlatPathExists(path)) return true;
    LineReader file;
    if (!OpenLines(&file, path)) {
        int error = errno;
        WriteDiagLog(settings, "OrvexLog::LoadAclFile() fopen failed - %s", std::strerror(error));
        return false;
    }
    char line[kAclLineRead];
    AclEntry entry;
    while (ReadLine(&file, line, sizeof line))
        if (ParseAclLine(line, &entry)) acl->Append(&entry);
    CloseLines(&file);
    return true;
}
