#include <gtest/gtest.h>

#include <string>

#include "util/util.h"

namespace {

std::string Dir(const std::string& path) { char out[kMaxPath]; GetDirPart(path.c_str(), out); return out; }
std::string Name(const std::string& path) { char out[kMaxPath]; GetNamePart(path.c_str(), out); return out; }
std::string Ext(const std::string& path) { char out[kMaxPath]; GetExtPart(path.c_str(), out); return out; }

TEST(Paths, SplitIntoDriveDirectoryNameAndExtension) {
    EXPECT_EQ(Dir("C:\\ftp\\rel\\file.rar"), "C:\\ftp\\rel\\");
    EXPECT_EQ(Name("C:\\ftp\\rel\\file.rar"), "file.rar");
    EXPECT_EQ(Ext("C:\\ftp\\rel\\file.rar"), ".rar");
    EXPECT_EQ(Dir("/x/y"), "/x/");
    EXPECT_EQ(Dir("C:file.rar"), "C:");
    EXPECT_EQ(Name("C:\\a\\"), "");
    EXPECT_EQ(Ext("C:\\a.b\\c"), "");
    EXPECT_EQ(Ext("x.tar.gz"), ".gz");
    EXPECT_EQ(Ext(".sfv"), ".sfv");
    // Overlong parts are cut, never written past the buffer.
    EXPECT_EQ(Name("/d/" + std::string(300, 'n') + ".ext"), std::string(255, 'n') + ".ext");
    EXPECT_EQ(Dir("/" + std::string(300, 'd') + "/f").size(), 255u);

    char parent[kMaxPath], name[kMaxPath];
    const std::string sep(1, kPathSep);
    std::string rel = sep + "ftp" + sep + "rel" + sep;
    SplitParentDir((rel + "file.rar").c_str(), parent, name);
    EXPECT_EQ(std::string(parent) + "|" + name, sep + "ftp" + sep + "|rel");
    char inPlace[kMaxPath];
    CopyText(inPlace, rel.c_str());
    SplitParentDir(inPlace, inPlace, name);
    EXPECT_EQ(std::string(inPlace), sep + "ftp" + sep);
}

// Right first, so that each side meets its own edge case.
std::string Trimmed(std::string text) {
    TrimRight(text.data());
    TrimLeft(text.data());
    return text.c_str();
}

TEST(Text, TrimmingStopsAtTheSixBlanks) {
    EXPECT_EQ(Trimmed(" \tab \r\n\v\f"), "ab");
    EXPECT_EQ(Trimmed(" \t"), "");
    EXPECT_EQ(Trimmed("\xA0x\xA0"), "\xA0x\xA0");  // bytes above 0x7F are never blanks
    EXPECT_EQ(FirstNonBlank("  ;c"), ';');
    EXPECT_EQ(FirstNonBlank("\r\n"), '\0');
}

TEST(Text, FormatSizeRoundsHalvesAwayAndStopsAtTerabytes) {
    const std::pair<double, const char*> cases[] = {
        {0, "0KB"},          {1023, "1023KB"},         {1023.5, "1024KB"},    {1024, "1.0MB"},
        {1280, "1.3MB"},     {1792, "1.8MB"},          {1048575, "1024.0MB"}, {1048576, "1.0GB"},
        {1073741824, "1.0TB"}, {1099511627776.0, "1024.0TB"}, {0.0 / 0.0, "0KB"}};
    for (const auto& c : cases) EXPECT_STREQ(FormatSize(c.first), c.second) << c.first;
}

TEST(Text, NumbersFollowTheCLibraryRules) {
    EXPECT_EQ(ParseInt32("  -12abc"), -12);
    EXPECT_EQ(ParseInt32("yes"), 0);
    EXPECT_EQ(ParseInt32("99999999999"), INT32_MAX);
    EXPECT_EQ(StrToU32(" 0x1A2B3C4Dxyz", 16), 0x1A2B3C4Du);
    EXPECT_EQ(StrToU32("123456789", 16), 0xFFFFFFFFu);
    EXPECT_EQ(StrToU32("-1", 16), 0xFFFFFFFFu);
    EXPECT_EQ(StrToU32("-2", 10), 0xFFFFFFFEu);
    EXPECT_EQ(StrToU32(":1A", 16), 0u);
}

}  // namespace
