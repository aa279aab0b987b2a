#include "zip/zip.h"

#include <cstdlib>
#include <cstring>

#include "../zip_maker.h"
#include "test_support.h"

using test_zip::Entry;
using test_zip::Make;

namespace {

const std::string kText = std::string(3000, 'a') + "Some text that deflates.\n";
const std::string kDiz = "Some.Tool v1.0 (c) crew\r\n   [01/05]\r\n";

// Writes the bytes as a file of the scratch release and tests it.
ZipReport TestBytes(const std::string& bytes, const std::string& name = "t.zip") {
    EXPECT_TRUE(WriteFile(name, bytes));
    return ZipTestFile(name.c_str());
}

#ifndef _WIN32
// Info-ZIP's own judgement: unzip -t passes only a sound zip.
bool UnzipPasses(const std::string& name) {
    return std::system(("unzip -tqq '" + name + "' >/dev/null 2>&1").c_str()) == 0;
}
#endif

}  // namespace

using ZipTest = ReleaseDirTest;

TEST_F(ZipTest, EveryWayAZipCanBeBadIsAVerdictThatUnzipShares) {
    const std::string good = Make({{"file_id.diz", kDiz}, {"a/b.txt", kText, true}});
    std::string flipped = Make({{"x.bin", kText}});
    flipped[40] ^= 1;  // a data byte
    std::string large = Make({{"a", std::string(3 << 20, 'a')}, {"b", std::string(3 << 20, 'b')}, {"c", kText}});
    large[(3 << 20) + 200] ^= 1;  // in b, after a whole member
    std::string spanned = good;
    spanned[spanned.size() - 18] = 1;  // the end record's disk number
    const struct Case {
        const char* what;
        std::string bytes;
        ZipVerdict verdict;
        const char* member;
        bool unzipPasses;  // unzip -t checks CRCs only: names, sizes and limits pass it
    } cases[] = {
        {"stored and deflated", good, ZipVerdict::Good, "", true},
        {"a comment after the end record", Make({{"x", kText}}, "a comment"), ZipVerdict::Good, "", true},
        {"truncated", good.substr(0, good.size() / 2), ZipVerdict::Truncated, "", false},
        {"cut in its end record", good.substr(0, good.size() - 3), ZipVerdict::Truncated, "", false},
        {"not a zip", "plain text, no zip at all", ZipVerdict::Damaged, "", false},
        {"bytes before the zip", "stub" + good, ZipVerdict::Damaged, "", false},
        {"no members", Make({}), ZipVerdict::Empty, "", false},
        {"one of several disks", spanned, ZipVerdict::UnsupportedFormat, "", false},
        {"a data byte flipped", flipped, ZipVerdict::CrcMismatch, "x.bin", false},
        {"large members, the second damaged", large, ZipVerdict::CrcMismatch, "b", false},
        {"a wrong CRC", Make({{"x", kText, true, -1, -1, 0x12345678}}), ZipVerdict::CrcMismatch, "x", false},
        {"bzip2", Make({{"x", kText, false, -1, -1, -1, 0, 12}}), ZipVerdict::UnsupportedMethod, "x", false},
        {"encrypted", Make({{"x", kText, false, -1, -1, -1, 1}}), ZipVerdict::Encrypted, "x", false},
        {"bigger than it says", Make({{"x", kText, true, 100}}), ZipVerdict::SizeMismatch, "x", true},
        {"smaller than it says", Make({{"x", kText, true, 5000}}), ZipVerdict::SizeMismatch, "x", true},
        {"stored, bigger than it says", Make({{"x", kText, false, 100}}), ZipVerdict::SizeMismatch, "x", false},
        {"directory lies about a size", Make({{"x", kText, true, -1, 100}}), ZipVerdict::Damaged, "x", true},
        {"a member over its limit", Make({{"x", kText, true, 0x7fffffff}}), ZipVerdict::OverLimit, "x", true},
        {"members over the limit in all", Make(std::vector<Entry>(5, {"x", kText, true, 0x3fffffff})),
         ZipVerdict::OverLimit, "x", true},
        {"members sharing their bytes", Make({{"x", kText, true, -1, -1, -1, 0, 0xffff, 3}}), ZipVerdict::OverLimit,
         "x", false},
        {"a ../ name", Make({{"../evil", kText}}), ZipVerdict::UnsafeName, "../evil", true},
        {"a ..\\ step", Make({{"a\\..\\..\\evil", kText}}), ZipVerdict::UnsafeName, "a\\..\\..\\evil", true},
        {"an absolute name", Make({{"/etc/evil", kText}}), ZipVerdict::UnsafeName, "/etc/evil", true},
        {"a drive", Make({{"C:evil", kText}}), ZipVerdict::UnsafeName, "C:evil", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipReport report = TestBytes(c.bytes);
        EXPECT_EQ(ZipVerdictText(report.verdict), std::string(ZipVerdictText(c.verdict)));
        EXPECT_EQ(report.member, c.member);
#ifndef _WIN32
        EXPECT_EQ(UnzipPasses("t.zip"), c.unzipPasses);
#endif
    }
    EXPECT_TREE(release_.string(), "t.zip");  // nothing was ever extracted
}

TEST_F(ZipTest, KeepsTheFirstTopLevelDizOfAGoodZipOnly) {
    ZipReport report = TestBytes(Make({{"sub/file_id.diz", "[01/09]"}, {"FILE_ID.DIZ", kDiz}, {"file_id.diz", "2"}}));
    EXPECT_TRUE(report.hasDiz);
    EXPECT_EQ(report.diz, kDiz);
    EXPECT_EQ(report.members, 3u);
    EXPECT_FALSE(TestBytes(Make({{"file_id.diz", kDiz, false, -1, -1, 7}})).hasDiz);
    EXPECT_FALSE(TestBytes(Make({{"file_id.diz", std::string(kDizMax + 1, ' ')}})).hasDiz);
    EXPECT_EQ(ZipTestFile("absent.zip").verdict, ZipVerdict::Unreadable);
}

#ifndef _WIN32
TEST_F(ZipTest, ZipsOfInfoZipAndPythonPass) {
    WriteFile("file_id.diz", kDiz);
    WriteFile("text.txt", kText);
    ASSERT_EQ(std::system("mkdir d && cp text.txt d/ && zip -qr info.zip file_id.diz text.txt d && rm -r d"), 0);
    ASSERT_EQ(std::system("seq 1 3000 | zip -q stream.zip -"), 0);  // zip64, sizes after the data
    ASSERT_EQ(std::system("python3 -c \"import zipfile as z; f = z.ZipFile('py.zip', 'w');"
                          " f.write('text.txt', 's.txt', z.ZIP_STORED); f.write('text.txt', 'd.txt', z.ZIP_DEFLATED);"
                          " f.writestr('e/', ''); f.open('z.txt', 'w', force_zip64=True).close(); f.close()\""),
              0);
    for (const char* name : {"info.zip", "stream.zip", "py.zip"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(UnzipPasses(name));
        EXPECT_EQ(ZipTestFile(name).verdict, ZipVerdict::Good);
    }
    ZipReport info = ZipTestFile("info.zip");
    EXPECT_EQ(info.members, 4u);
    EXPECT_EQ(DizVolumeCount(info.diz.data(), info.diz.size()), 5);
}
#endif

TEST(DizCount, ThePatternsAndWhatTheyRefuse) {
    const struct {
        const char* text;
        int32_t count;
    } cases[] = {
        {"Tool [01/15] crew", 15}, {"[xx/15]", 15}, {"[XX/7]", 7},     {"[ 1 / 15 ]", 15}, {"(1/15)", 15},
        {"(?\?/3)", 3},             {"Disk 1 of 15", 15}, {"DISC xx of 2", 2}, {"disk 01 of 999", 999},
        {"first (1/2) then [1/3]", 2}, {"(c) 2026 [1/1000] [1/4]", 4}, {"[1/15) [/15] (1/15]", 0},
        {"disk 1 of", 0},          {"1/15", 0},          {"[1/0]", 0},       {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(DizVolumeCount(c.text, std::strlen(c.text)), c.count) << c.text;
}
