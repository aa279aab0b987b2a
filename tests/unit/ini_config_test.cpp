#include "config/ini_config.h"
#include "test_support.h"

namespace {

using IniConfigTest = ReleaseDirTest;

TEST_F(IniConfigTest, SectionsKeysAndValuesFollowTheLineRulesWithinTheirFields) {
    const std::string longKey(40, 'K'), longSection(40, 'S');
    Settings("top=before any header\n"
             "[GENERAL]\r\nMISSING = 0\r\nmissing=7\n  ; indented comment\n   \n\n"
             "BAD=2\nBAD=1\nA==b\nEMPTY=   \nnoequals\n===X=y\nWORD=yes\nLEAD=2 remark\n"
             "MESSAGE=race.txt ; not a comment\n" + longKey + "=x\nLONG=" + std::string(400, 'v') + "\n" +
             "[TEMPLATE] ; no header\nUP_DIR=[UP $user at $speed]\n" + std::string(600, 'z') + "=tail\n"
             "[" + longSection + "]\nk=1\n[ spaced ]\nk=v\n_END_ and the rest\nLATE=1\n");
    IniConfig theConfig;  // the reader behind the settings
    ASSERT_TRUE(theConfig.Load((root_ / "Crevik.ini").string().c_str()));
    const struct { const char *section, *key; std::string value; } rows[] = {
        {"", "top", "before any header"},
        {"GENERAL", "MISSING", "0"},
        {"GENERAL", "missing", "7"},
        {"general", "MISSING", "<default>"},
        {"GENERAL", "BAD", "2"},  // the first of equal keys
        {"GENERAL", "A", "=b"},
        {"GENERAL", "EMPTY", "<default>"},
        {"GENERAL", "X", "y"},
        {"GENERAL", "MESSAGE", "race.txt ; not a comment"},
        {"GENERAL", "KKKKKKKKKKKKKKKKKKKKKKKKKKKKKKK", "x"},  // 31 characters
        {"GENERAL", "LONG", std::string(255, 'v')},
        {"GENERAL", "UP_DIR", "[UP $user at $speed]"},  // a header with a comment is none
        {"SSSSSSSSSSSSSSSSSSSSSSSSSSSSSSS", "k", "1"},
        {" spaced ", "k", "v"},
        {" spaced ", "LATE", "<default>"},
    };
    for (const auto& r : rows) EXPECT_EQ(theConfig.GetString(r.section, r.key, "<default>"), r.value) << r.key;
    EXPECT_EQ(theConfig.GetInt("GENERAL", "WORD", 5), 0);
    EXPECT_EQ(theConfig.GetInt("GENERAL", "LEAD", 5), 2);
    EXPECT_EQ(theConfig.GetInt("GENERAL", "NOPE", 42), 42);
    EXPECT_EQ(theConfig.configDir, root_.string() + kPathSep);
    // A file that cannot be read leaves the store as it was.
    EXPECT_FALSE(theConfig.Load((root_ / "none" / "Crevik.ini").string().c_str()));
    EXPECT_EQ(theConfig.GetInt("GENERAL", "BAD", 1), 2);
}

TEST_F(IniConfigTest, UncountedExtensionsAreBlankSeparatedAndCaseBlind) {
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\tx\n");
    EXPECT_TRUE(IsUncountedExtension(settings_, "info.NFO"));
    for (const char* path : {"rel.sfv", "nfo", "rel.nfo.bak"})  // ".SFV\tx" is one word
        EXPECT_FALSE(IsUncountedExtension(settings_, path)) << path;
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\n");
    EXPECT_TRUE(IsUncountedExtension(settings_, "rel.sfv"));
}

}  // namespace
