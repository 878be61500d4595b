#pragma once

#include <cstdint>

#include "serial/component_base.h"

namespace ziv {

enum TVaBaudrate : std::uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum TVaParity : std::uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TVaDatabits : std::uint8_t { db4, db5, db6, db7, db8 };
enum TVaStopbits : std::uint8_t { sb1, sb15, sb2 };
enum TVaFlowControl : std::uint8_t { fcNone, fcRtsCts, fcDtrDsr, fcXonXoff };

enum TVaCommOption : std::uint8_t {
    coContinueOnXOff,
    coErrorChar,
    coNullStrip,
    coParityCheck,
    coDsrSensitivity,
};
using TVaCommOptions = TEnumSet<TVaCommOption>;

enum TVaCommEvent : std::uint8_t {
    ceBreak,
    ceCts,
    ceDsr,
    ceError,
    ceRing,
    ceRlsd,
    ceData,
    ceTxEmpty,
    ceEvent,
};
using TVaCommEvents = TEnumSet<TVaCommEvent>;

enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical,
};

// Device values of the enumerations, as the line-settings record and the
// platform take them.
std::uint32_t BaudrateValue(TVaBaudrate value);
inline std::uint8_t ParityValue(TVaParity value) {
    return value;
}
inline std::uint8_t DatabitsValue(TVaDatabits value) {
    return static_cast<std::uint8_t>(value + 4);
}
inline std::uint8_t StopbitsValue(TVaStopbits value) {
    return value;
}
std::uint32_t CommOptionFlag(TVaCommOption option);
std::uint32_t CommEventBit(TVaCommEvent event);
// The platform event mask of a set: the OR of its members' bits.
std::uint32_t CommEventMask(TVaCommEvents events);
int ThreadPriorityValue(TThreadPriority priority);

}  // namespace ziv
