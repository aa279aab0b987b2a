// Windows kernel behaviour that the Win32 platform layer must tame or keep.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include <windows.h>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

const char kHoldEnv[] = "CREVIK_TEST_HOLD_LOCK";

// Child mode for the killed-holder test: take the lock, say so, and wait
// to be killed. Runs before gtest so the child executes no test.
[[maybe_unused]] const bool childHolder = [] {
    char name[128];
    if (!GetEnvironmentVariableA(kHoldEnv, name, sizeof name)) return false;
    if (!PlatAcquireRunLock(name, 0)) ExitProcess(2);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, (std::string(name) + "_ready").c_str());
    if (!ready || !SetEvent(ready)) ExitProcess(3);
    Sleep(INFINITE);
    return true;
}();

std::string UniqueName(const char* what) {
    return std::string("crevik_test_") + what + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(std::random_device{}());
}

TEST(Win32RunLock, SecondHolderWaitsAndAbandonedLockIsFree) {
    std::string name = UniqueName("lock");
    PlatRunLock* first = nullptr;
    std::thread holder([&] {
        first = PlatAcquireRunLock(name.c_str(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        PlatReleaseRunLock(first);
    });
    while (!first) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(PlatAcquireRunLock(name.c_str(), 50), nullptr);
    PlatRunLock* other = PlatAcquireRunLock((name + "x").c_str(), 0);
    EXPECT_NE(other, nullptr);
    PlatReleaseRunLock(other);
    PlatRunLock* second = PlatAcquireRunLock(name.c_str(), 10000);
    EXPECT_NE(second, nullptr);
    holder.join();
    PlatReleaseRunLock(second);

    // A thread that ends while holding it abandons the mutex (its lock
    // object leaks here, as it would in a run that died).
    std::thread([&] { ASSERT_NE(PlatAcquireRunLock(name.c_str(), 0), nullptr); }).join();
    PlatRunLock* afterAbandon = PlatAcquireRunLock(name.c_str(), 0);
    EXPECT_NE(afterAbandon, nullptr);
    PlatReleaseRunLock(afterAbandon);
}

TEST(Win32RunLock, KilledHolderProcessDoesNotBlock) {
    std::string name = UniqueName("killed");
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (name + "_ready").c_str());
    ASSERT_NE(ready, nullptr);
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=-*";
    SetEnvironmentVariableA(kHoldEnv, name.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA(kHoldEnv, nullptr);
    ASSERT_TRUE(started);
    ASSERT_EQ(WaitForSingleObject(ready, 30000), WAIT_OBJECT_0);

    EXPECT_EQ(PlatAcquireRunLock(name.c_str(), 0), nullptr);
    // A handle kept open, as a waiting run has one, keeps the mutex alive
    // through the kill, so the next run finds it abandoned, not new.
    HANDLE keep = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    ASSERT_NE(keep, nullptr);
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 30000);
    PlatRunLock* lock = PlatAcquireRunLock(name.c_str(), 0);
    EXPECT_NE(lock, nullptr);
    PlatReleaseRunLock(lock);
    CloseHandle(keep);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(ready);
}

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / UniqueName("files");
        ASSERT_TRUE(fs::create_directory(dir_));
    }
    void TearDown() override {
        for (const auto& e : fs::directory_iterator(dir_)) SetFileAttributesA(e.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    void Put(const char* name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Get(const char* name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    DWORD Attributes(const char* name) const { return GetFileAttributesA(Path(name).c_str()); }
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
    char buf[16] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, in), 7u);
    std::fclose(in);
}

TEST_F(Win32Files, ReplaceKeepsTheLogHiddenAndOverridesReadOnly) {
    Put("log", "old");
    PlatSetHidden(Path("log").c_str(), true);
    Put("tmp", "new");
    ASSERT_TRUE(PlatReplaceFile(Path("tmp").c_str(), Path("log").c_str()));
    EXPECT_EQ(Get("log"), "new");
    EXPECT_TRUE(Attributes("log") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(PlatPathExists(Path("tmp").c_str()));

    SetFileAttributesA(Path("log").c_str(), FILE_ATTRIBUTE_READONLY);
    Put("tmp", "newer");
    ASSERT_TRUE(PlatReplaceFile(Path("tmp").c_str(), Path("log").c_str()));
    EXPECT_EQ(Get("log"), "newer");

    // Truncating works on a hidden file, which CREATE_ALWAYS would refuse.
    PlatSetHidden(Path("log").c_str(), true);
    PlatFile* file = PlatCreateTruncate(Path("log").c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(PlatWrite(file, "x", 1));
    EXPECT_TRUE(PlatClose(file));
    EXPECT_EQ(Get("log"), "x");
    EXPECT_TRUE(Attributes("log") & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(Win32Files, SequentialOpenFailsWhileAWriterHoldsTheFile) {
    Put("up.rar", "data");
    HANDLE writer = CreateFileA(Path("up.rar").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlatOpenSequential(Path("up.rar").c_str()), nullptr);
    EXPECT_TRUE(PlatFileReadable(Path("up.rar").c_str()));
    CloseHandle(writer);
    PlatFile* file = PlatOpenSequential(Path("up.rar").c_str());
    ASSERT_NE(file, nullptr);
    char buf[8];
    EXPECT_EQ(PlatRead(file, buf, sizeof buf), 4);
    EXPECT_EQ(PlatRead(file, buf, sizeof buf), 0);
    EXPECT_TRUE(PlatClose(file));
    // Devices and directories are no readable files.
    EXPECT_FALSE(PlatFileReadable("NUL"));
    EXPECT_FALSE(PlatFileReadable(dir_.string().c_str()));
}

TEST_F(Win32Files, FailuresSetErrnoAndRefusedNamesCreateNothing) {
    ASSERT_TRUE(PlatCreateDir(Path("d").c_str()));
    Put("d\\f", "");
    Put("f", "");
    errno = 0;
    EXPECT_FALSE(PlatCreateDir(Path("d").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatRename(Path("f").c_str(), Path("d").c_str()));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(PlatDeleteFile(Path("d").c_str()));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(PlatRemoveDir(Path("d").c_str()));
    EXPECT_EQ(errno, ENOTEMPTY);
    EXPECT_FALSE(PlatDeleteFile(Path("none").c_str()));
    EXPECT_EQ(errno, ENOENT);

    for (const char* bad : {"a|b", "a?b", "a*b", "a:b", "a<b", "a>b", "a\"b", "a\x01" "b"})
        EXPECT_FALSE(PlatCreateDir(Path(bad).c_str())) << bad;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
    // Trailing dots and blanks are dropped by the system.
    ASSERT_TRUE(PlatCreateDir(Path("rel. .").c_str()));
    EXPECT_TRUE(PlatPathExists(Path("rel").c_str()));
}

TEST(Win32ProgramDir, DriveAndDirectoryOfWordZero) {
    char dir[kMaxPath];
    const char* cases[][2] = {{"C:\\srv\\crevik.exe", "C:\\srv\\"}, {"D:/x/y.exe", "D:/x/"},
                              {"C:crevik.exe", "C:"},                 {"crevik.exe", ""},
                              {"\\crevik.exe", "\\"}};
    for (const auto& c : cases) {
        PlatProgramDir(c[0], dir);
        EXPECT_STREQ(dir, c[1]) << c[0];
    }
}

}  // namespace

#endif
