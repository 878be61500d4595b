#include "audio/sound_devices.h"
#include "audio/wave_devices_win32.h"

namespace ziv {
namespace {

// The wave devices are known by their names only: a name is both what is
// stored and what is shown. Windows sends no notice here when one comes or
// goes, so the settings window looks again now and then.
std::vector<TSoundDevice> Listed(const std::vector<std::string>& names) {
    std::vector<TSoundDevice> devices;
    for (const std::string& name : names)
        if (!name.empty())
            devices.push_back({name, name});
    return devices;
}

class TWin32SoundDevices final : public TSoundDevices {
public:
    std::vector<TSoundDevice> Outputs() override { return Listed(win32::WaveOutNames()); }
    std::vector<TSoundDevice> Inputs() override { return Listed(win32::WaveInNames()); }
};

}  // namespace

std::unique_ptr<TSoundDevices> CreateSoundDevices() {
    return std::make_unique<TWin32SoundDevices>();
}

}  // namespace ziv
