#pragma once

#include <string>
#include <vector>

#include "audio/sound_devices.h"

namespace ziv {

// One of the settings window's device lists: the system's default first,
// then each device there is by its description, and a stored choice that is
// not there (a radio's USB sound card unplugged) as itself, marked: it is
// never shown as, or silently replaced by, another device.
class TSoundDeviceList {
public:
    static const char* const DefaultText;
    static const char* const MissingText;  // after the stored name

    // The devices there are now and the name of the chosen one ("" for
    // the default).
    void Update(std::vector<TSoundDevice> devices, const std::string& chosen);

    const std::vector<std::string>& Texts() const { return texts_; }
    int ChosenIndex() const { return chosenIndex_; }
    bool ChosenMissing() const { return missing_; }
    // The name the item at `index` stands for ("" for the default, and for
    // an index outside the list).
    std::string NameAt(int index) const;

private:
    std::vector<std::string> names_;
    std::vector<std::string> texts_;
    int chosenIndex_ = 0;
    bool missing_ = false;
};

}  // namespace ziv
