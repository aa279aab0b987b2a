#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "config/ini_config.h"

namespace {

struct IniFile {
    std::string path = ::testing::TempDir() + "crevik_ini_test.ini";
    IniConfig config;
    explicit IniFile(const std::string& text) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        EXPECT_TRUE(config.Load(path.c_str()));
    }
    ~IniFile() { std::remove(path.c_str()); }
    std::string Get(const char* section, const char* key) { return config.GetString(section, key, "<default>"); }
};

TEST(IniConfig, SectionsKeysAndValuesFollowTheLineRules) {
    IniFile ini(
        "top=before any header\n"
        "[GENERAL]\r\n"
        "MISSING = 0\r\n"
        "missing=7\n"
        "  ; indented comment\n"
        "   \n"
        "\n"
        "BAD=2\n"
        "BAD=1\n"
        "A==b\n"
        "EMPTY=   \n"
        "noequals\n"
        "===X=y\n"
        "MESSAGE=race.txt ; not a comment\n"
        "[TEMPLATE] ; no header\n"
        "UP_DIR=[UP $user at $speed]\n"
        "[ spaced ]\n"
        "k=v\n"
        "_END_ and the rest\n"
        "LATE=1\n");
    EXPECT_EQ(ini.Get("", "top"), "before any header");
    EXPECT_EQ(ini.config.GetInt("GENERAL", "MISSING", 1), 0);
    EXPECT_EQ(ini.config.GetInt("GENERAL", "BAD", 1), 2);
    EXPECT_EQ(ini.Get("GENERAL", "missing"), "7");
    EXPECT_EQ(ini.Get("general", "MISSING"), "<default>");
    EXPECT_EQ(ini.Get("GENERAL", "A"), "=b");
    EXPECT_EQ(ini.Get("GENERAL", "EMPTY"), "<default>");
    EXPECT_EQ(ini.Get("GENERAL", "X"), "y");
    EXPECT_EQ(ini.Get("GENERAL", "MESSAGE"), "race.txt ; not a comment");
    // The bracket line with a comment is no header: GENERAL stays current.
    EXPECT_EQ(ini.Get("GENERAL", "UP_DIR"), "[UP $user at $speed]");
    EXPECT_EQ(ini.Get(" spaced ", "k"), "v");
    EXPECT_EQ(ini.Get("GENERAL", "LATE"), "<default>");
    EXPECT_EQ(ini.config.GetInt("GENERAL", "NOPE", 42), 42);
    EXPECT_STREQ(ini.config.configDir, ::testing::TempDir().c_str());
}

TEST(IniConfig, IntegersAndOverlongFieldsAreReadSafely) {
    std::string longKey(40, 'K'), longValue(400, 'v'), longSection(40, 'S');
    IniFile ini("[GENERAL]\nWORD=yes\nLEAD=2 remark\n" + longKey + "=x\n" + "LONG=" + longValue + "\n[" +
                longSection + "]\nk=1\n" + std::string(600, 'z') + "=tail\n");
    EXPECT_EQ(ini.config.GetInt("GENERAL", "WORD", 5), 0);
    EXPECT_EQ(ini.config.GetInt("GENERAL", "LEAD", 5), 2);
    EXPECT_EQ(ini.Get("GENERAL", std::string(31, 'K').c_str()), "x");
    EXPECT_EQ(ini.Get("GENERAL", "LONG"), std::string(255, 'v'));
    EXPECT_EQ(ini.Get(std::string(31, 'S').c_str(), "k"), "1");
}

TEST(IniConfig, UncountedExtensionsAreBlankSeparatedAndCaseBlind) {
    IniFile ini("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\tx\n");
    EXPECT_TRUE(ini.config.IsUncountedExtension("info.NFO"));
    EXPECT_FALSE(ini.config.IsUncountedExtension("rel.sfv"));  // ".SFV\tx" is one word: tabs do not separate
    EXPECT_FALSE(ini.config.IsUncountedExtension("nfo"));
    EXPECT_FALSE(ini.config.IsUncountedExtension("rel.nfo.bak"));

    IniFile other("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\n");
    EXPECT_TRUE(other.config.IsUncountedExtension("rel.sfv"));
    EXPECT_FALSE(other.config.IsUncountedExtension("rel.sfv.bak"));
}

TEST(IniConfig, AMissingFileLeavesTheStoreAsItWas) {
    IniFile ini("[GENERAL]\nBAD=2\n");
    EXPECT_FALSE(ini.config.Load("/nonexistent/Crevik.ini"));
    EXPECT_EQ(ini.config.GetInt("GENERAL", "BAD", 1), 2);
}

}  // namespace
