// Windows entry point: the raw command line, split by crevik's own rules
// rather than the runtime's argument vector.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/command_line.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::vector<std::string> words = SplitCommandWords(GetCommandLineA());
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    return CrevikMain(static_cast<int>(argv.size()), argv.data());
}
