// The upload log of one release directory: who uploaded which file, at what
// size and speed, and the verdict on it. Nothing is saved implicitly.
#ifndef CREVIK_UPLOAD_LOG_H
#define CREVIK_UPLOAD_LOG_H

#include <cstddef>
#include <cstdint>

#include "config/settings.h"
#include "util/ordered_list.h"
#include "platform/platform.h"

constexpr int kNameField = 32;  // user and group: 31 characters and a NUL
constexpr const char* kLogTempSuffix = ".tmp";  // the new log, before it replaces the old
constexpr const char* kLockSuffix = ".lock";    // the lock file of LOCK=shared

struct UploadRecord {
    double key;  // FileKey of the file name: the record's identity
    char user[kNameField];
    char group[kNameField];
    int32_t size;    // KB
    int32_t speed;   // KB/s
    int32_t status;  // 'N' uploaded, 'S' verified good, 'F' verification failed
};

// Case-insensitive (ASCII) key of a file name.
uint32_t FileKey(const char* name);
uint16_t FileKeyCrc(const char* lowerName);
uint16_t FileKeySum(const char* lowerName);

// Leading double keys: -1, 0, 1.
int CompareKeys(const void* a, const void* b);
// The index key (OrderedListBase::IndexBy) that follows CompareKeys.
uint64_t IndexKeyOfDouble(const void* element);

// Problems are written to the diagnostic log under the names the log's
// readers know ("OrvexLog::...").
class UploadLog {
public:
    explicit UploadLog(const Settings& settings);
    ~UploadLog();
    UploadLog(const UploadLog&) = delete;
    UploadLog& operator=(const UploadLog&) = delete;

    // ---- the log file ----
    bool ReadLogFile(const char* path);
    bool WriteLogFile();
    bool IsRead() const { return records != nullptr; }

    // ---- records ----
    void AddWithCheck(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                      int32_t status);
    // A new verdict: replaces the file's record whatever its status, in its
    // place in the log, or appends one.
    void SetRecord(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                   int32_t status);
    UploadRecord* FindRecord(const char* name);  // the record of exactly this name, or null
    int32_t UserCountAndSpeedAndSize(const char* user, char* countOut, char* speedOut, char* sizeOut);
    UploadRecord* GetNodeWithCheckBad(const char* name);
    void RemoveRecord(const char* name);
    // Removes every record whose key (FileKey of its name) is not among
    // `keys`, which are sorted ascending.
    void KeepRecordsOf(const uint32_t* keys, size_t count);
    void TakeRecord(const char* name, char* userOut, char* groupOut);

private:
    void PutRecord(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                   int32_t status, bool overVerdict);

public:
    const Settings& settings;
    bool modified;
    OrderedList* records;  // null until read
    char logPath[kMaxPath];
};

#endif
