#include "commands/commands.h"

#include <cstdio>

#include "commands/command_support.h"
#include "feed/feed.h"
#include "util/util.h"
#include "watch/watch.h"

namespace {

const char* programWord = "";
const char* usageLine = "";

struct CommandRoute {
    const char* word;
    int (*run)(int argc, const char* const* argv);  // the words after the command word
    const char* usage;
};

int RunHelp(int, const char* const*);
int RunVersion(int, const char* const*) {
    std::printf("crevik %s\n", CREVIK_VERSION);
    return kExitOk;
}

const CommandRoute kCommands[] = {
    {"check", RunCheck, "crevik check <dir or .sfv file>..."},
    {"rescan", RunRescan, "crevik rescan [-r] <dir>..."},
    {"cleanup", RunCleanup, "crevik cleanup [--dry-run] <dir>..."},
    {"watch", RunWatch, "crevik watch [--rescan] <upload area>..."},
    {"help", RunHelp, nullptr},
    {"--help", RunHelp, nullptr},
    {"-h", RunHelp, nullptr},
    {"--version", RunVersion, nullptr},
};

// What a server hook passes; a line with fewer words than its event needs does nothing.
const char* const kEventLines[] = {
    "crevik fileuploaded <file path> <user> <group> <speed KB/s> <size KB>",
    "crevik filedeleted <file path>",
    "crevik sfvsuccess <file path> <user> <group> <speed KB/s> <size KB> <files in sfv> <files good>",
    "crevik sfvfailed <file path> <user> <group> <speed KB/s> <size KB>",
    "crevik sfvuploaded <sfv path> <files in sfv> <files good>",
    "crevik sfvcomplete <file path>",
    "crevik upload <file path> <user> <group> [<speed KB/s>]",
    "crevik delete <file path>",
};

int RunHelp(int, const char* const*) {
    std::puts("usage: crevik <word> <words>...; Crevik.ini beside the program holds the settings.\n"
              "Events, run by the FTP server (a line with too few words does nothing; exit 0):");
    for (const char* line : kEventLines) std::printf("  %s\n", line);
    std::puts("Operator commands (exit 0 all good, 1 bad or missing found, 2 trouble):");
    for (const CommandRoute& route : kCommands)
        if (route.usage) std::printf("  %s\n", route.usage);
    std::puts("  crevik --version\n  crevik --help");
    return kExitOk;
}

}  // namespace

const char* ProgramWord() { return programWord; }

const char* CommandUsage() { return usageLine; }

bool RunOperatorCommand(int argc, const char* const* argv, int* status) {
    // The program alone asks what it does; an event word alone is an event.
    if (argc < 2) {
        *status = RunHelp(0, nullptr);
        return true;
    }
    programWord = argv[0];
    for (const CommandRoute& route : kCommands) {
        if (!EqualNoCase(argv[1], route.word)) continue;
        FeedSilence();
        usageLine = route.usage ? route.usage : "";
        *status = route.run(argc - 2, argv + 2);
        return true;
    }
    return false;
}
