#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/run_state.h"
#include "main/startup.h"

namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateQuotesGroupWithoutEscapesAndTheTableCuts) {
    const std::string longWord(400, 'w'), cut(kArgMaxLen, 'w');
    const std::pair<std::string, Words> rows[] = {
        {"  prog\tfileuploaded  \"C:\\ftp\\My Rel\\a b.r00\" joe", {"prog", "fileuploaded", "C:\\ftp\\My Rel\\a b.r00", "joe"}},
        {"p \"C:\\dir\\\" x", {"p", "C:\\dir\\", "x"}},  // a backslash does not protect the quote
        {"p \"\" g", {"p", "", "g"}},                      // an empty quoted word keeps its position
        {"\"ab\"cd cd\"ab\"", {"ab", "cd", "cd", "ab"}},
        {"p \"open to the end", {"p", "open to the end"}},
        {"", {}},
        {"0 1 2 3 4 5 6 7 8 9 10 11", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {"p " + longWord + " \"" + longWord + "\" next", {"p", cut, cut, "next"}},
    };
    for (const auto& [line, words] : rows) {
        SplitCommandLine(line.c_str());
        EXPECT_EQ(Words(ArgTable, ArgTable + ArgCount), words) << line;
        EXPECT_EQ(ArgWasCut[1] && ArgWasCut[2] && !ArgWasCut[3], words.size() > 1 && words[1] == cut) << line;
    }
}

TEST(MakeMutexName, DropsTheFirstCharacterAndEverySeparatorAndKeepsTheEnd) {
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\ftp\\up\\Some.Release\\", ":ftpupSome.Release_MUTEX"},
        {"/srv/up/Rel/", "srvupRel_MUTEX"},
        {"", "_MUTEX"},
        {"/" + std::string(244, 'd') + "/Release.Name/", std::string(kMutexNameMax - 18, 'd') + "Release.Name_MUTEX"},
    };
    char name[kMutexNameMax + 1];
    for (const auto& [path, expected] : rows) {
        MakeMutexName(path.c_str(), name);
        EXPECT_EQ(name, expected);
    }
}

}  // namespace
