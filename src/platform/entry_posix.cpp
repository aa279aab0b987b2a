// POSIX entry point: the argument vector is the command line.
#include "commands/commands.h"
#include "main/run_state.h"
#include "main/startup.h"

int main(int argc, char** argv) {
    int status = 0;
    if (RunOperatorCommand(argc, argv, &status)) return status;
    SetArgsFromVector(argc, argv);
    CrevikMain();
    return 0;
}
