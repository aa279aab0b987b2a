// Directory search over one tree; the same expectations hold on POSIX and on
// Windows, where the kernel would also match 8.3 short names.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

class PlatformSearch : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("crevik_search_" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directory(dir_));
        for (const char* file : {"a.sfv", "b.sfvx", "C.SFV", "x[1].sfv", "a.b", "ab", "some.release.name.r00",
                                 "Some-Release-Name.r01", "readme.txt", "-missing"})
            ASSERT_TRUE(PlatCreateEmptyFile(Path(file).c_str())) << file;
        for (const char* sub : {"sub.sfv", "[UP #2@1.0MB by joe@crew at 1.2MBps]"})
            ASSERT_TRUE(PlatCreateDir(Path(sub).c_str())) << sub;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // "name" for files, "name/" for directories, in the order returned.
    std::vector<std::string> Find(const std::string& pattern) const {
        std::vector<std::string> found;
        PlatFindEntry entry;
        PlatFind* find = PlatFindFirst(Path(pattern).c_str(), &entry);
        if (!find) return found;
        do found.push_back(std::string(entry.name) + (entry.isDir ? "/" : ""));
        while (PlatFindNext(find, &entry));
        PlatFindClose(find);
        return found;
    }

    fs::path dir_;
};

using Names = std::vector<std::string>;

TEST_F(PlatformSearch, MatchesLongNamesOnlyIgnoringCaseSorted) {
    // b.sfvx has the short name B~1.SFV on Windows and must not be found.
    EXPECT_EQ(Find("*.sfv"), (Names{"a.sfv", "C.SFV", "sub.sfv/", "x[1].sfv"}));
    EXPECT_EQ(Find("*.SfV*"), (Names{"a.sfv", "b.sfvx", "C.SFV", "sub.sfv/", "x[1].sfv"}));
    // Long names with several dots have mangled short names too.
    EXPECT_EQ(Find("*.r0?"), (Names{"Some-Release-Name.r01", "some.release.name.r00"}));
    EXPECT_EQ(Find("some*"), (Names{"Some-Release-Name.r01", "some.release.name.r00"}));
}

TEST_F(PlatformSearch, OnlyStarAndQuestionMarkAreWildcards) {
    EXPECT_EQ(Find("x[1].sfv"), (Names{"x[1].sfv"}));
    EXPECT_EQ(Find("x1.sfv"), Names{});
    // '?' is exactly one character, a dot included, never none.
    EXPECT_EQ(Find("a?b"), (Names{"a.b"}));
    EXPECT_EQ(Find("ab?"), Names{});
    // No DOS meaning for "*.*": a name without a dot does not match.
    EXPECT_EQ(Find("a*.*"), (Names{"a.b", "a.sfv"}));
    EXPECT_EQ(Find("[UP #*@* by *@* at *]"), (Names{"[UP #2@1.0MB by joe@crew at 1.2MBps]/"}));
    EXPECT_EQ(Find("*-missing"), (Names{"-missing"}));
}

TEST_F(PlatformSearch, NothingFoundGivesNoSearch) {
    PlatFindEntry entry;
    EXPECT_EQ(PlatFindFirst(Path("*.nfo").c_str(), &entry), nullptr);
    EXPECT_EQ(PlatFindFirst(Path("nosuchdir/*").c_str(), &entry), nullptr);
    Names all = Find("*");
    EXPECT_EQ(all.size(), 12u);
    for (const std::string& name : all) EXPECT_TRUE(name != "./" && name != "../") << name;
}

}  // namespace
