// Proves the cross build and the guarded Wine runner: the static posix-thread
// runtime works, and each COM port reaches exactly what the runner mapped.
#include <gtest/gtest.h>
#include <windows.h>

#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

namespace {

HANDLE OpenPort(const char* name) {
    return CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WineSmoke, PosixThreadsWorkInTheStaticRuntime) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread worker([&] {
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_one();
    });
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(5), [&] { return done; }));
    }
    worker.join();
}

TEST(WineSmoke, PortThatWasNeverCreatedIsNotFound) {
    SetLastError(0);
    EXPECT_EQ(OpenPort("\\\\.\\COM9"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// COM1 leads to a regular file: Wine opens the file itself, so the bytes
// arrive there, but it is no terminal, so every serial request fails.
TEST(WineSmoke, MappedPortReachesItsTargetFile) {
    DeleteFileA(ZIV_SMOKE_COM1_TARGET);
    std::ofstream(ZIV_SMOKE_COM1_TARGET, std::ios::binary).flush();

    HANDLE port = OpenPort("\\\\.\\COM1");
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port, "ZIV", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(GetFileType(port), static_cast<DWORD>(FILE_TYPE_DISK));
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_FALSE(GetCommState(port, &dcb));
    EXPECT_FALSE(EscapeCommFunction(port, SETRTS));
    CloseHandle(port);

    EXPECT_EQ(ReadWholeFile(ZIV_SMOKE_COM1_TARGET), "ZIV");
}

// Wine's mount manager gives COM2 to /dev/ttyS0 at session start; the runner
// removed that link. What is left is either nothing or the mount manager's
// own device object, which serves no serial or data request.
TEST(WineSmoke, UnmappedPortReachesNoDevice) {
    SetLastError(0);
    HANDLE port = OpenPort("\\\\.\\COM2");
    if (port == INVALID_HANDLE_VALUE) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        return;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_FALSE(GetCommState(port, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    EXPECT_FALSE(EscapeCommFunction(port, SETRTS));
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(port, "ZIV", 3, &written, nullptr));
    EXPECT_EQ(written, 0u);
    CloseHandle(port);
}

}  // namespace
