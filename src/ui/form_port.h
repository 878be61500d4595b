#pragma once

namespace ziv {

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
