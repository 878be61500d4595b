#include <gtest/gtest.h>

#include "core/settings_presenter.h"
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

namespace ziv::test {
namespace {

struct FakeDevices : TSoundDevices {
    std::vector<TSoundDevice> outputs, inputs;
    std::vector<TSoundDevice> Outputs() override { return outputs; }
    std::vector<TSoundDevice> Inputs() override { return inputs; }
};

struct FakeView : TSettingsView {
    Texts outputs, inputs;
    int output = -1, input = -1;
    void ShowOutputs(const Texts& texts, int chosen) override { outputs = texts, output = chosen; }
    void ShowInputs(const Texts& texts, int chosen) override { inputs = texts, input = chosen; }
};

TEST(SettingsPresenter, APickIsStoredByNameAndAnUnpluggedChoiceStaysChosen) {
    FakeDevices devices;
    devices.outputs = {{"rig", "USB CODEC"}, {"speakers", "Speakers"}};
    devices.inputs = {{"mic", "Microphone"}};
    FakeView view;
    std::string output = "", input = "gone";
    TSettingsPresenter presenter(
        devices, view,
        {[&] { return output; }, [&](const std::string& v) { output = v; }, [&] { return input; },
         [&](const std::string& v) { input = v; }, nullptr});
    presenter.Refresh();
    EXPECT_EQ(view.outputs, (Texts{"Numatytasis", "USB CODEC", "Speakers"}));
    EXPECT_EQ(view.output, 0);
    EXPECT_EQ(view.inputs, (Texts{"Numatytasis", "Microphone", "gone (nerastas)"}));
    EXPECT_EQ(view.input, 2);

    presenter.OutputPicked(1);
    presenter.InputPicked(0);
    EXPECT_EQ(output, "rig");
    EXPECT_EQ(input, "");
    devices.outputs.erase(devices.outputs.begin());
    presenter.Refresh();
    EXPECT_EQ(view.outputs, (Texts{"Numatytasis", "Speakers", "rig (nerastas)"}));
    EXPECT_EQ(view.output, 2);
    presenter.OutputPicked(2);
    EXPECT_EQ(output, "rig");
    presenter.ListenClick();  // nothing to call: no harm
}

}  // namespace
}  // namespace ziv::test
