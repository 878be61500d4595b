// Shows the settings window with a few sound devices, the chosen output
// unplugged, and saves a picture of it: settings_window_screenshot OUT.png
// Run under Xvfb (xvfb-run) for the fonts a desktop uses.
#include <QApplication>
#include <QTest>

#include "ui/form_settings.h"

namespace {

struct Devices : ziv::TSoundDevices {
    std::vector<ziv::TSoundDevice> Outputs() override {
        return {{"alsa_output.pci-0000_00_1f.3.analog-stereo", "Built-in Audio Analog Stereo"}};
    }
    std::vector<ziv::TSoundDevice> Inputs() override {
        return {{"alsa_input.pci-0000_00_1f.3.analog-stereo", "Built-in Audio Analog Stereo"},
                {"alsa_input.usb-Burr-Brown_USB_AUDIO_CODEC-00.analog-stereo",
                 "PCM2903B Audio CODEC Analog Stereo"}};
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Devices devices;
    std::string output = "alsa_output.usb-Burr-Brown_USB_AUDIO_CODEC-00.analog-stereo";
    std::string input = "alsa_input.usb-Burr-Brown_USB_AUDIO_CODEC-00.analog-stereo";
    ziv::TFormSettings form(devices, {[&] { return output; }, [](const std::string&) {},
                                      [&] { return input; }, [](const std::string&) {}, [] {}});
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    // The keying rows as a station keyed by CAT sees them (without a keyer
    // here they are disabled).
    for (QWidget* child : form.findChildren<QWidget*>())
        child->setEnabled(true);
    form.ShowPtt(1, "127.0.0.1", "4532", "120", 0);
    QTest::qWait(200);
    return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
