#include "commands/commands.h"

#include "commands/command_support.h"
#include "feed/feed.h"
#include "util/util.h"
#include "watch/watch.h"

namespace {

const char* programWord = "";

struct CommandRoute {
    const char* word;
    int (*run)(int argc, const char* const* argv);  // the words after the command word
};

const CommandRoute kCommands[] = {
    {"watch", RunWatch},
    {"check", RunCheck},
    {"cleanup", RunCleanup},
    {"rescan", RunRescan},
};

}  // namespace

const char* ProgramWord() { return programWord; }

bool RunOperatorCommand(int argc, const char* const* argv, int* status) {
    if (argc < 2) return false;
    programWord = argv[0];
    for (const CommandRoute& route : kCommands) {
        if (!EqualNoCase(argv[1], route.word)) continue;
        FeedSilence();
        *status = route.run(argc - 2, argv + 2);
        return true;
    }
    return false;
}
