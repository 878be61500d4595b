#include "core/sound_device_list.h"

namespace ziv {

const char* const TSoundDeviceList::DefaultText = "Numatytasis";
const char* const TSoundDeviceList::MissingText = " (nerastas)";

void TSoundDeviceList::Update(std::vector<TSoundDevice> devices, const std::string& chosen) {
    names_ = {""};
    texts_ = {DefaultText};
    chosenIndex_ = 0;
    for (TSoundDevice& device : devices) {
        if (device.Name.empty())
            continue;
        if (device.Name == chosen)
            chosenIndex_ = static_cast<int>(names_.size());
        names_.push_back(std::move(device.Name));
        texts_.push_back(device.Description.empty() ? names_.back()
                                                    : std::move(device.Description));
    }
    missing_ = !chosen.empty() && chosenIndex_ == 0;
    if (missing_) {
        chosenIndex_ = static_cast<int>(names_.size());
        names_.push_back(chosen);
        texts_.push_back(chosen + MissingText);
    }
}

std::string TSoundDeviceList::NameAt(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= names_.size())
        return {};
    return names_[static_cast<size_t>(index)];
}

}  // namespace ziv
