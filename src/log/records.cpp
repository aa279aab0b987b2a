// The upload log's records: added, replaced as verdicts arrive, taken, summed per user.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "log/upload_log.h"
#include "util/util.h"

namespace {

// An empty field would vanish from the log line and lose the record.
void CopyNameOrDash(char (&field)[kNameField], const char* name) { CopyText(field, *name ? name : "-"); }

}  // namespace

void UploadLog::AddWithCheck(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                            int32_t status) {
    PutRecord(user, group, size, speed, name, status, false);
}

void UploadLog::SetRecord(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                         int32_t status) {
    PutRecord(user, group, size, speed, name, status, true);
}

UploadRecord* UploadLog::FindRecord(const char* name) {
    if (!records) return nullptr;
    UploadRecord probe;
    probe.key = static_cast<double>(FileKey(name));
    return static_cast<UploadRecord*>(records->Find(&probe));
}

void UploadLog::PutRecord(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                         int32_t status, bool overVerdict) {
    if (!records) {
        WriteDiagLog(settings, "OrvexLog::AddWithCheck() Log is not readed - user = %s, group = %s, file = %s",
                     user, group, name);
        return;
    }
    if (IsUncountedExtension(settings, name)) return;

    UploadRecord record;
    std::memset(&record, 0, sizeof record);
    record.key = static_cast<double>(FileKey(name));
    CopyNameOrDash(record.user, user);
    CopyNameOrDash(record.group, group);
    record.size = size;
    record.speed = speed;
    record.status = status;

    const UploadRecord* found = static_cast<const UploadRecord*>(records->Find(&record));
    if (!found) {
        records->Append(&record);
        modified = true;
    } else if (found->status == 'N' || overVerdict) {
        if (std::memcmp(found, &record, sizeof record) == 0) return;
        records->ReplaceCurrent(&record);
        modified = true;
    }
}

int32_t UploadLog::UserCountAndSpeedAndSize(const char* user, char* countOut, char* speedOut, char* sizeOut) {
    if (!records) {
        WriteDiagLog(settings, "OrvexLog::UserCountAndSpeedAndSize() Log is not readed - user = %s", user);
        if (countOut) CopyText(countOut, kNameField, "-1");
        if (sizeOut) CopyText(sizeOut, kNameField, "NULL");
        if (speedOut) CopyText(speedOut, kNameField, "NULL");
        return -1;
    }
    int32_t count = 0;
    double totalSize = 0;
    double totalTime = 0;
    for (const void* e = records->First(); e; e = records->Next()) {
        const UploadRecord* r = static_cast<const UploadRecord*>(e);
        if (std::strcmp(r->user, user) != 0) continue;
        ++count;
        totalSize += r->size;
        if (speedOut) totalTime += static_cast<double>(r->size) / static_cast<double>(r->speed);
    }
    if (countOut) std::snprintf(countOut, kNameField, "%d", count);
    if (sizeOut) CopyText(sizeOut, kNameField, FormatSize(totalSize));
    if (speedOut) std::snprintf(speedOut, kNameField, "%sps", FormatSize(totalSize / totalTime).text);
    return count;
}

UploadRecord* UploadLog::GetNodeWithCheckBad(const char* name) {
    if (!records) {
        WriteDiagLog(settings, "OrvexLog::GetNodeWithCheckBad() Log is not readed - file = %s", name);
        return nullptr;
    }
    UploadRecord probe;
    size_t len = std::strlen(name);
    if (len > 4 && std::strcmp(name + len - 4, ".bad") == 0) {
        char base[kMaxPath];
        CopyText(base, name);
        base[len - 4 < sizeof base ? len - 4 : sizeof base - 1] = '\0';
        probe.key = static_cast<double>(FileKey(base));
        UploadRecord* found = static_cast<UploadRecord*>(records->Find(&probe));
        if (found && found->status != 'S') return found;
    }
    probe.key = static_cast<double>(FileKey(name));
    return static_cast<UploadRecord*>(records->Find(&probe));
}

void UploadLog::RemoveRecord(const char* name) {
    if (!GetNodeWithCheckBad(name)) return;
    records->RemoveCurrent();
    modified = true;
}

void UploadLog::KeepRecordsOf(const uint32_t* keys, size_t count) {
    if (!records) return;
    for (void* e = records->First(); e;) {
        uint32_t key = static_cast<uint32_t>(static_cast<const UploadRecord*>(e)->key);
        if (std::binary_search(keys, keys + count, key)) {
            e = records->Next();
            continue;
        }
        records->RemoveCurrent();  // the cursor moves on to the next, or back to the last kept
        modified = true;
        e = records->Current();
    }
}

void UploadLog::TakeRecord(const char* name, char* userOut, char* groupOut) {
    const UploadRecord* found = GetNodeWithCheckBad(name);
    if (!found) return;
    if (userOut) CopyText(userOut, kNameField, found->user);
    if (groupOut) CopyText(groupOut, kNameField, found->group);
    records->RemoveCurrent();
    modified = true;
}
