#include "core/settings_presenter.h"

#include <gtest/gtest.h>

namespace ziv::test {
namespace {

using Texts = std::vector<std::string>;

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

// The device lists (the default first, then the devices by description or
// name, a missing choice shown as itself) and what a pick stores.
TEST(SettingsPresenter, APickIsStoredByNameAndAnUnpluggedChoiceStaysChosen) {
    FakeDevices devices;
    devices.outputs = {{"rig", "USB CODEC"}, {"speakers", ""}, {"", "nameless: cannot be stored"}};
    devices.inputs = {{"mic", "Microphone"}};
    FakeView view;
    std::string output = "speakers", input = "gone";
    TSettingsPresenter presenter(
        devices, view,
        {[&] { return output; }, [&](const std::string& v) { output = v; }, [&] { return input; },
         [&](const std::string& v) { input = v; }, nullptr});
    presenter.Refresh();
    EXPECT_EQ(view.outputs, (Texts{"Numatytasis", "USB CODEC", "speakers"}));
    EXPECT_EQ(view.output, 2);
    EXPECT_EQ(view.inputs, (Texts{"Numatytasis", "Microphone", "gone (nerastas)"}));
    EXPECT_EQ(view.input, 2);

    presenter.OutputPicked(1);
    presenter.InputPicked(1);
    EXPECT_EQ(output + " " + input, "rig mic");
    presenter.InputPicked(7);  // no such row: the default
    EXPECT_EQ(input, "");
    devices.outputs.erase(devices.outputs.begin());
    presenter.Refresh();
    EXPECT_EQ(view.outputs, (Texts{"Numatytasis", "speakers", "rig (nerastas)"}));
    EXPECT_EQ(view.output, 2);
    presenter.OutputPicked(2);
    EXPECT_EQ(output, "rig");
    presenter.ListenClick();  // nothing to call: no harm
}

}  // namespace
}  // namespace ziv::test
