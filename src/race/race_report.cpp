// The race report: fixed-width CRLF rows, written whole.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "config/diag_log.h"
#include "platform/platform.h"
#include "race/race.h"

namespace {

constexpr const char* kSeparator = "+---------------------------------------------------------------------+\r\n";
// Shown in place of the winner or the peak record when no upload counted.
constexpr const char* kNoValue = "none";
constexpr int kValueMax = 128;                        // the longest value: two names and five numbers
constexpr int kUserAtGroupMax = 2 * kNameField;       // "user@group"

// The report is built whole, then written in one piece.
struct Report {
    std::string text;
};

void Put(Report* report, const char* text) { report->text += text; }

void Printf(Report* report, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void Printf(Report* report, const char* format, ...) {
    char piece[1024];  // the longest row: a release name of two paths
    va_list args;
    va_start(args, format);
    int len = std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (len <= 0) return;
    report->text.append(piece, static_cast<size_t>(len) < sizeof piece ? static_cast<size_t>(len) : sizeof piece - 1);
}

void WriteRow(Report* file, const char* label, const char* value) {
    Printf(file, "| %-10s : %-54s |\r\n", label, value);
}

// Share of the total; 0.0 when nothing counted, rather than a division by zero.
double Share(int32_t size, int32_t total) {
    if (total == 0) return 0.0;
    return static_cast<double>(size) * 100.0 / static_cast<double>(total);
}

void WriteReleaseInfo(Report* file, const char* name, const RaceStats& race) {
    char value[kValueMax];
    Put(file, kSeparator);
    Put(file, "|                           Release Info                              |\r\n");
    Put(file, kSeparator);
    WriteRow(file, "Rel Name", name);

    std::snprintf(value, sizeof value, "%d files, %d KB, %d KBps, %d user(s), %d group(s)", race.files, race.totalSize,
                  race.avgSpeed, race.RacerCount(), race.GroupCount());
    WriteRow(file, "Total", value);

    const RaceTally* winner = race.Racer(1);
    if (winner)
        std::snprintf(value, sizeof value, "%s@%s (%d files, %d KB, %d KB/s)", winner->user, winner->group,
                      winner->files, winner->size, winner->speed);
    else std::snprintf(value, sizeof value, "%s", kNoValue);
    WriteRow(file, "Race win", value);

    const UploadRecord* peak = race.Fastest();
    if (peak) std::snprintf(value, sizeof value, "%d KBytes/s (by %s@%s)", peak->speed, peak->user, peak->group);
    else std::snprintf(value, sizeof value, "%s", kNoValue);
    WriteRow(file, "Peak speed", value);

    PlatLocalTime now = PlatNow();
    std::snprintf(value, sizeof value, "%04d/%02d/%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    WriteRow(file, "Race end", value);
}

// The columns racers and groups share, to the end of the row, and the separator.
void WriteTallyFigures(Report* file, const RaceTally& tally, int32_t total) {
    Printf(file, "| %4df |    %8d    | %5.1f%% |  %5d  |\r\n", tally.files, tally.size, Share(tally.size, total),
           tally.speed);
    Put(file, kSeparator);
}

// A table's title and column heads, each closed by a separator.
void WriteHeading(Report* file, const char* title, const char* columns) {
    for (const char* line : {title, columns}) {
        Put(file, line);
        Put(file, kSeparator);
    }
}

void WriteRacers(Report* file, const RaceStats& race) {
    Put(file, kSeparator);
    WriteHeading(file, "|                           Racer  Info                               |\r\n",
                 "|           Racer         | Files |      KBytes    |   %    |  KB/sec |\r\n");
    for (int32_t i = 1; i <= race.RacerCount(); ++i) {
        const RaceTally* racer = race.Racer(i);
        char userAtGroup[kUserAtGroupMax];
        std::snprintf(userAtGroup, sizeof userAtGroup, "%s@%s", racer->user, racer->group);
        Printf(file, "|  %02d. %-17s  ", i, userAtGroup);
        WriteTallyFigures(file, *racer, race.totalSize);
    }
}

// Racers are counted under the group of their first counted upload.
int32_t RacersOfGroup(const RaceStats& race, const char* group) {
    int32_t count = 0;
    for (const RaceTally& racer : race.racers)
        if (std::strcmp(racer.group, group) == 0) ++count;
    return count;
}

void WriteGroups(Report* file, const RaceStats& race) {
    WriteHeading(file, "|                           Group  Info                               |\r\n",
                 "|      Group     | Racers | Files |      KBytes    |   %    |  KB/sec |\r\n");
    for (int32_t i = 1; i <= race.GroupCount(); ++i) {
        const RaceTally* group = race.Group(i);
        Printf(file, "|  %02d. %-8s  |  %4d  ", i, group->group, RacersOfGroup(race, group->group));
        WriteTallyFigures(file, *group, race.totalSize);
    }
}

}  // namespace

void MakeMessageFile(const Settings& settings, const char* releaseName, const RaceStats& race) {
    const char* path = settings.message;
    if (!*path) return;
    Report report;
    WriteReleaseInfo(&report, releaseName, race);
    WriteRacers(&report, race);
    WriteGroups(&report, race);
    PlatFile* file = PlatCreateTruncate(path);
    if (!file) {
        WriteDiagLog(settings, "MakeMessageFile() fopen failed - %s", std::strerror(errno));
        return;
    }
    PlatWrite(file, report.text.data(), report.text.size());
    PlatClose(file);
}
