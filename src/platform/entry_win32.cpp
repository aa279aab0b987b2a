// Windows entry point: the raw command line, split by crevik's own rules
// rather than the runtime's argument vector.
#include <windows.h>

#include <string>
#include <vector>

#include "commands/commands.h"
#include "main/run_state.h"
#include "main/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* text = GetCommandLineA();
    std::vector<std::string> words = SplitCommandWords(text);
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    int status = 0;
    if (RunOperatorCommand(static_cast<int>(argv.size()), argv.data(), &status)) return status;
    SplitCommandLine(text);
    CrevikMain();
    return 0;
}
