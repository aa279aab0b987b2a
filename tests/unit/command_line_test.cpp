#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/run_state.h"
#include "main/startup.h"

namespace {

using Words = std::vector<std::string>;

Words Table() { return Words(ArgTable, ArgTable + ArgCount); }
Words Split(const std::string& text) {
    SplitCommandLine(text.c_str());
    return Table();
}

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroupWithoutEscapes) {
    EXPECT_EQ(Split("  prog\tfileuploaded  \"C:\\ftp\\up\\My Release\\a b.r00\" joe"),
              (Words{"prog", "fileuploaded", "C:\\ftp\\up\\My Release\\a b.r00", "joe"}));
    // A backslash does not protect the closing quote.
    EXPECT_EQ(Split("p \"C:\\dir\\\" x"), (Words{"p", "C:\\dir\\", "x"}));
    // Quotes start and end words anywhere; an empty quoted word keeps its position.
    EXPECT_EQ(Split("p \"\" g"), (Words{"p", "", "g"}));
    EXPECT_EQ(Split("\"ab\"cd cd\"ab\""), (Words{"ab", "cd", "cd", "ab"}));
    EXPECT_EQ(Split("p \"open to the end"), (Words{"p", "open to the end"}));
    EXPECT_EQ(Split(""), Words{});
}

TEST(SplitCommandLine, ExtraWordsAreDroppedAndLongWordsCut) {
    EXPECT_EQ(Split("0 1 2 3 4 5 6 7 8 9 10 11"), (Words{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    const std::string longWord(400, 'w'), cut(kArgMaxLen, 'w');
    EXPECT_EQ(Split("p " + longWord + " \"" + longWord + "\" next"), (Words{"p", cut, cut, "next"}));
    const char* argv[12] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    SetArgsFromVector(12, argv);
    EXPECT_EQ(Table(), (Words{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
}

TEST(MakeMutexName, DropsTheFirstCharacterAndEverySeparator) {
    char name[kMutexNameMax + 1];
    MakeMutexName("C:\\ftp\\up\\Some.Release\\", name);
    EXPECT_STREQ(name, ":ftpupSome.Release_MUTEX");
    MakeMutexName("", name);
    EXPECT_STREQ(name, "_MUTEX");
    MakeMutexName("/srv/up/Rel/", name);
    EXPECT_STREQ(name, "srvupRel_MUTEX");

    // An over-long name keeps its end, where the release's own name is.
    MakeMutexName(("/" + std::string(244, 'd') + "/Release.Name/").c_str(), name);
    EXPECT_EQ(name, std::string(kMutexNameMax - 18, 'd') + "Release.Name_MUTEX");
}

}  // namespace
