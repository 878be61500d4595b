#include <gtest/gtest.h>

#include "ui_win32/form_settings_win32.h"

#include "base/windows_api.h"

namespace ziv::test {
namespace {

struct ListedDevices : TSoundDevices {
    std::vector<TSoundDevice> outputs{{"Speakers", "Speakers"}, {"USB CODEC", "USB CODEC"}};
    std::vector<TSoundDevice> Outputs() override { return outputs; }
    std::vector<TSoundDevice> Inputs() override { return {}; }
};

std::wstring Item(HWND box, int index) {
    wchar_t text[64] = {};
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

// The glue: the window opens with the lists filled, a pick and a click
// reach the presenter, and the close box ends the modal loop.
TEST(FormSettingsWin32, ListsPicksListeningAndClose) {
    ListedDevices devices;
    std::string output = "USB CODEC", input = "Mic";
    int listens = 0;
    TFormSettingsWin32 form(
        GetModuleHandleW(nullptr), devices,
        {[&] { return output; }, [&](const std::string& v) { output = v; }, [&] { return input; },
         [&](const std::string& v) { input = v; }, [&] { ++listens; }});
    HWND outputs = form.Control("cbOutput");
    // What the operator does while it shows, then the close box.
    PostMessageW(form.Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(outputs), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(outputs));
    HWND listen = form.Control("BtnListen");
    PostMessageW(form.Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(listen), BN_CLICKED),
                 reinterpret_cast<LPARAM>(listen));
    PostMessageW(form.Window(), WM_CLOSE, 0, 0);
    form.ShowModal(nullptr);
    EXPECT_FALSE(IsWindowVisible(form.Window()));
    // Escape closes it too.
    PostMessageW(form.Window(), WM_COMMAND, IDCANCEL, 0);
    form.ShowModal(nullptr);

    EXPECT_EQ(SendMessageW(outputs, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Item(outputs, 0), L"Numatytasis");
    EXPECT_EQ(SendMessageW(outputs, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(output, "USB CODEC");  // the selection the window opened with
    EXPECT_EQ(Item(form.Control("cbInput"), 1), L"Mic (nerastas)");
    EXPECT_EQ(listens, 1);
    EXPECT_FALSE(IsWindowVisible(form.Window()));
}

}  // namespace
}  // namespace ziv::test
