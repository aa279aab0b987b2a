// Windows entry point: the raw command line, split by crevik's own rules
// rather than the runtime's argument vector.
#include <windows.h>

#include "main/run_state.h"
#include "main/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SplitCommandLine(GetCommandLineA());
    CrevikMain();
    return 0;
}
