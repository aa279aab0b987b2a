// The upload log of one release directory and every table the run keeps
// about that release: upload records, .sfv and ACL entries, race tallies.
// One process-wide object, theLog; nothing is saved implicitly.
#ifndef CREVIK_ORVEX_LOG_H
#define CREVIK_ORVEX_LOG_H

#include <cstddef>
#include <cstdint>

#include "log/ordered_list.h"
#include "platform/platform.h"

constexpr int kNameField = 32;  // user and group: 31 characters and a NUL
constexpr const char* kDefaultLogName = ".upChk.log";  // GENERAL/LOGFILE
constexpr const char* kLogTempSuffix = ".tmp";         // the new log, before it replaces the old

struct UploadRecord {
    double key;  // FileKey of the file name: the record's identity
    char user[kNameField];
    char group[kNameField];
    int32_t size;    // KB
    int32_t speed;   // KB/s
    int32_t status;  // 'N' uploaded, 'S' verified good, 'F' verification failed
};

// Same layout as UploadRecord: built by copying the first counted record.
struct RaceTally {
    double time;  // seconds: sum of size / speed
    char user[kNameField];
    char group[kNameField];
    int32_t size;   // KB
    int32_t speed;  // KB/s, size / time once ranked
    int32_t files;
};

struct SfvEntry {
    uint32_t key;  // FileKey of the name
    char name[kMaxPath];
    double crc;
    unsigned char good;
};

struct AclEntry {
    double key;
    char user[kNameField];
    char group[kNameField];
    char tag[4];
    char goodFlag;  // '1': the server found the file good
    char otherFlag;
};

// Case-insensitive (ASCII) key of a file name.
uint32_t FileKey(const char* name);
uint16_t FileKeyCrc(const char* lowerName);
uint16_t FileKeySum(const char* lowerName);

// Compare callbacks.
int CompareKeys(const void* a, const void* b);        // leading double keys: -1, 0, 1
int CompareSfvKeys(const void* a, const void* b);     // leading uint32 keys: 0 or 1
int CompareTallySize(const void* a, const void* b);   // larger size first
int CompareTallyUser(const void* a, const void* b);
int CompareTallyGroup(const void* a, const void* b);

class OrvexLog {
public:
    OrvexLog();
    ~OrvexLog();
    OrvexLog(const OrvexLog&) = delete;
    OrvexLog& operator=(const OrvexLog&) = delete;

    // ---- the log file ----
    bool ReadLogFile(const char* path);
    bool WriteLogFile();
    // Forgets every table, as a new process would start, for a run that
    // works on several releases one after the other.
    void Reset();

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

    // ---- .sfv and ACL ----
    // The .sfv's entries, or in a zip release its .zip files (zipRelease set).
    void LoadSfvFile();
    // Files the release should hold: the .sfv's entries, or a zip release's volume count.
    int32_t ListedCount() const;
    bool LoadAclFile(const char* directory);
    void MakeMissingFiles();
    int32_t CheckSfvFiles();
    int32_t ScanSfvStatus();
    int32_t VerifyUploadedFiles();

    // ---- race statistics ----
    void CalcRaceInfo();
    const RaceTally* GetRacer(int32_t n);
    const RaceTally* GetRaceGroup(int32_t n);
    int32_t RaceUserCount() const;
    int32_t RaceGroupCount() const;
    int32_t GetRaceFiles() const { return raceFiles; }
    int32_t GetRaceTotalSize() const { return raceTotalSize; }
    int32_t GetRaceAvgSpeed() const { return raceAvgSpeed; }
    const UploadRecord* GetFastest() const { return fastest; }

private:
    void PutRecord(const char* user, const char* group, int32_t size, int32_t speed, const char* name,
                   int32_t status, bool overVerdict);

public:
    bool modified;
    OrderedList* records;
    OrderedList* userTallies;
    OrderedList* groupTallies;
    OrderedList* aclEntries;
    OrderedList* sfvEntries;
    bool zipRelease;   // no .sfv, .zip files, GENERAL/ZIP on
    int32_t zipCount;  // the volume count of its file_id.diz; 0 without one
    char logPath[kMaxPath];
    int32_t sfvUploaded;
    int32_t sfvCount;
    int32_t sfvGood;
    int32_t raceFiles;
    int32_t raceTotalSize;
    int32_t raceAvgSpeed;
    UploadRecord* fastest;
};

extern OrvexLog theLog;

#endif
