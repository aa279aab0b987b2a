// Zip releases as an FTP server drives them: each volume tested as it
// arrives, the release counted by the file_id.diz of its first good volume.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "../zip_maker.h"
#include "harness.h"

namespace {

using namespace e2e;

std::string Volume(int i) {
    return test_zip::Make({{"FILE_ID.DIZ", "Some Tool v1.0\r\n  [0" + std::to_string(i) + "/05]\r\n"},
                           {"tool.r0" + std::to_string(i), std::string(3000, static_cast<char>('a' + i)), true}});
}
std::string Name(int i) { return "tool" + std::to_string(i) + ".zip"; }

TEST(ZipRelease, FiveVolumesInAnyOrderOneDamagedThenSentAgain) {
    Site site;  // a speed of 128 keeps the average exact in any floating point
    site.SetConfig(std::string(kFeedSetting) + "MESSAGE=race.txt\n");
    Release rel(site, "Some.Tool");
    std::vector<int> order = {1, 2, 3, 4, 5};
    unsigned seed = std::random_device{}();
    std::shuffle(order.begin(), order.end(), std::mt19937(seed));
    SCOPED_TRACE("order seed " + std::to_string(seed));
    for (size_t k = 0; k < order.size(); ++k) {
        std::string zip = Volume(order[k]);
        if (k == 2) zip[45] ^= 1;  // a byte of the stored file_id.diz: its CRC fails
        WriteFile(rel.path(Name(order[k])), zip);
        ASSERT_EQ(site.Run({"upload", rel.path(Name(order[k])), k % 2 ? "ann" : "joe", "crew", "128"}), 0);
        if (k != 2) continue;
        Words seen = {".upChk.log", "[40% DONE]-[2 of 5 files checked]/", "[UP #1@1KB by ann@crew at 128KBps]/",
                      "[UP #2@2KB by joe@crew at 128KBps]/", "file_id.diz", Name(order[0]), Name(order[1]),
                      Name(order[2]) + ".bad"};
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(Tree(rel.path()), Joined(seen));
        WriteFile(rel.path(Name(order[k])), Volume(order[k]));
        ASSERT_EQ(site.Run({"upload", rel.path(Name(order[k])), "ann", "crew", "128"}), 0);
    }
    EXPECT_TREE(rel.path(), ".upChk.log", "[100% COMPLETE]-[#5@5KB files at 128KBps]/",
                "[UP #2@2KB by joe@crew at 128KBps]/", "[UP #3@3KB by ann@crew at 128KBps]/", "file_id.diz",
                "race.txt", "tool1.zip", "tool2.zip", "tool3.zip", "tool4.zip", "tool5.zip");
    EXPECT_TREE(site.up(), "Some.Tool/");
    EXPECT_EQ(FileText(rel.path("file_id.diz")), "Some Tool v1.0\r\n  [0" + std::to_string(order[0]) + "/05]\r\n");
    EXPECT_NE(FileText(rel.path("race.txt")).find("ann"), std::string::npos);
    const std::string feed = FileText(site.bin("race.feed"));
    const std::string dizLine = "\"event\":\"diz\"";
    EXPECT_EQ(feed.find(dizLine), feed.find("\"event\":")) << feed;  // the count is told first
    for (auto [event, lines] : {std::pair{dizLine, 1}, {"\"event\":\"newrace\"", 1}, {"\"event\":\"good\"", 5},
                                {"\"event\":\"bad\"", 1}, {"\"event\":\"complete\",", 1}, {"\"files\":5", 8}})
        EXPECT_EQ(CountLines(feed, event), lines) << event << " in\n" << feed;

    // The release as the operator commands see it, and rebuilt from scratch.
    Site::Output check = site.Capture({"check", rel.path()});
    EXPECT_EQ(check.out, "OK       tool1.zip\nOK       tool2.zip\nOK       tool3.zip\nOK       tool4.zip\n"
                         "OK       tool5.zip\nSome.Tool: 5 files, 5 ok, 0 bad, 0 missing\n");
    std::filesystem::remove(rel.path("tool4.zip"));
    rel.Event("filedeleted", "tool4.zip");
    EXPECT_TRUE(Exists(rel.path("[80% DONE]-[4 of 5 files checked]")));
    std::filesystem::remove_all(rel.path("[80% DONE]-[4 of 5 files checked]"));
    std::filesystem::remove(rel.path(".upChk.log"));
    Site::Output rescan = site.Capture({"rescan", rel.path()});
    EXPECT_EQ(rescan.status, 1);
    EXPECT_NE(rescan.out.find("Some.Tool: 5 files, 4 ok, 0 bad, 1 missing\n"), std::string::npos) << rescan.out;
    EXPECT_TRUE(Exists(rel.path("[80% DONE]-[4 of 5 files checked]")));
    EXPECT_TRUE(Exists(site.up("[--INCOMPLETE--]-[Some.Tool]")));
}

TEST(ZipRelease, WithoutCountSettingOrAsSfvRelease) {
    Site site;
    site.SetConfig("[GENERAL]\n");
    Release counted(site, "No.Count"), sfv(site, "Sfv.Release"), off(site, "Off.Release");
    for (int i = 1; i <= 2; ++i) {
        WriteFile(counted.path(Name(i)), test_zip::Make({{"readme.txt", "no diz here"}}));
        EXPECT_EQ(site.Run({"fileuploaded", counted.path(Name(i)), "joe", "crew", "100", "1"}), 0);
    }
    EXPECT_TREE(counted.path(), ".upChk.log", "[UP #2@2KB by joe@crew at 100KBps]/", "tool1.zip", "tool2.zip");
    EXPECT_EQ(CountLines(FileText(site.bin("Crevik.log")), "No.Count"), 1);
    EXPECT_EQ(counted.Log().find("|N"), std::string::npos);  // tested: 'S'

    sfv.WriteSfv("rel.sfv", {"a.r00"});
    WriteFile(sfv.path(Name(1)), "no zip at all");
    EXPECT_EQ(site.Run({"upload", sfv.path(Name(1)), "joe", "crew"}), 0);
    EXPECT_NE(sfv.Log().find("|N\n"), std::string::npos);
    EXPECT_TRUE(Exists(sfv.path(Name(1))));  // only recorded, as any unlisted file

    site.SetConfig("[GENERAL]\nZIP=0\n");
    WriteFile(off.path(Name(1)), Volume(1));
    EXPECT_EQ(site.Run({"upload", off.path(Name(1)), "joe", "crew", "100"}), 0);
    EXPECT_TREE(off.path(), ".upChk.log", "[UP #1@1KB by joe@crew at 100KBps]/", "tool1.zip");
    EXPECT_NE(off.Log().find("|N\n"), std::string::npos);
}

}  // namespace
