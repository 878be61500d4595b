#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ziv {

// The ports the operator picks from in the main window: COM1 to COM4.
inline constexpr int kPickablePorts = 4;

inline std::string PickablePortName(int n) {
    return "COM" + std::to_string(n);
}

// The number of a pickable port's name, or nothing for any other text:
// matched whole, as the operator typed or picked it.
inline std::optional<int> PickablePortNumber(std::string_view name) {
    for (int n = 1; n <= kPickablePorts; ++n)
        if (name == PickablePortName(n))
            return n;
    return std::nullopt;
}

// What the main window does with the serial port component besides the
// keyer's line switching: open and close it, and choose its number.
class TFormPort {
public:
    virtual ~TFormPort() = default;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual int PortNum() const = 0;
    virtual void SetPortNum(int value) = 0;
    virtual void SetHangUpOnClose(bool drop) = 0;
};

// The same over any component that has these four operations.
template <typename Comm>
class TCommPort : public TFormPort {
public:
    explicit TCommPort(Comm& comm) : comm_(comm) {}
    void Open() override { comm_.Open(); }
    void Close() override { comm_.Close(); }
    int PortNum() const override { return comm_.PortNum(); }
    void SetPortNum(int value) override { comm_.SetPortNum(value); }
    void SetHangUpOnClose(bool drop) override { comm_.SetHangUpOnClose(drop); }

private:
    Comm& comm_;
};

}  // namespace ziv
