// POSIX entry point: the argument vector is the command line.
#include "main/run_state.h"
#include "main/startup.h"

int main(int argc, char** argv) {
    SetArgsFromVector(argc, argv);
    CrevikMain();
    return 0;
}
