#include "mock/fake_comm_platform.h"

namespace ziv::test {

int TFakeCommPlatform::Record(const std::string& name, std::uint32_t arg) {
    Calls.push_back({Clock ? Clock() : 0, name, arg});
    const auto it = FailWith.find(name);
    return it == FailWith.end() ? 0 : it->second;
}

int TFakeCommPlatform::EscapeCommFunction(TCommHandle, std::uint32_t function) {
    static const char* const names[] = {"", "", "", "SETRTS", "CLRRTS", "SETDTR", "CLRDTR"};
    const std::string name = function < 7 ? names[function] : "ESCAPE?";
    return Record(name, function);
}

std::string TFakeCommPlatform::ErrorText(int code) {
    const auto it = Texts.find(code);
    return it != Texts.end() ? it->second : "Error " + std::to_string(code) + ".\r\n";
}

std::vector<std::string> TFakeCommPlatform::LineCalls() const {
    std::vector<std::string> out;
    for (const Call& c : Calls)
        if (c.name == "SETRTS" || c.name == "CLRRTS" || c.name == "SETDTR" || c.name == "CLRDTR")
            out.push_back(c.name);
    return out;
}

}  // namespace ziv::test
