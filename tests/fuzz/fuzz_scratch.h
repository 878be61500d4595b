#pragma once

// The private directory a fuzz target writes each input into, so that it
// never reads or writes a file of a real installation.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace ziv::fuzz {

// The target's report of a fault; it does not return.
using TFail = void (*)(const std::string& what);

// A directory made from `pattern` (ending in "XXXXXX") under the system's
// temporary directory at the first call, removed with its files at exit.
inline const std::string& ScratchDir(const char* pattern, TFail fail) {
    // Never destroyed: the exit handler still needs it after static
    // objects are gone.
    static const std::string* const dir = [&] {
        std::string path = (std::filesystem::temp_directory_path() / pattern).string();
        if (::mkdtemp(path.data()) == nullptr) {
            fail("cannot create a temporary directory");
        }
        auto* made = new std::string(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*dir, ignored);
        });
        return made;
    }();
    return *dir;
}

// A fresh file every time: a mode or a link left by the previous input
// would change how the next one is handled.
inline void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size,
                       TFail fail) {
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("cannot create " + path);
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = ::write(fd, data + done, size - done);
        if (count <= 0) {
            fail("cannot write " + path);
        }
        done += static_cast<std::size_t>(count);
    }
    ::close(fd);
}

}  // namespace ziv::fuzz
