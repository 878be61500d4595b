#pragma once

#include <cstddef>
#include <string>

namespace ziv::rig {

// Bytes received, handed out a line at a time ("\n" or "\r\n" ends one).
class TLineBuffer {
public:
    void Add(const char* data, size_t size) { text_.append(data, size); }
    bool TakeLine(std::string& line) {
        const size_t end = text_.find('\n');
        if (end == std::string::npos)
            return false;
        line = text_.substr(0, end > 0 && text_[end - 1] == '\r' ? end - 1 : end);
        text_.erase(0, end + 1);
        return true;
    }
    // A peer that sends no line end is no rig's server.
    bool Overfull() const { return text_.size() > 4096; }
    void Clear() { text_.clear(); }

private:
    std::string text_;
};

}  // namespace ziv::rig
