#pragma once

#include <string>

namespace ziv {

// Where each station setting lives during the run. Loading copies the
// file into these homes, saving copies them back; the main window
// implements this over its controls and the message slots.
//
// Text encodings: labels are UTF-8 here (the file holds them in
// Windows-1257); slot paths and the port text are the file system's own
// bytes, passed through unchanged.
class TStationHomes {
public:
    virtual ~TStationHomes() = default;

    // Main window's left and top edge, screen pixels.
    virtual int Left() const = 0;
    virtual void SetLeft(int value) = 0;
    virtual int Top() const = 0;
    virtual void SetTop(int value) = 0;

    // Text of the port choice box.
    virtual std::string PortText() const = 0;
    virtual void SetPortText(const std::string& value) = 0;

    // Message slots 1..3.
    virtual std::string SlotPath(int n) const = 0;
    virtual void SetSlotPath(int n, const std::string& value) = 0;

    // The files window's label boxes edLab1..edLab3 (stored at save) and
    // the play buttons' captions (set from the label boxes at load).
    virtual std::string LabelText(int n) const = 0;
    virtual void SetLabelText(int n, const std::string& value) = 0;
    virtual void SetPlayCaption(int n, const std::string& value) = 0;

    // Checked states of rbRTS, rbDTR, rbNorm, rbInv. Checking one clears
    // its partner; unchecking changes nothing else.
    virtual bool RTSChecked() const = 0;
    virtual void SetRTSChecked(bool value) = 0;
    virtual bool DTRChecked() const = 0;
    virtual void SetDTRChecked(bool value) = 0;
    virtual bool NormChecked() const = 0;
    virtual void SetNormChecked(bool value) = 0;
    virtual bool InvChecked() const = 0;
    virtual void SetInvChecked(bool value) = 0;

    // The sound output the messages are played on, by the name the
    // platform gives it; empty for the system's default.
    virtual std::string SoundOutput() const { return {}; }
    virtual void SetSoundOutput(const std::string& value) { (void)value; }
    // The sound input messages are recorded from, the same way.
    virtual std::string SoundInput() const { return {}; }
    virtual void SetSoundInput(const std::string& value) { (void)value; }
};

}  // namespace ziv
