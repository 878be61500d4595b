#include "serial/custom_comm.h"

namespace ziv {

TVaCustomComm::TVaCustomComm(TCommPlatform& platform)
    : FLock(std::make_unique<TVaCriticalSection>()), FPlatform(platform) {}

TVaCustomComm::~TVaCustomComm() = default;

void TVaCustomComm::RaiseCommError(const std::string& pattern, int code) {
    throw EVaCommError(
        FormatCommMessage(pattern, code, TrimPlatformErrorText(FPlatform.ErrorText(code))));
}

void TVaCustomComm::EscapeComm(std::uint32_t function) {
    TVaLockGuard guard(*FLock);
    if (!Active()) return;
    if (const int error = FPlatform.EscapeCommFunction(FHandle, function); error != 0)
        RaiseCommError("Error calling comm function (%d), %s", error);
}

void TVaCustomComm::SetRTS(bool value) { EscapeComm(value ? SETRTS : CLRRTS); }

void TVaCustomComm::SetDTR(bool value) { EscapeComm(value ? SETDTR : CLRDTR); }

}  // namespace ziv
