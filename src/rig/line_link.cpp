#include "rig/line_link.h"

namespace ziv::rig {
namespace {

// A peer that sends no line end is no rig's server.
constexpr size_t kLongestLine = 4096;

}  // namespace

bool TLineLink::Send(const std::string& text, Clock::time_point deadline, std::string* error) {
    size_t sent = 0;
    while (sent < text.size()) {
        size_t moved = 0;
        if (!Wait(true, deadline, error) ||
            !SendSome(text.data() + sent, text.size() - sent, &moved, error))
            return false;
        sent += moved;
    }
    return true;
}

bool TLineLink::ReadLine(std::string& line, Clock::time_point deadline, std::string* error) {
    for (;;) {
        if (const size_t end = received_.find('\n'); end != std::string::npos) {
            line = received_.substr(0, end > 0 && received_[end - 1] == '\r' ? end - 1 : end);
            received_.erase(0, end + 1);
            return true;
        }
        if (received_.size() > kLongestLine) {
            *error = "an answer line too long";
            return false;
        }
        char chunk[512];
        size_t moved = 0;
        if (!Wait(false, deadline, error) || !ReceiveSome(chunk, sizeof chunk, &moved, error))
            return false;
        received_.append(chunk, moved);
    }
}

}  // namespace ziv::rig
