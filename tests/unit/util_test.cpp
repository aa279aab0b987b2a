#include <gtest/gtest.h>

#include <string>

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
    std::string text = " \tab \r\n\v\f";
    TrimRight(text.data());
    TrimLeft(text.data());
    EXPECT_STREQ(text.c_str(), "ab");
    text = "\xA0x\xA0";  // bytes above 0x7F are never blanks
    TrimRight(text.data());
    TrimLeft(text.data());
    EXPECT_STREQ(text.c_str(), "\xA0x\xA0");
    EXPECT_EQ(FirstNonBlank("  ;c"), ';');
    EXPECT_EQ(FirstNonBlank("\r\n"), '\0');

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

}  // namespace
