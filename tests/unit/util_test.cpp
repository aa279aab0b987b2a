#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "util/util.h"

namespace {

std::string Dir(const char* path) { char out[kMaxPath]; GetDirPart(path, out); return out; }
std::string Name(const char* path) { char out[kMaxPath]; GetNamePart(path, out); return out; }
std::string Ext(const char* path) { char out[kMaxPath]; GetExtPart(path, out); return out; }

TEST(Paths, SplitIntoDriveDirectoryNameAndExtension) {
    EXPECT_EQ(Dir("C:\\ftp\\rel\\file.rar"), "C:\\ftp\\rel\\");
    EXPECT_EQ(Name("C:\\ftp\\rel\\file.rar"), "file.rar");
    EXPECT_EQ(Ext("C:\\ftp\\rel\\file.rar"), ".rar");
    EXPECT_EQ(Dir("/x/y"), "/x/");
    EXPECT_EQ(Dir("file.rar"), "");
    EXPECT_EQ(Dir("C:file.rar"), "C:");
    EXPECT_EQ(Name("C:\\a\\"), "");
    EXPECT_EQ(Ext("C:\\a.b\\c"), "");
    EXPECT_EQ(Ext("x.tar.gz"), ".gz");
    EXPECT_EQ(Ext("name."), ".");
    EXPECT_EQ(Ext(".sfv"), ".sfv");
    EXPECT_EQ(Name("/up/rel/.sfv"), ".sfv");
}

TEST(Paths, PartsOfOverlongPathsAreCutNotOverrun) {
    std::string longName(300, 'n');
    std::string path = "/d/" + longName + ".ext";
    EXPECT_EQ(Name(path.c_str()), std::string(255, 'n') + ".ext");
    std::string longDir = "/" + std::string(300, 'd') + "/f";
    EXPECT_EQ(Dir(longDir.c_str()).size(), 255u);
}

TEST(Paths, SplitParentDirGivesParentAndDirectoryName) {
    // It cuts at the system's own separator only, so the paths use it.
    auto native = [](std::string path) {
        for (char& c : path)
            if (c == '/') c = kPathSep;
        return path;
    };
    char parent[kMaxPath], name[kMaxPath];
    SplitParentDir(native("/ftp/rel/file.rar").c_str(), parent, name);
    EXPECT_EQ(parent, native("/ftp/"));
    EXPECT_STREQ(name, "rel");
    SplitParentDir(native("/ftp/rel/").c_str(), parent, name);
    EXPECT_EQ(parent, native("/ftp/"));
    EXPECT_STREQ(name, "rel");
    SplitParentDir("file", parent, name);
    EXPECT_STREQ(parent, "");
    EXPECT_STREQ(name, "");
    char inPlace[kMaxPath];
    CopyText(inPlace, native("/a/b/c/").c_str());
    SplitParentDir(inPlace, inPlace, name);
    EXPECT_EQ(inPlace, native("/a/b/"));
#ifdef _WIN32
    SplitParentDir("C:/ftp/rel/file", parent, name);  // no backslash to cut at
    EXPECT_STREQ(parent, "C:/ftp/rel/");
    EXPECT_STREQ(name, "");
#endif
}

TEST(Text, TrimmingAndFirstNonBlank) {
    char a[] = " \tab ";
    TrimLeft(a);
    EXPECT_STREQ(a, "ab ");
    char b[] = "ab \r\n";
    TrimRight(b);
    EXPECT_STREQ(b, "ab");
    char c[] = "";
    TrimRight(c);
    EXPECT_STREQ(c, "");
    char d[] = " \t\v\f";
    TrimRight(d);
    EXPECT_STREQ(d, "");
    char e[] = "\xA0x\xA0";  // bytes above 0x7F are never blanks
    TrimLeft(e);
    TrimRight(e);
    EXPECT_STREQ(e, "\xA0x\xA0");
    EXPECT_EQ(FirstNonBlank("  ;c"), ';');
    EXPECT_EQ(FirstNonBlank("\r\n"), '\0');
}

TEST(Text, FormatSizeRoundsHalvesAwayAndStopsAtTerabytes) {
    EXPECT_STREQ(FormatSize(0), "0KB");
    EXPECT_STREQ(FormatSize(512), "512KB");
    EXPECT_STREQ(FormatSize(1023), "1023KB");
    EXPECT_STREQ(FormatSize(1023.5), "1024KB");
    EXPECT_STREQ(FormatSize(1024), "1.0MB");
    EXPECT_STREQ(FormatSize(1280), "1.3MB");
    EXPECT_STREQ(FormatSize(1792), "1.8MB");
    EXPECT_STREQ(FormatSize(1048575), "1024.0MB");
    EXPECT_STREQ(FormatSize(1048576), "1.0GB");
    EXPECT_STREQ(FormatSize(1073741824), "1.0TB");
    EXPECT_STREQ(FormatSize(1099511627776.0), "1024.0TB");
    EXPECT_STREQ(FormatSize(0.0 / 0.0), "0KB");
}

TEST(Text, ParseInt32FollowsAtolAndClamps) {
    EXPECT_EQ(ParseInt32("  -12abc"), -12);
    EXPECT_EQ(ParseInt32("yes"), 0);
    EXPECT_EQ(ParseInt32("99999999999"), INT32_MAX);
}

}  // namespace
