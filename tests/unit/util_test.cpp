// Paths, text and the command line: the rules every event starts from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "release/session.h"
#include "util/util.h"

namespace {

TEST(Paths, SplitIntoDriveDirectoryNameAndExtensionWithinTheirBuffers) {
    const std::string longName(300, 'n'), longDir = "/" + std::string(300, 'd') + "/f";
    const struct { std::string path, dir, name, ext; } rows[] = {
        {"C:\\ftp\\rel\\file.rar", "C:\\ftp\\rel\\", "file.rar", ".rar"},
        {"/x/y", "/x/", "y", ""},
        {"C:file.rar", "C:", "file.rar", ".rar"},
        {"C:\\a.b\\", "C:\\a.b\\", "", ""},
        {"x.tar.gz", "", "x.tar.gz", ".gz"},
        {".sfv", "", ".sfv", ".sfv"},
        // Overlong parts are cut, never written past the buffer.
        {"/d/" + longName + ".ext", "/d/", std::string(255, 'n') + ".ext", ".ext"},
        {longDir, longDir.substr(0, 255), "f", ""},
    };
    char dir[kMaxPath], name[kMaxPath], ext[kMaxPath];
    for (const auto& r : rows) {
        GetDirPart(r.path.c_str(), dir);
        GetNamePart(r.path.c_str(), name);
        GetExtPart(r.path.c_str(), ext);
        EXPECT_EQ(std::string(dir) + "|" + name + "|" + ext, r.dir + "|" + r.name + "|" + r.ext) << r.path;
    }
    const std::string sep(1, kPathSep), rel = sep + "ftp" + sep + "rel" + sep;
    CopyText(dir, (rel + "file.rar").c_str());
    SplitParentDir(dir, dir, name);  // in place
    EXPECT_EQ(std::string(dir) + "|" + name, sep + "ftp" + sep + "|rel");
}

TEST(Text, BlanksSizesAndNumbersFollowTheirRules) {
    std::string text = " \t\xA0" "ab\xA0 \r\n\v\f";  // bytes above 0x7F are never blanks
    TrimRight(text.data());
    TrimLeft(text.data());
    EXPECT_STREQ(text.c_str(), "\xA0" "ab\xA0");

    const std::pair<double, const char*> sizes[] = {
        {0, "0KB"},          {1023, "1023KB"},     {1023.5, "1024KB"},           {1024, "1.0MB"},
        {1280, "1.3MB"},     {1792, "1.8MB"},      {1048575, "1024.0MB"},        {1048576, "1.0GB"},
        {1073741824, "1.0TB"}, {1099511627776.0, "1024.0TB"}, {0.0 / 0.0, "0KB"}};
    for (const auto& s : sizes) EXPECT_STREQ(FormatSize(s.first), s.second) << s.first;

    EXPECT_EQ(ParseInt32("  -12abc"), -12);
    EXPECT_EQ(ParseInt32("99999999999"), INT32_MAX);
    EXPECT_EQ(StrToU32("-2", 10), 0xFFFFFFFEu);
    EXPECT_EQ(StrToU32(":1A", 16), 0u);
}

// What `ls --quoting-style=shell-escape` prints for the same names.
TEST(Text, NamesThatCouldActOnATerminalAreShownAsLsQuotesThem) {
    const std::pair<const char*, const char*> names[] = {{"plain name.r00", "plain name.r00"}, {"\xc3\xbc", "\xc3\xbc"},
        {"a\033[31mb", "'a'$'\\033''[31mb'"}, {"t\tnl\n", "'t'$'\\t''nl'$'\\n'"}, {"x\x7fy", "'x'$'\\177''y'"},
#ifndef _WIN32  // names in UTF-8; Windows passes bytes of its ANSI code page as they are
        {"\xff\xfe.r00", "''$'\\377\\376''.r00'"}, {"c1\xc2\x9bx", "'c1'$'\\302\\233''x'"}
#endif
    };
    for (const auto& n : names) EXPECT_EQ(ShownName(n.first), n.second);
}

using Words = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateQuotesGroupWithoutEscapesAndTheTableCuts) {
    const std::string longWord(400, 'w'), cut(kArgMaxLen, 'w');
    const std::pair<std::string, Words> rows[] = {
        {"  prog\tfileuploaded  \"C:\\ftp\\My Rel\\a b.r00\" joe",
         {"prog", "fileuploaded", "C:\\ftp\\My Rel\\a b.r00", "joe"}},
        {"p \"C:\\dir\\\" x", {"p", "C:\\dir\\", "x"}},  // a backslash does not protect the quote
        {"p \"\" g", {"p", "", "g"}},                      // an empty quoted word keeps its position
        {"\"ab\"cd cd\"ab\"", {"ab", "cd", "cd", "ab"}},
        {"p \"open to the end", {"p", "open to the end"}},
        {"", {}},
        {"0 1 2 3 4 5 6 7 8 9 10 11", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {"p " + longWord + " \"" + longWord + "\" next", {"p", cut, cut, "next"}},
    };
    for (const auto& [line, words] : rows) {
        CommandLine commandLine;
        SplitCommandLine(line.c_str(), &commandLine);
        const auto& ArgTable = commandLine.words;
        const int32_t ArgCount = commandLine.count;
        const auto& ArgWasCut = commandLine.cut;
        EXPECT_EQ(Words(ArgTable, ArgTable + ArgCount), words) << line;
        EXPECT_EQ(ArgWasCut[1] && ArgWasCut[2] && !ArgWasCut[3], words.size() > 1 && words[1] == cut) << line;
    }
}

TEST(MakeMutexName, DropsTheFirstCharacterAndEverySeparatorAndKeepsTheEnd) {
    const std::pair<std::string, std::string> rows[] = {
        {"C:\\ftp\\up\\Some.Release\\", ":ftpupSome.Release_MUTEX"},
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
