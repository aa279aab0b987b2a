// The upload log on disk: read once, saved whole through a temporary file.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "log/upload_log.h"
#include "util/util.h"

namespace {

constexpr int kLogLineRead = 121;  // one read takes at most 120 characters

// Parses one piece of the log; false when a field is missing.
bool ParseRecord(char* line, UploadRecord* record) {
    const char* tokens[6];
    char* rest = nullptr;
    for (int i = 0; i < 6; ++i) {
        tokens[i] = strtok_r(i == 0 ? line : nullptr, "|", &rest);
        if (!tokens[i]) return false;
    }
    std::memset(record, 0, sizeof *record);
    record->key = static_cast<double>(StrToU32(tokens[0], 10));
    CopyText(record->user, tokens[1]);
    CopyText(record->group, tokens[2]);
    record->size = ParseInt32(tokens[3]);
    record->speed = ParseInt32(tokens[4]);
    record->status = static_cast<unsigned char>(tokens[5][0]);
    return true;
}

// Collects the log's text in a fixed buffer and hands it to the file in blocks.
struct BlockWriter {
    PlatFile* file;
    bool ok;
    size_t used;
    char buffer[16384];

    void Line(const UploadRecord& r) {
        char line[160];
        int len = std::snprintf(line, sizeof line, "%.0f|%s|%s|%d|%d|%c\n", r.key, r.user, r.group, r.size,
                                r.speed, static_cast<char>(r.status));
        if (len < 0) return;
        if (used + static_cast<size_t>(len) > sizeof buffer) Flush();
        std::memcpy(buffer + used, line, static_cast<size_t>(len));
        used += static_cast<size_t>(len);
    }
    void Flush() {
        if (ok && used > 0 && !PlatWrite(file, buffer, used)) ok = false;
        used = 0;
    }
};

}  // namespace

UploadLog::UploadLog(const Settings& settings_) : settings(settings_), modified(false), records(nullptr) {
    logPath[0] = '\0';
}

UploadLog::~UploadLog() { delete records; }

bool UploadLog::ReadLogFile(const char* path) {
    if (records) return true;
    CopyText(logPath, path);
    records = new OrderedList(sizeof(UploadRecord), CompareKeys);

    // Only a path with no entry at all is an empty log: one that exists but
    // cannot be read must not be replaced by this run's records.
    if (!PlatPathExists(path)) return true;
    LineReader file;
    if (!OpenLines(&file, path)) {
        WriteDiagLog(settings, "OrvexLog::ReadLogFile() fopen failed - %s", std::strerror(errno));
        delete records;
        records = nullptr;
        return false;
    }
    char line[kLogLineRead];
    UploadRecord record;
    while (ReadLine(&file, line, sizeof line))
        if (ParseRecord(line, &record)) records->Append(&record);
    CloseLines(&file);
    modified = false;
    return true;
}

bool UploadLog::WriteLogFile() {
    if (!records) return false;
    bool existed = PlatPathExists(logPath);
    if (existed) PlatSetHidden(logPath, false);
    if (records->Count() == 0) {
        PlatDeleteFile(logPath);
        return true;
    }

    // The new log is complete on disk before it replaces the old one, so a
    // run killed mid-save or a full disk never costs the release its log.
    char tempPath[kMaxPath + 8];
    std::snprintf(tempPath, sizeof tempPath, "%s%s", logPath, kLogTempSuffix);
    BlockWriter writer;
    writer.file = PlatCreateTruncate(tempPath);
    writer.ok = writer.file != nullptr;
    writer.used = 0;
    if (writer.ok) {
        for (const void* e = records->First(); e; e = records->Next())
            writer.Line(*static_cast<const UploadRecord*>(e));
        writer.Flush();
    }
    int error = writer.ok ? 0 : errno;
    if (writer.file && !PlatClose(writer.file) && !error) error = errno;
    if (!error && !PlatReplaceFile(tempPath, logPath)) error = errno;

    if (error) {
        if (writer.file) PlatDeleteFile(tempPath);
        WriteDiagLog(settings, "OrvexLog::WriteLogFile() fopen failed - %s", std::strerror(error));
        if (existed) PlatSetHidden(logPath, true);
        return false;
    }
    PlatSetHidden(logPath, true);
    modified = false;
    return true;
}

int CompareKeys(const void* a, const void* b) {
    double x = *static_cast<const double*>(a);
    double y = *static_cast<const double*>(b);
    return x == y ? 0 : (x < y ? -1 : 1);
}
