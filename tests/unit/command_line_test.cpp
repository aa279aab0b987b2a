#include <gtest/gtest.h>

#include <string>

#include "main/run_state.h"
#include "main/startup.h"

namespace {

std::string Word(int n) { return ArgTable[n]; }

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroupWithoutEscapes) {
    SplitCommandLine("  prog\tfileuploaded  \"C:\\ftp\\up\\My Release\\a b.r00\" joe");
    ASSERT_EQ(ArgCount, 4);
    EXPECT_EQ(Word(0), "prog");
    EXPECT_EQ(Word(1), "fileuploaded");
    EXPECT_EQ(Word(2), "C:\\ftp\\up\\My Release\\a b.r00");
    EXPECT_EQ(Word(3), "joe");

    SplitCommandLine("p \"C:\\dir\\\" x");  // a backslash does not protect the closing quote
    ASSERT_EQ(ArgCount, 3);
    EXPECT_EQ(Word(1), "C:\\dir\\");
    EXPECT_EQ(Word(2), "x");
}

TEST(SplitCommandLine, QuotesStartAndEndWordsAnywhere) {
    SplitCommandLine("p \"\" g");  // an empty quoted word keeps its position
    ASSERT_EQ(ArgCount, 3);
    EXPECT_EQ(Word(1), "");
    EXPECT_EQ(Word(2), "g");

    SplitCommandLine("\"ab\"cd cd\"ab\"");
    ASSERT_EQ(ArgCount, 4);
    EXPECT_EQ(Word(0), "ab");
    EXPECT_EQ(Word(1), "cd");
    EXPECT_EQ(Word(2), "cd");
    EXPECT_EQ(Word(3), "ab");

    SplitCommandLine("p \"open to the end");
    ASSERT_EQ(ArgCount, 2);
    EXPECT_EQ(Word(1), "open to the end");

    SplitCommandLine("");
    EXPECT_EQ(ArgCount, 0);
}

TEST(SplitCommandLine, ExtraWordsAreDroppedAndLongWordsCut) {
    SplitCommandLine("0 1 2 3 4 5 6 7 8 9 10 11");
    EXPECT_EQ(ArgCount, kArgSlots);
    EXPECT_EQ(Word(9), "9");

    std::string longWord(400, 'w');
    SplitCommandLine(("p " + longWord + " \"" + longWord + "\" next").c_str());
    ASSERT_EQ(ArgCount, 4);
    EXPECT_EQ(Word(1), std::string(kArgMaxLen, 'w'));
    EXPECT_EQ(Word(2), std::string(kArgMaxLen, 'w'));
    EXPECT_EQ(Word(3), "next");

    const char* argv[12] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    SetArgsFromVector(12, argv);
    EXPECT_EQ(ArgCount, kArgSlots);
    EXPECT_EQ(Word(9), "j");
}

TEST(MakeMutexName, DropsTheFirstCharacterAndEverySeparator) {
    char name[kMutexNameMax + 1];
    MakeMutexName("C:\\ftp\\up\\Some.Release\\", name);
    EXPECT_STREQ(name, ":ftpupSome.Release_MUTEX");
    MakeMutexName("", name);
    EXPECT_STREQ(name, "_MUTEX");
    MakeMutexName("/srv/up/Rel/", name);
    EXPECT_STREQ(name, "srvupRel_MUTEX");

    std::string deep = "/" + std::string(244, 'd') + "/Release.Name/";  // 259 characters
    MakeMutexName(deep.c_str(), name);
    EXPECT_EQ(std::string(name).size(), static_cast<size_t>(kMutexNameMax));
    EXPECT_EQ(std::string(name).substr(std::string(name).size() - 18), "Release.Name_MUTEX");
}

}  // namespace
