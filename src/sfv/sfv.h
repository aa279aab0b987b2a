// A release's .sfv and the FTP server's ACL file, read into lists; whether a
// listed file on disk has the CRC its .sfv gives. The CRC itself is in
// sfv/crc32.h, a file's CRC in sfv/file_crc.h.
#ifndef CREVIK_SFV_H
#define CREVIK_SFV_H

#include <cstdint>

#include "config/settings.h"
#include "util/ordered_list.h"
#include "log/upload_log.h"

constexpr const char* kAclFileName = ".brindlesrv.acl";
constexpr const char* kMarkerSuffix = "-missing";  // "NAME-missing"
constexpr const char* kBadSuffix = ".bad";         // "NAME.bad"

struct SfvEntry {
    uint32_t key;  // FileKey of the name
    char name[kMaxPath];
    double crc;
    unsigned char good;  // found good in this run, by the ACL or a CRC pass; never stored
};

struct AclEntry {
    double key;
    char user[kNameField];
    char group[kNameField];
    char tag[4];
    char goodFlag;  // '1': the server found the file good
    char otherFlag;
};

// Leading uint32 keys: 0 when equal, else 1.
int CompareSfvKeys(const void* a, const void* b);
// The index key (OrderedListBase::IndexBy) that follows CompareSfvKeys.
uint64_t IndexKeyOfSfv(const void* element);

// A name ending in ".sfv", in any letter case.
bool IsSfvName(const char* name);

// The .sfv of a directory ("" or a path ending in the separator): the first
// name ending in ".sfv" in the search's name order. False when there is none.
bool FindSfvName(const char* dir, char name[kMaxPath]);

// Appends the entries of a .sfv file to `entries` (SfvEntry elements), in
// file order. False (errno set) when the path is no readable file. `strict`
// takes only lines that hold a name, a blank and a CRC of hexadecimal
// digits: what an operator is shown; the events read as they always did.
bool ReadSfvEntries(const char* path, OrderedList* entries, bool strict);

class CrcAhead;

// A file the .sfv lists matches it: present in the release directory (the
// working directory) as a regular file, with the CRC the .sfv gives. A pass
// over many files hands in the CRCs its threads read ahead. (A zip release's
// zips are tested by TestListedFile, release/release.h.)
bool ListedFileIsGood(const SfvEntry& entry, CrcAhead* ahead = nullptr);

// The lists of one release, each read at most once per run.
struct SfvList {
    explicit SfvList(const Settings& settings);
    ~SfvList();
    SfvList(const SfvList&) = delete;
    SfvList& operator=(const SfvList&) = delete;

    // Whether `dir` has a .sfv (its name in sfvName); searched for once per
    // run, as nothing a run does brings one or takes it away.
    bool FindSfv(const char* dir);
    // The .sfv of `dir`; without one the list is empty and the diagnostic log says so.
    void LoadSfvFile(const char* dir);
    // Files the release should hold: the .sfv's entries, or a zip release's volume count.
    int32_t ListedCount() const;
    // The ACL of `dir`; false when one is there but cannot be read.
    bool LoadAclFile(const char* dir);
    // Counts the listed files (count), those the ACL flags good (good, which
    // marks them), and those with a record in `log` (uploaded); once per run.
    int32_t ScanSfvStatus(const char* dir, UploadLog& log);
    // The entry of a file name, or null.
    const SfvEntry* Find(const char* name);

    const Settings& settings;
    OrderedList* entries;  // SfvEntry; null until loaded
    OrderedList* acl;      // AclEntry; null until loaded
    int32_t count;         // -1 until scanned
    int32_t good;
    int32_t uploaded;
    int8_t sfvFound;  // -1 until searched
    char sfvName[kMaxPath];
    // A zip release (release/release.h) lists its zips in `entries` instead.
    int8_t zipsFound;  // -1 until asked
    bool zipRelease;
    int32_t zipCount;  // the volume count of its file_id.diz; 0 without one
};

#endif
