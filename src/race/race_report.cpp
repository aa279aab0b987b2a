#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/diag_log.h"
#include "platform/platform.h"
#include "race/race.h"

namespace {

constexpr const char* kSeparator = "+---------------------------------------------------------------------+\r\n";
// Shown in place of the winner or the peak record when no upload counted.
constexpr const char* kNoValue = "none";
constexpr int kValueMax = 128;                        // the longest value: two names and five numbers
constexpr int kUserAtGroupMax = 2 * kNameField;       // "user@group"

void WriteRow(FILE* file, const char* label, const char* value) {
    std::fprintf(file, "| %-10s : %-54s |\r\n", label, value);
}

// Share of the total; 0.0 when nothing counted, rather than a division by zero.
double Percent(int32_t size, int32_t total) {
    if (total == 0) return 0.0;
    return static_cast<double>(size) * 100.0 / static_cast<double>(total);
}

void WriteReleaseInfo(FILE* file, const char* name, const RaceStats& race) {
    char value[kValueMax];
    std::fputs(kSeparator, file);
    std::fputs("|                           Release Info                              |\r\n", file);
    std::fputs(kSeparator, file);
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

void WriteRacers(FILE* file, const RaceStats& race) {
    std::fputs(kSeparator, file);
    std::fputs("|                           Racer  Info                               |\r\n", file);
    std::fputs(kSeparator, file);
    std::fputs("|           Racer         | Files |      KBytes    |   %    |  KB/sec |\r\n", file);
    std::fputs(kSeparator, file);
    int32_t total = race.totalSize;
    for (int32_t i = 1; i <= race.RacerCount(); ++i) {
        const RaceTally* racer = race.Racer(i);
        char userAtGroup[kUserAtGroupMax];
        std::snprintf(userAtGroup, sizeof userAtGroup, "%s@%s", racer->user, racer->group);
        std::fprintf(file, "|  %02d. %-17s  ", i, userAtGroup);
        std::fprintf(file, "| %4df ", racer->files);
        std::fprintf(file, "|    %8d    ", racer->size);
        std::fprintf(file, "| %5.1f%% ", Percent(racer->size, total));
        std::fprintf(file, "|  %5d  |\r\n", racer->speed);
        std::fputs(kSeparator, file);
    }
}

// Racers are counted under the group of their first counted upload.
int32_t RacersOfGroup(const RaceStats& race, const char* group) {
    int32_t count = 0;
    for (const RaceTally& racer : race.racers)
        if (std::strcmp(racer.group, group) == 0) ++count;
    return count;
}

void WriteGroups(FILE* file, const RaceStats& race) {
    std::fputs("|                           Group  Info                               |\r\n", file);
    std::fputs(kSeparator, file);
    std::fputs("|      Group     | Racers | Files |      KBytes    |   %    |  KB/sec |\r\n", file);
    std::fputs(kSeparator, file);
    int32_t total = race.totalSize;
    for (int32_t i = 1; i <= race.GroupCount(); ++i) {
        const RaceTally* group = race.Group(i);
        std::fprintf(file, "|  %02d. %-8s  ", i, group->group);
        std::fprintf(file, "|  %4d  ", RacersOfGroup(race, group->group));
        std::fprintf(file, "| %4df ", group->files);
        std::fprintf(file, "|    %8d    ", group->size);
        std::fprintf(file, "| %5.1f%% ", Percent(group->size, total));
        std::fprintf(file, "|  %5d  |\r\n", group->speed);
        std::fputs(kSeparator, file);
    }
}

}  // namespace

void MakeMessageFile(const Settings& settings, const char* releaseName, const RaceStats& race) {
    const char* path = settings.message;
    if (!*path) return;
    FILE* file = PlatCreateStream(path);
    if (!file) {
        WriteDiagLog(settings, "MakeMessageFile() fopen failed - %s", std::strerror(errno));
        return;
    }
    WriteReleaseInfo(file, releaseName, race);
    WriteRacers(file, race);
    WriteGroups(file, race);
    std::fclose(file);
}
