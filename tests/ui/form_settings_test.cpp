#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "ui/control_builder.h"
#include "ui/form_settings.h"

namespace ziv::test {
namespace {

struct ListedDevices : TSoundDevices {
    std::vector<TSoundDevice> outputs{{"rig", "USB CODEC"}};
    std::function<void()> changed;
    std::vector<TSoundDevice> Outputs() override { return outputs; }
    std::vector<TSoundDevice> Inputs() override { return {}; }
    void Watch(std::function<void()> f) override { changed = std::move(f); }
};

// The glue: the lists show what the presenter decides, a pick and a click
// reach it, and a device that goes while the window shows is followed.
TEST(FormSettings, ListsPicksListeningAndDevicesThatGo) {
    ListedDevices devices;
    std::string output = "", input = "mic";
    int listens = 0;
    TFormSettings form(devices, {[&] { return output; }, [&](const std::string& v) { output = v; },
                                 [&] { return input; }, [&](const std::string& v) { input = v; },
                                 [&] { ++listens; }});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.windowTitle(), "Nustatymai");
    EXPECT_FALSE(form.Outputs()->isEditable());
    EXPECT_EQ(form.Outputs()->count(), 2);
    EXPECT_EQ(form.Inputs()->currentText(), "mic (nerastas)");

    form.Outputs()->activated(1);
    EXPECT_EQ(output, "rig");
    BuiltControl<QPushButton>(&form, "BtnListen")->click();
    EXPECT_EQ(listens, 1);

    devices.outputs.clear();
    ASSERT_TRUE(devices.changed);
    devices.changed();  // told on another thread: the window reads again in its turn
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return form.Outputs()->count() == 2 && form.Outputs()->currentText() == "rig (nerastas)";
    }));
    form.hide();
    EXPECT_FALSE(devices.changed);
}

}  // namespace
}  // namespace ziv::test
