#include <gtest/gtest.h>

#include "core/sound_device_list.h"

namespace ziv::test {
namespace {

using Texts = std::vector<std::string>;

TEST(SoundDeviceList, DefaultFirstThenDevicesAndAMissingChoiceShownAsItself) {
    const std::vector<TSoundDevice> devices = {
        {"alsa_output.usb-Burr-Brown_USB_CODEC", "IC-7300 USB CODEC"},
        {"speakers", ""},
        {"", "nameless: cannot be stored"}};
    TSoundDeviceList list;
    list.Update(devices, "");
    EXPECT_EQ(list.Texts(), (Texts{"Numatytasis", "IC-7300 USB CODEC", "speakers"}));
    EXPECT_EQ(list.ChosenIndex(), 0);
    EXPECT_FALSE(list.ChosenMissing());

    list.Update(devices, "speakers");
    EXPECT_EQ(list.ChosenIndex(), 2);
    EXPECT_EQ(list.NameAt(1), "alsa_output.usb-Burr-Brown_USB_CODEC");
    EXPECT_EQ(list.NameAt(0), "");
    EXPECT_EQ(list.NameAt(7), "");

    // Unplugged: kept, marked, and picking it keeps the same name.
    list.Update({devices[1]}, "alsa_output.usb-Burr-Brown_USB_CODEC");
    EXPECT_EQ(list.Texts(), (Texts{"Numatytasis", "speakers",
                                   "alsa_output.usb-Burr-Brown_USB_CODEC (nerastas)"}));
    EXPECT_TRUE(list.ChosenMissing());
    EXPECT_EQ(list.NameAt(list.ChosenIndex()), "alsa_output.usb-Burr-Brown_USB_CODEC");
}

}  // namespace
}  // namespace ziv::test
