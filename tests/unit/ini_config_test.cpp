#include "test_support.h"

namespace {

class IniConfigTest : public ReleaseDirTest {
protected:
    static std::string Get(const std::string& section, const std::string& key) {
        return theConfig.GetString(section.c_str(), key.c_str(), "<default>");
    }
    static bool Uncounted(const char* path) { return theConfig.IsUncountedExtension(path); }
};

TEST_F(IniConfigTest, SectionsKeysAndValuesFollowTheLineRules) {
    Settings("top=before any header\n"
             "[GENERAL]\r\nMISSING = 0\r\nmissing=7\n"
             "  ; indented comment\n   \n\n"
             "BAD=2\nBAD=1\nA==b\nEMPTY=   \nnoequals\n===X=y\n"
             "MESSAGE=race.txt ; not a comment\n"
             "[TEMPLATE] ; no header\nUP_DIR=[UP $user at $speed]\n"
             "[ spaced ]\nk=v\n_END_ and the rest\nLATE=1\n");
    EXPECT_EQ(Get("", "top"), "before any header");
    EXPECT_EQ(theConfig.GetInt("GENERAL", "MISSING", 1), 0);
    EXPECT_EQ(theConfig.GetInt("GENERAL", "BAD", 1), 2);  // the first of equal keys
    EXPECT_EQ(Get("GENERAL", "missing"), "7");
    EXPECT_EQ(Get("general", "MISSING"), "<default>");
    EXPECT_EQ(Get("GENERAL", "A"), "=b");
    EXPECT_EQ(Get("GENERAL", "EMPTY"), "<default>");
    EXPECT_EQ(Get("GENERAL", "X"), "y");
    EXPECT_EQ(Get("GENERAL", "MESSAGE"), "race.txt ; not a comment");
    // The bracket line with a comment is no header: GENERAL stays current.
    EXPECT_EQ(Get("GENERAL", "UP_DIR"), "[UP $user at $speed]");
    EXPECT_EQ(Get(" spaced ", "k"), "v");
    EXPECT_EQ(Get(" spaced ", "LATE"), "<default>");
    EXPECT_EQ(theConfig.GetInt("GENERAL", "NOPE", 42), 42);
    EXPECT_EQ(theConfig.configDir, root_.string() + kPathSep);
    // A file that cannot be read leaves the store as it was.
    EXPECT_FALSE(theConfig.Load((root_ / "none" / "Crevik.ini").string().c_str()));
    EXPECT_EQ(theConfig.GetInt("GENERAL", "BAD", 1), 2);
}

TEST_F(IniConfigTest, IntegersAndOverlongFieldsAreReadSafely) {
    const std::string longKey(40, 'K'), longSection(40, 'S');
    Settings("[GENERAL]\nWORD=yes\nLEAD=2 remark\n" + longKey + "=x\nLONG=" + std::string(400, 'v') + "\n[" +
             longSection + "]\nk=1\n" + std::string(600, 'z') + "=tail\n");
    EXPECT_EQ(theConfig.GetInt("GENERAL", "WORD", 5), 0);
    EXPECT_EQ(theConfig.GetInt("GENERAL", "LEAD", 5), 2);
    EXPECT_EQ(Get("GENERAL", longKey.substr(0, 31)), "x");
    EXPECT_EQ(Get("GENERAL", "LONG"), std::string(255, 'v'));
    EXPECT_EQ(Get(longSection.substr(0, 31), "k"), "1");
}

TEST_F(IniConfigTest, UncountedExtensionsAreBlankSeparatedAndCaseBlind) {
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\tx\n");
    EXPECT_TRUE(Uncounted("info.NFO"));
    EXPECT_FALSE(Uncounted("rel.sfv"));  // ".SFV\tx" is one word: tabs do not separate
    EXPECT_FALSE(Uncounted("nfo") || Uncounted("rel.nfo.bak"));
    Settings("[GENERAL]\nNO_CNT_FEXT=.nfo .SFV\n");
    EXPECT_TRUE(Uncounted("rel.sfv"));
}

}  // namespace
