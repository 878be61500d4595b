#include "serial/comm_error.h"

namespace ziv {

namespace {
// The platform's message buffer holds 256 characters, terminator included.
constexpr std::size_t MaxPlatformText = 255;
}  // namespace

std::string TrimPlatformErrorText(std::string text) {
    if (text.size() > MaxPlatformText)
        text.resize(MaxPlatformText);
    while (!text.empty()) {
        const auto last = static_cast<unsigned char>(text.back());
        if (last > 32 && last != '.')
            break;
        text.pop_back();
    }
    return text;
}

std::string FormatCommMessage(const std::string& pattern, int code, const std::string& text) {
    std::string out;
    out.reserve(pattern.size() + text.size() + 12);
    bool codeDone = false;
    bool textDone = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            const char spec = pattern[i + 1];
            if (spec == 'd' && !codeDone) {
                out += std::to_string(code);
                codeDone = true;
                ++i;
                continue;
            }
            if (spec == 's' && !textDone) {
                out += text;
                textDone = true;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace ziv
