// Windows kernel behaviour that the Win32 platform layer must tame or keep.
#ifdef _WIN32

#include <windows.h>

#include "test_support.h"

namespace {

// The bytes of "log" in the working directory, and whether it is hidden.
std::string Log() { return FileText("log") + (GetFileAttributesA("log") & FILE_ATTRIBUTE_HIDDEN ? " hidden" : ""); }

using Win32Files = ReleaseDirTest;  // relative names land in a scratch directory

TEST_F(Win32Files, StreamsAreBinaryAndTheLogStaysHiddenThroughReplaceAndTruncate) {
    FILE* out = std::fopen("log", "w");  // no mode letter: still binary
    ASSERT_TRUE(out && std::fputs("a\r\nb\n\x1a" "c", out) >= 0 && std::fclose(out) == 0);
    EXPECT_EQ(FileText("log"), "a\r\nb\n\x1a" "c");
    // A read-only target refuses the move, where POSIX replaces it.
    for (DWORD attrs : {DWORD{FILE_ATTRIBUTE_HIDDEN}, DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY}}) {
        SetFileAttributesA("log", attrs);
        WriteFile("tmp", "new");
        ASSERT_TRUE(PlatReplaceFile("tmp", "log")) << attrs;
        EXPECT_EQ(Log(), "new hidden") << attrs;
    }
    PlatFile* file = PlatCreateTruncate("log");  // CREATE_ALWAYS would refuse a hidden file
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(PlatWrite(file, "x", 1) && PlatClose(file));
    EXPECT_EQ(Log(), "x hidden");
}

TEST_F(Win32Files, FailuresSetErrnoAndRefusedNamesCreateNothing) {
    auto error = [](bool ok) { return ok ? 0 : errno; };
    ASSERT_TRUE(PlatCreateDir("d"));
    WriteFile("d\\f", "");
    EXPECT_EQ(error(PlatCreateDir("d")), EEXIST);
    EXPECT_EQ(error(PlatDeleteFile("d")), EISDIR);
    EXPECT_EQ(error(PlatRemoveDir("d")), ENOTEMPTY);
    EXPECT_EQ(error(PlatDeleteFile("none")), ENOENT);
    EXPECT_FALSE(PlatFileReadable("NUL"));  // a device, not a file
    for (const char* bad : {"a|b", "a?b", "a*b", "a:b", "a<b", "a>b", "a\"b", "a\x01" "b"})
        EXPECT_FALSE(PlatCreateDir(bad)) << bad;
    EXPECT_TREE(".", "d/");
    ASSERT_TRUE(PlatCreateDir("rel. ."));  // the system drops trailing dots and blanks
    EXPECT_TRUE(PlatPathExists("rel"));

    const char* cases[][2] = {{"C:\\srv\\crevik.exe", "C:\\srv\\"}, {"D:/x/y.exe", "D:/x/"}, {"C:crevik.exe", "C:"},
                              {"crevik.exe", ""}};
    char dir[kMaxPath];
    for (const auto& c : cases) {
        PlatProgramDir(c[0], dir);
        EXPECT_STREQ(dir, c[1]) << c[0];
    }
}

}  // namespace

#endif
