#pragma once

// What the settings tests share: a scratch directory, whole-file bytes and
// the text of an expected error.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace ziv::test {

// The line ending a new settings file is written with.
#ifdef _WIN32
inline constexpr char kNewFileEnding[] = "\r\n";
#else
inline constexpr char kNewFileEnding[] = "\n";
#endif

// The bytes of a file the settings code created, given with "\n" endings.
inline std::string NewFileText(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') {
            result += kNewFileEnding;
        } else {
            result += c;
        }
    }
    return result;
}

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test. Its path has "/" between its
// parts on Windows too, as the settings' paths have.
class TempDir {
public:
    TempDir() {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = base / ("ziv-settings-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate.string();
            }
        }
        if (path_.empty()) {
            throw std::runtime_error("no temporary directory");
        }
        std::replace(path_.begin(), path_.end(), '\\', '/');
    }
    ~TempDir() {
        std::error_code ignored;
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

inline bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// How many files a directory holds: a failed save must leave no temporary
// file behind.
inline int EntryCount(const std::string& dir) {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++count;
    }
    return count;
}

// The text of the exception E that call() throws; "no error" when it
// returns.
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
