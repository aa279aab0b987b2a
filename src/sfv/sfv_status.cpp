// What the ACL and the upload log say of the listed files, and whether a
// listed file on disk matches its CRC.
#include "sfv/crc_ahead.h"
#include "sfv/file_crc.h"
#include "sfv/sfv.h"

namespace {

bool HasRecord(UploadLog& log, uint32_t key) {
    if (!log.records) return false;
    UploadRecord probe;
    probe.key = static_cast<double>(key);
    return log.records->Find(&probe) != nullptr;
}

bool AclSaysGood(OrderedList* aclEntries, uint32_t key) {
    if (!aclEntries) return false;
    AclEntry probe;
    probe.key = static_cast<double>(key);
    const AclEntry* found = static_cast<const AclEntry*>(aclEntries->Find(&probe));
    return found && found->goodFlag == '1';
}

}  // namespace

int32_t SfvList::ScanSfvStatus(const char* dir, UploadLog& log) {
    if (count >= 0) return count;
    if (!entries) LoadSfvFile(dir);
    if (!acl) LoadAclFile(dir);

    count = entries ? entries->Count() : 0;
    good = 0;
    uploaded = 0;
    if (!entries) return count;
    for (void* e = entries->First(); e; e = entries->Next()) {
        SfvEntry* entry = static_cast<SfvEntry*>(e);
        if (AclSaysGood(acl, entry->key)) {
            entry->good = 1;
            ++good;
        }
        if (HasRecord(log, entry->key)) ++uploaded;
    }
    return count;
}

const SfvEntry* SfvList::Find(const char* name) {
    if (!entries) return nullptr;
    SfvEntry probe;
    probe.key = FileKey(name);
    return static_cast<const SfvEntry*>(entries->Find(&probe));
}

bool ListedFileIsGood(const SfvEntry& entry, CrcAhead* ahead) {
    PlatFileInfo info;
    if (!PlatStatFile(entry.name, &info)) return false;
    uint32_t crc;
    if (!ahead || !ahead->Take(entry.name, &crc)) crc = FileCrc32(entry.name);
    return static_cast<double>(crc) == entry.crc;
}

uint64_t IndexKeyOfSfv(const void* element) { return *static_cast<const uint32_t*>(element); }

int CompareSfvKeys(const void* a, const void* b) {
    return *static_cast<const uint32_t*>(a) == *static_cast<const uint32_t*>(b) ? 0 : 1;
}
