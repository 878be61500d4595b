#pragma once

namespace ziv {

// The refusal sound. Every refused command gives the same one.
class TBeep {
public:
    // The value every refusal passes (MB_ICONHALT's neighbour on Win32: 4).
    static constexpr unsigned RefusalType = 4;

    virtual ~TBeep() = default;
    virtual void MessageBeep(unsigned type) = 0;
};

}  // namespace ziv
