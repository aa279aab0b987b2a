// The upload log on disk: read once, saved whole through a temporary file.
#include <cerrno>
#include <cstdint>
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

// A digit run of at most `maxDigits` ending in '|' at *p: its value, and p
// moved past the '|'. False for anything else.
bool TakeDigits(const char** p, const char* end, int maxDigits, uint64_t* value) {
    const char* q = *p;
    uint64_t v = 0;
    for (; q < end && *q >= '0' && *q <= '9'; ++q) v = v * 10 + static_cast<uint64_t>(*q - '0');
    if (q == *p || q - *p > maxDigits || q == end || *q != '|') return false;
    *value = v;
    *p = q + 1;
    return true;
}

bool TakeInt(const char** p, const char* end, int32_t* value) {
    bool negative = *p < end && **p == '-';
    if (negative) ++*p;
    uint64_t v;
    if (!TakeDigits(p, end, 9, &v)) return false;
    *value = negative ? -static_cast<int32_t>(v) : static_cast<int32_t>(v);
    return true;
}

bool TakeName(const char** p, const char* end, char (&field)[kNameField]) {
    const char* bar = static_cast<const char*>(std::memchr(*p, '|', static_cast<size_t>(end - *p)));
    if (!bar || bar == *p) return false;
    size_t len = static_cast<size_t>(bar - *p);
    std::memcpy(field, *p, len < kNameField - 1 ? len : kNameField - 1);
    *p = bar + 1;
    return true;
}

// The common piece, "key|user|group|size|speed|status...", without strtok
// and strtol, which a log of thousands of records pays on every run; what
// ParseRecord would make of it. False (and ParseRecord decides) for any
// other form: blanks, signs, long numbers, empty fields.
bool ParsePlainRecord(const char* p, const char* end, UploadRecord* record) {
    std::memset(record, 0, sizeof *record);
    uint64_t key;
    if (!TakeDigits(&p, end, 10, &key) || key > UINT32_MAX) return false;
    record->key = static_cast<double>(key);
    if (!TakeName(&p, end, record->user) || !TakeName(&p, end, record->group)) return false;
    if (!TakeInt(&p, end, &record->size) || !TakeInt(&p, end, &record->speed)) return false;
    if (p == end || *p == '|') return false;
    record->status = static_cast<unsigned char>(*p);
    return true;
}

char* PutDecimal(char* out, uint64_t value) {
    char digits[20];
    int n = 0;
    do digits[n++] = static_cast<char>('0' + value % 10);
    while ((value /= 10) != 0);
    while (n > 0) *out++ = digits[--n];
    return out;
}

char* PutInt(char* out, int32_t value) {
    if (value < 0) *out++ = '-';
    return PutDecimal(out, value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
}

char* PutField(char* out, const char* text) {
    size_t len = strnlen(text, kNameField - 1);
    std::memcpy(out, text, len);
    out[len] = '|';
    return out + len + 1;
}

// One record's line, "%.0f|%s|%s|%d|%d|%c\n" without printf's cost, which a
// log of thousands of records pays on every save. At most 102 characters.
int FormatRecordLine(const UploadRecord& r, char (&line)[160]) {
    if (!(r.key >= 0 && r.key <= 4294967295.0) || r.key != static_cast<double>(static_cast<uint32_t>(r.key)))
        return std::snprintf(line, sizeof line, "%.0f|%s|%s|%d|%d|%c\n", r.key, r.user, r.group, r.size, r.speed,
                             static_cast<char>(r.status));
    char* out = PutDecimal(line, static_cast<uint32_t>(r.key));
    *out++ = '|';
    out = PutField(out, r.user);
    out = PutField(out, r.group);
    out = PutInt(out, r.size);
    *out++ = '|';
    out = PutInt(out, r.speed);
    *out++ = '|';
    *out++ = static_cast<char>(r.status);
    *out++ = '\n';
    return static_cast<int>(out - line);
}

// Collects the log's text in a fixed buffer and hands it to the file in blocks.
struct BlockWriter {
    PlatFile* file;
    bool ok;
    size_t used;
    char buffer[16384];

    void Line(const UploadRecord& r) {
        char line[160];
        int len = FormatRecordLine(r, line);
        if (len < 0) return;
        if (used + static_cast<size_t>(len) > sizeof buffer) WriteOut();
        std::memcpy(buffer + used, line, static_cast<size_t>(len));
        used += static_cast<size_t>(len);
    }
    void WriteOut() {
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
    records->IndexBy(IndexKeyOfDouble);

    // Only a path with no entry at all is an empty log: one that exists but
    // cannot be read (a dangling link too) must not be replaced by this
    // run's records. The open asks first: it is one round trip on a network
    // file system, and the log is there in all but a release's first run.
    LineReader file;
    if (!OpenLines(&file, path) && errno == ENOENT && !PlatPathExists(path)) return true;
    if (!file.file) {
        WriteDiagLog(settings, "OrvexLog::ReadLogFile() fopen failed - %s", std::strerror(errno));
        delete records;
        records = nullptr;
        return false;
    }
    char line[kLogLineRead];
    UploadRecord record;
    while (ReadLine(&file, line, sizeof line))
        if (ParsePlainRecord(line, line + std::strlen(line), &record) || ParseRecord(line, &record))
            records->Append(&record);
    CloseLines(&file);
    modified = false;
    return true;
}

bool UploadLog::WriteLogFile() {
    if (!records) return false;
    // Shown while it is replaced, hidden again after (or after a failure);
    // on a missing log either is a harmless no-op, which spares a look-up.
    PlatSetHidden(logPath, false);
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
        writer.WriteOut();
    }
    int error = writer.ok ? 0 : errno;
    if (writer.file && !PlatClose(writer.file) && !error) error = errno;
    if (!error && !PlatReplaceFile(tempPath, logPath)) error = errno;

    if (error) {
        if (writer.file) PlatDeleteFile(tempPath);
        WriteDiagLog(settings, "OrvexLog::WriteLogFile() fopen failed - %s", std::strerror(error));
        PlatSetHidden(logPath, true);
        return false;
    }
    PlatSetHidden(logPath, true);
    modified = false;
    return true;
}

uint64_t IndexKeyOfDouble(const void* element) {
    // Keys are whole numbers read as such: never -0 or NaN, so equal keys have equal bits.
    uint64_t bits;
    std::memcpy(&bits, element, sizeof bits);
    return bits;
}

int CompareKeys(const void* a, const void* b) {
    double x = *static_cast<const double*>(a);
    double y = *static_cast<const double*>(b);
    return x == y ? 0 : (x < y ? -1 : 1);
}
