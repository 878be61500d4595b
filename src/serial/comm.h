#pragma once

#include "serial/custom_comm.h"

namespace ziv {

// The serial port component with its properties and events published.
class TVaComm : public TVaCustomComm {
public:
    using TVaCustomComm::TVaCustomComm;

    using TVaCustomComm::Baudrate;
    using TVaCustomComm::Databits;
    using TVaCustomComm::DTREnable;
    using TVaCustomComm::EventChars;
    using TVaCustomComm::FlowControl;
    using TVaCustomComm::HangUpOnClose;
    using TVaCustomComm::MonitorEvents;
    using TVaCustomComm::Options;
    using TVaCustomComm::Parity;
    using TVaCustomComm::PortNum;
    using TVaCustomComm::Priority;
    using TVaCustomComm::ReadBufSize;
    using TVaCustomComm::ReadTimeout;
    using TVaCustomComm::RTSEnable;
    using TVaCustomComm::SetBaudrate;
    using TVaCustomComm::SetDatabits;
    using TVaCustomComm::SetDTREnable;
    using TVaCustomComm::SetEventChars;
    using TVaCustomComm::SetFlowControl;
    using TVaCustomComm::SetHangUpOnClose;
    using TVaCustomComm::SetMonitorEvents;
    using TVaCustomComm::SetOptions;
    using TVaCustomComm::SetParity;
    using TVaCustomComm::SetPortNum;
    using TVaCustomComm::SetPriority;
    using TVaCustomComm::SetReadBufSize;
    using TVaCustomComm::SetReadTimeout;
    using TVaCustomComm::SetRTSEnable;
    using TVaCustomComm::SetStopbits;
    using TVaCustomComm::SetWriteBufSize;
    using TVaCustomComm::SetWriteTimeout;
    using TVaCustomComm::SetXoffLim;
    using TVaCustomComm::SetXonLim;
    using TVaCustomComm::Stopbits;
    using TVaCustomComm::WriteBufSize;
    using TVaCustomComm::WriteTimeout;
    using TVaCustomComm::XoffLim;
    using TVaCustomComm::XonLim;

    using TVaCustomComm::OnBreak;
    using TVaCustomComm::OnClose;
    using TVaCustomComm::OnCts;
    using TVaCustomComm::OnData;
    using TVaCustomComm::OnDsr;
    using TVaCustomComm::OnError;
    using TVaCustomComm::OnEvent;
    using TVaCustomComm::OnOpen;
    using TVaCustomComm::OnRing;
    using TVaCustomComm::OnRlsd;
    using TVaCustomComm::OnTxEmpty;
    using TVaCustomComm::SetOnBreak;
    using TVaCustomComm::SetOnClose;
    using TVaCustomComm::SetOnCts;
    using TVaCustomComm::SetOnData;
    using TVaCustomComm::SetOnDsr;
    using TVaCustomComm::SetOnError;
    using TVaCustomComm::SetOnEvent;
    using TVaCustomComm::SetOnOpen;
    using TVaCustomComm::SetOnRing;
    using TVaCustomComm::SetOnRlsd;
    using TVaCustomComm::SetOnTxEmpty;
};

}  // namespace ziv
