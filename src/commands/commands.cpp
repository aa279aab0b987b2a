#include "commands/commands.h"

#include "util/util.h"

namespace {

struct CommandRoute {
    const char* word;
    int (*run)(int argc, const char* const* argv);  // the words after the command word
};

const CommandRoute kCommands[] = {
    {nullptr, nullptr},
};

}  // namespace

bool RunOperatorCommand(int argc, const char* const* argv, int* status) {
    if (argc < 2) return false;
    for (const CommandRoute& route : kCommands) {
        if (!route.word || !EqualNoCase(argv[1], route.word)) continue;
        *status = route.run(argc - 2, argv + 2);
        return true;
    }
    return false;
}
