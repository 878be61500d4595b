#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ziv {

// A sound output or input as the operator picks it: the stable name the
// choice is stored by, and the description shown.
struct TSoundDevice {
    std::string Name;
    std::string Description;
    bool operator==(const TSoundDevice&) const = default;
};

// The platform's sound outputs and inputs (PulseAudio sinks and sources,
// without the monitors of outputs; Windows' wave devices).
class TSoundDevices {
public:
    virtual ~TSoundDevices() = default;

    // What is there now; empty when the sound system does not answer
    // (waits at most about two seconds for it).
    virtual std::vector<TSoundDevice> Outputs() = 0;
    virtual std::vector<TSoundDevice> Inputs() = 0;

    // `changed` is called, on a thread of the sound system's, whenever a
    // device comes or goes, until Watch(nullptr). Platforms that cannot
    // tell never call it; the caller then looks again now and then.
    virtual void Watch(std::function<void()> changed) { (void)changed; }
    virtual bool CanWatch() const { return false; }
};

// The implementation of this platform.
std::unique_ptr<TSoundDevices> CreateSoundDevices();

}  // namespace ziv
