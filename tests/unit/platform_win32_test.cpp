// Windows kernel behaviour that the Win32 platform layer must tame or keep.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <windows.h>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("crevik_win32_" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directory(dir_));
    }
    void TearDown() override {
        for (const auto& e : fs::directory_iterator(dir_))
            SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    void Put(const char* name, const std::string& bytes) const { std::ofstream(Path(name), std::ios::binary) << bytes; }
    std::string Get(const char* name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Hidden(const char* name) const { return GetFileAttributesA(Path(name).c_str()) & FILE_ATTRIBUTE_HIDDEN; }
    fs::path dir_;
};

TEST_F(Win32Files, StdioStreamsAreBinary) {
    FILE* out = std::fopen(Path("t").c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs("a\r\nb\n\x1a" "c", out);
    std::fclose(out);
    EXPECT_EQ(Get("t"), "a\r\nb\n\x1a" "c");
    FILE* in = std::fopen(Path("t").c_str(), "r");
    ASSERT_NE(in, nullptr);
    char buf[16];
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, in), 7u);  // not stopped by Ctrl-Z
    std::fclose(in);
}

TEST_F(Win32Files, TheLogStaysHiddenThroughReplaceAndTruncate) {
    Put("log", "old");
    PlatSetHidden(Path("log").c_str(), true);
    Put("tmp", "new");
    ASSERT_TRUE(PlatReplaceFile(Path("tmp").c_str(), Path("log").c_str()));
    EXPECT_EQ(Get("log"), "new");
    EXPECT_TRUE(Hidden("log"));

    SetFileAttributesA(Path("log").c_str(), FILE_ATTRIBUTE_READONLY);
    Put("tmp", "newer");
    ASSERT_TRUE(PlatReplaceFile(Path("tmp").c_str(), Path("log").c_str()));
    EXPECT_EQ(Get("log"), "newer");

    // CREATE_ALWAYS would refuse a hidden file.
    PlatSetHidden(Path("log").c_str(), true);
    PlatFile* file = PlatCreateTruncate(Path("log").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(PlatWrite(file, "x", 1));
    EXPECT_TRUE(PlatClose(file));
    EXPECT_EQ(Get("log"), "x");
    EXPECT_TRUE(Hidden("log"));
}

TEST_F(Win32Files, FailuresSetErrnoAndRefusedNamesCreateNothing) {
    ASSERT_TRUE(PlatCreateDir(Path("d").c_str()));
    Put("d\\f", "");
    EXPECT_FALSE(PlatCreateDir(Path("d").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatDeleteFile(Path("d").c_str()));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(PlatRemoveDir(Path("d").c_str()));
    EXPECT_EQ(errno, ENOTEMPTY);
    EXPECT_FALSE(PlatDeleteFile(Path("none").c_str()));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(PlatFileReadable("NUL"));  // a device, not a file

    for (const char* bad : {"a|b", "a?b", "a*b", "a:b", "a<b", "a>b", "a\"b", "a\x01" "b"})
        EXPECT_FALSE(PlatCreateDir(Path(bad).c_str())) << bad;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    ASSERT_TRUE(PlatCreateDir(Path("rel. .").c_str()));  // the system drops trailing dots and blanks
    EXPECT_TRUE(PlatPathExists(Path("rel").c_str()));
}

TEST(Win32ProgramDir, DriveAndDirectoryOfWordZero) {
    const char* cases[][2] = {{"C:\\srv\\crevik.exe", "C:\\srv\\"}, {"D:/x/y.exe", "D:/x/"},
                              {"C:crevik.exe", "C:"}, {"crevik.exe", ""}};
    char dir[kMaxPath];
    for (const auto& c : cases) {
        PlatProgramDir(c[0], dir);
        EXPECT_STREQ(dir, c[1]) << c[0];
    }
}

}  // namespace

#endif
