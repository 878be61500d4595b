#pragma once

// What the settings, window and serial tests share: a scratch directory,
// whole-file bytes and the text of an expected error.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace ziv::test {

// The bytes of a file the settings code created, given with "\n" endings.
inline std::string NewFileText(std::string text) {
#ifdef _WIN32
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2)
        text.insert(at, 1, '\r');
#endif
    return text;
}

// A fresh directory, removed with everything in it at the end of the test.
// Its path has "/" between its parts on Windows too, as settings paths do.
class TempDir {
public:
    TempDir() {
        const auto made = std::filesystem::temp_directory_path() /
                          ("ziv-settings-" + std::to_string(std::random_device()()));
        std::filesystem::create_directory(made);
        path_ = made.string();
        std::replace(path_.begin(), path_.end(), '\\', '/');
    }
    ~TempDir() {
        std::error_code ignored;  // a file some test still holds stays
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// How many files a directory holds: a failed save leaves no temporary file.
inline long EntryCount(const std::string& dir) {
    return std::distance(std::filesystem::directory_iterator(dir), {});
}

// The text of the exception E that call() throws; "no error" when it returns.
template <typename E, typename F>
std::string ErrorText(F call) {
    try {
        call();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace ziv::test
