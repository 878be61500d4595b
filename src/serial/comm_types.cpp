#include "serial/comm_types.h"

#include "serial/comm_platform.h"

namespace ziv {

std::uint32_t BaudrateValue(TVaBaudrate value) {
    static constexpr std::uint32_t rates[] = {110,   300,   600,    1200,   2400,
                                              4800,  9600,  14400,  19200,  38400,
                                              56000, 57600, 115200, 128000, 256000};
    return rates[value];
}

std::uint32_t CommOptionFlag(TVaCommOption option) {
    switch (option) {
        case coContinueOnXOff:
            return DCB_fTXContinueOnXoff;
        case coErrorChar:
            return DCB_fErrorChar;
        case coNullStrip:
            return DCB_fNull;
        case coParityCheck:
            return DCB_fParity;
        case coDsrSensitivity:
            return DCB_fDsrSensitivity;
    }
    return 0;
}

std::uint32_t CommEventBit(TVaCommEvent event) {
    switch (event) {
        case ceBreak:
            return EV_BREAK;
        case ceCts:
            return EV_CTS;
        case ceDsr:
            return EV_DSR;
        case ceError:
            return EV_ERR;
        case ceRing:
            return EV_RING;
        case ceRlsd:
            return EV_RLSD;
        case ceData:
            return EV_RXCHAR;
        case ceTxEmpty:
            return EV_TXEMPTY;
        case ceEvent:
            return EV_RXFLAG;
    }
    return 0;
}

std::uint32_t CommEventMask(TVaCommEvents events) {
    std::uint32_t mask = 0;
    for (int e = ceBreak; e <= ceEvent; ++e)
        if (events.Contains(static_cast<TVaCommEvent>(e)))
            mask |= CommEventBit(static_cast<TVaCommEvent>(e));
    return mask;
}

int ThreadPriorityValue(TThreadPriority priority) {
    static constexpr int values[] = {-15, -2, -1, 0, 1, 2, 15};
    return values[priority];
}

}  // namespace ziv
