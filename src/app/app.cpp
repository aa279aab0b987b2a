// The program: every word a command line can start with, events and operator
// commands alike, in one table with what each needs before its handler runs.
#include "app/app.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/command_line.h"
#include "commands/commands.h"
#include "events/events.h"
#include "util/util.h"
#include "watch/watch.h"

namespace {

// What a word needs before its handler runs.
enum Needs : unsigned {
    kNeedsConfig = 1u << 0,   // the program's Crevik.ini
    kNeedsRelease = 1u << 1,  // the event file's release entered under its run lock
    kNeedsLog = 1u << 2,      // and its upload log read
};
constexpr unsigned kEvent = kNeedsConfig | kNeedsRelease | kNeedsLog;

// One run: its settings, its words and, for an event, its release.
struct Run {
    Settings settings;
    int argc;
    const char* const* argv;
    Release* release;
    EventWords event;
};

using Handler = int (*)(Run& run);

struct Route {
    const char* word;
    Handler handler;
    int minWords;  // a shorter command line does nothing
    unsigned needs;
    const char* usage;  // its line in the help; none for the help's own words
};

template <void (*On)(Release&, const EventWords&)> int Event(Run& run) {
    On(*run.release, run.event);
    return 0;
}

template <int (*Command)(const Settings&, int, const char* const*)> int Operator(Run& run) {
    return Command(run.settings, run.argc - 2, run.argv + 2);
}

int Watch(Run& run) { return RunWatch(run.settings, run.argv[0], run.argc - 2, run.argv + 2); }

int Help(Run&);
int Version(Run&) {
    std::printf("crevik %s\n", CREVIK_VERSION);
    return 0;
}

const Route kRoutes[] = {
    {"fileuploaded", Event<OnFileUploaded>, 7, kEvent,
     "crevik fileuploaded <file path> <user> <group> <speed KB/s> <size KB>"},
    {"filedeleted", Event<OnFileDeleted>, 3, kEvent, "crevik filedeleted <file path>"},
    {"sfvsuccess", Event<OnSfvSuccess>, 9, kEvent,
     "crevik sfvsuccess <file path> <user> <group> <speed KB/s> <size KB> <files in sfv> <files good>"},
    {"sfvuploaded", Event<OnSfvUploaded>, 5, kNeedsConfig | kNeedsRelease,  // reads the log after the feed
     "crevik sfvuploaded <sfv path> <files in sfv> <files good>"},
    {"sfvfailed", Event<OnSfvFailed>, 7, kEvent, "crevik sfvfailed <file path> <user> <group> <speed KB/s> <size KB>"},
    {"sfvcomplete", Event<OnSfvComplete>, 3, kEvent, "crevik sfvcomplete <file path>"},
    {"upload", Event<OnUpload>, 5, kEvent, "crevik upload <file path> <user> <group> [<speed KB/s>]"},
    {"delete", Event<OnDelete>, 3, kEvent, "crevik delete <file path>"},
    {"watch", Watch, 2, kNeedsConfig, kWatchUsage},
    {"check", Operator<RunCheck>, 2, kNeedsConfig, kCheckUsage},
    {"cleanup", Operator<RunCleanup>, 2, kNeedsConfig, kCleanupUsage},
    {"rescan", Operator<RunRescan>, 2, kNeedsConfig, kRescanUsage},
    {"help", Help, 1, 0, nullptr},
    {"--help", Help, 1, 0, nullptr},
    {"-h", Help, 1, 0, nullptr},
    {"--version", Version, 1, 0, nullptr},
};

int Help(Run&) {
    std::puts("usage: crevik <word> <words>...; Crevik.ini beside the program holds the settings.\n"
              "Events, run by the FTP server (a line with too few words does nothing; exit 0):");
    for (const Route& route : kRoutes) {
        if (route.handler == Watch)
            std::puts("Operator commands (exit 0 all good, 1 bad or missing found, 2 trouble):");
        if (route.usage) std::printf("  %s\n", route.usage);
    }
    std::puts("  crevik --version\n  crevik --help");
    return 0;
}

const Route* FindRoute(const char* word) {
    for (const Route& route : kRoutes)
        if (EqualNoCase(word, route.word)) return &route;
    return nullptr;
}

// An event in the release its file lies in.
int RunEvent(const Route& route, Run& run) {
    CommandLine line;
    SetArgsFromVector(run.argc, run.argv, &line);
    if (line.count < route.minWords) return 0;
    char dir[kMaxPath], fileName[kMaxPath];
    GetDirPart(line.words[2], dir);
    GetNamePart(line.words[2], fileName);
    // A path cut anywhere, in its word or in its parts, names another file in
    // another directory: not ours to touch.
    if (line.cut[2] || std::strlen(dir) + std::strlen(fileName) != std::strlen(line.words[2])) return 0;

    const char* words[kArgSlots];
    for (int i = 0; i < kArgSlots; ++i) words[i] = line.words[i];
    run.event = EventWords{words, line.count, fileName};
    Release release(run.settings);
    run.release = &release;
    if (!EnterRelease(release, dir)) return 0;
    if (!(route.needs & kNeedsLog) || ReadReleaseLog(release)) route.handler(run);
    LeaveRelease(release);
    return 0;
}

}  // namespace

int CrevikMain(int argc, const char* const* argv) {
    const Route* route = FindRoute(argc < 2 ? "help" : argv[1]);  // the program alone asks what it does
    if (!route) return 0;
    Run run{};
    run.argc = argc;
    run.argv = argv;
    DefaultSettings(&run.settings);
    if (route->needs & kNeedsConfig) LoadProgramSettings(argv[0], &run.settings);
    if (route->needs & kNeedsRelease) return RunEvent(*route, run);
    run.settings.feed[0] = '\0';  // an operator command repairs what events left: it is no race
    return route->handler(run);
}
