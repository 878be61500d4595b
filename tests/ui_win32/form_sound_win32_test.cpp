#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "layout/main_window_layout.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "settings/ini_ctrl.h"
#include "ui_win32/boxes_win32.h"
#include "ui_win32/files/form_failai_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/ui_gate_win32.h"
#include "ui_win32/win32_text.h"

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

// The main window over the fake port and sound service, never shown.
class FormSoundWin32 : public ::testing::Test, protected TWin32FormRig {
protected:
    void SetUp() override {
        for (int n = 1; n <= 3; ++n) {
            slots.SetPath(n, "msg" + std::to_string(n) + ".wav");
            sound.SetLength(slots.Path(n), 100);
        }
        CreateForm();
    }
};

TEST_F(FormSoundWin32, ControlsFollowTheLayoutRowsOnATopmostWindowAtEachDpi) {
    HWND main = form->Window();
    EXPECT_NE(GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(TextOf(main), L"Zivsound");
    // As created, then moved to a monitor of 144 DPI.
    for (const int newDpi : {0, 144}) {
        if (newDpi != 0) {
            RECT suggested{30, 40, 30 + MulDiv(TFormSoundWin32::WideWidth, newDpi, 96), 250};
            SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                         reinterpret_cast<LPARAM>(&suggested));
            RECT placed;
            GetWindowRect(main, &placed);
            EXPECT_TRUE(EqualRect(&placed, &suggested));
        }
        const int dpi = form->Dpi();
        ASSERT_TRUE(newDpi == 0 || dpi == newDpi);
        for (const TControlLayout& row : kMainWindowLayout) {
            SCOPED_TRACE(std::string(row.name) + " at " + std::to_string(dpi));
            HWND c = form->Control(row.name);
            ASSERT_TRUE(c);
            EXPECT_EQ(GetParent(c), main);
            if (row.kind != TControlKind::ComboBox) {
                EXPECT_EQ(TextOf(c), WideFromUtf8(row.text));
            }
            // The place: the row's rectangle plus its containers' corners, scaled.
            TLayoutRect r = row.rect;
            for (const char* p = row.parent; *p != '\0';) {
                const TControlLayout* parent = FindControl(kMainWindowLayout, p);
                r.left += parent->rect.left;
                r.top += parent->rect.top;
                p = parent->parent;
            }
            RECT got;
            GetWindowRect(c, &got);
            MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, MulDiv(r.left, dpi, 96));
            EXPECT_EQ(got.top, MulDiv(r.top, dpi, 96));
            // Labels and radio buttons grow to their text in the font at
            // hand, the group box around them.
            const bool label = row.kind == TControlKind::Label;
            const int width = got.right - got.left, height = got.bottom - got.top;
            if (label || row.kind == TControlKind::RadioButton ||
                row.kind == TControlKind::GroupBox) {
                EXPECT_GE(width, MulDiv(r.width, dpi, 96));
            } else {
                EXPECT_EQ(width, MulDiv(r.width, dpi, 96));
            }
            if (label) {
                EXPECT_GE(height, MulDiv(r.height, dpi, 96));
                EXPECT_TRUE(WholeOnOneLine(c));
            } else if (row.kind != TControlKind::ComboBox) {
                EXPECT_EQ(height, MulDiv(r.height, dpi, 96));
            }
        }
    }
    EXPECT_EQ(TextOf(form->Control("ComboBox1")), L"COM3");
    // Narrow at the start, the settings panel hidden; the panel button widens.
    form->MakeNarrow();
    RECT outer;
    GetWindowRect(main, &outer);
    const int dpi = form->Dpi();
    EXPECT_EQ(outer.right - outer.left, MulDiv(TFormSoundWin32::NarrowWidth, dpi, 96));
    EXPECT_FALSE(IsWindowVisible(form->Control("rbRTS")));
    SendMessageW(form->Control("BtnEW2"), BM_CLICK, 0, 0);
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.right - outer.left, MulDiv(TFormSoundWin32::WideWidth, dpi, 96));
    EXPECT_NE(GetWindowLongPtrW(form->Control("rbRTS"), GWL_STYLE) & WS_VISIBLE, 0);
}

TEST_F(FormSoundWin32, ModelsAndControlsFollowEachOther) {
    HWND bar = form->Control("TrackBar1");
    // 20 at the top: the top position of a vertical track bar is its minimum.
    keyer.TrackBar1.SetPosition(20);
    EXPECT_EQ(SendMessageW(bar, TBM_GETPOS, 0, 0), 0);
    SendMessageW(bar, TBM_SETPOS, TRUE, 15);
    SendMessageW(form->Window(), WM_VSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(keyer.TrackBar1.Position(), 5);

    keyer.BtnPlay2.SetCaption("CQ TEST");
    EXPECT_EQ(TextOf(form->Control("BtnPlay2")), L"CQ TEST");
    SendMessageW(form->Control("BtnPlay2"), BM_CLICK, 0, 0);
    EXPECT_TRUE(keyer.BtnPlay2.Down());
    EXPECT_EQ(SendMessageW(form->Control("BtnPlay2"), BM_GETCHECK, 0, 0), BST_CHECKED);

    keyer.rbRTS.SetEnabled(true);
    SendMessageW(form->Control("rbRTS"), BM_CLICK, 0, 0);
    EXPECT_TRUE(keyer.rbRTS.Checked());
    EXPECT_FALSE(keyer.rbDTR.Checked());
    EXPECT_EQ(SendMessageW(form->Control("rbRTS"), BM_GETCHECK, 0, 0), BST_CHECKED);

    // Exactly one of the timer and stop buttons shows.
    EXPECT_NE(GetWindowLongPtrW(form->Control("BtnTimer"), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongPtrW(form->Control("BtnStop"), GWL_STYLE) & WS_VISIBLE, 0);

    // A failed send shows in the title.
    keyer.OnSendResult(false);
    EXPECT_EQ(TextOf(form->Window()).rfind(L"Zivsound \u2014 nepavyko groti", 0), 0u);
    keyer.OnSendResult(true);
    EXPECT_EQ(TextOf(form->Window()), L"Zivsound");
}

TEST_F(FormSoundWin32, KeysReachTheKeyerBeforeTheFocusedControl) {
    HWND control = form->Control("BitBtn1");
    Press(control, VK_F1);
    EXPECT_TRUE(keyer.BtnPlay1.Down()) << "F1";
    EXPECT_EQ(SendMessageW(form->Control("BtnPlay1"), BM_GETCHECK, 0, 0), BST_CHECKED);

    keyer.BtnPlay1.SetDown(false);
    Press(control, VK_RETURN);
    EXPECT_EQ(beep.Count(), 0) << "Enter alone is no command";
    Press(control, VK_RETURN, true);
    EXPECT_EQ(beep.Count(), 1) << "Ctrl+Enter with no message chosen is refused";
    // Enter never presses a focused push button: with a message chosen and
    // a pause set, a focused BtnTimer would start a repeat loop.
    Press(control, VK_F1);
    keyer.TrackBar1.SetPosition(5);
    HWND timer = form->Control("BtnTimer");
    ShowWindow(form->Window(), SW_SHOWNA);
    SetFocus(timer);
    Press(timer, VK_RETURN, true);
    EXPECT_FALSE(keyer.BtnStop.Visible()) << "Ctrl+Enter on BtnTimer started the loop";
    keyer.BtnStopClick();
    ShowWindow(form->Window(), SW_HIDE);

    const int stops = sound.Stops;
    Press(form->Control("TrackBar1"), VK_ESCAPE);
    EXPECT_GT(sound.Stops, stops) << "Escape stops";

    // A key while a message plays waits and reaches the keyer afterwards.
    gate.RunBlocking([&] {
        PostMessageW(control, WM_KEYDOWN, VK_F3, 1);
        Sleep(50);
    });
    EXPECT_FALSE(keyer.BtnPlay3.Down());
    gate.PumpPending();
    gate.PumpPending();
    EXPECT_TRUE(keyer.BtnPlay3.Down());
}

TEST_F(FormSoundWin32, FilesButtonOpensTheFilesWindowModallyAndItsLabelsComeBack) {
    TFormFailaiWin32 files(GetModuleHandleW(nullptr), slots, keyer, [this] { form->MakeNarrow(); });
    form->SetFilesWindow({[&files](HWND owner) { files.ShowModal(owner); },
                          [&files](int n) { return files.LabelText(n); },
                          [&files](int n, const std::string& t) { files.SetLabelText(n, t); }});
    form->SetOuterWidth(TFormSoundWin32::WideWidth);
    bool mainDisabled = false;
    // Runs inside the files window's own loop: the operator types a label
    // and presses "Uždaryti".
    gate.Post([&] {
        mainDisabled = !IsWindowEnabled(form->Window());
        SetWindowTextW(files.Control("edLab2"), L"CQ TEST");
        SendMessageW(files.Control("BitBtn2"), BM_CLICK, 0, 0);
    });
    SendMessageW(form->Control("BitBtn1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(mainDisabled) << "the files window is modal";
    EXPECT_TRUE(IsWindowEnabled(form->Window()));
    EXPECT_FALSE(IsWindowVisible(files.Window()));
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "CQ TEST");
    EXPECT_EQ(TextOf(form->Control("BtnPlay2")), L"CQ TEST");
    EXPECT_EQ(form->LabelText(2), "CQ TEST");
    EXPECT_EQ(form->OuterWidth(), TFormSoundWin32::NarrowWidth);
}

TEST_F(FormSoundWin32, PickingAPortOpensItAtTheIdleLevelOrSaysItIsBusy) {
    struct Case {
        int item;  // COM1..COM4
        bool dtr;
        bool inverted;
        bool fails;
        const char* idle;  // the last line call, or nullptr for none
    };
    const Case cases[] = {
        {1, false, false, false, "CLRRTS"}, {2, false, true, false, "SETRTS"},
        {3, true, false, false, "CLRDTR"},  {4, true, true, false, "SETDTR"},
        {1, false, false, true, nullptr},
    };
    HWND combo = form->Control("ComboBox1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        (c.dtr ? keyer.rbDTR : keyer.rbRTS).SetChecked(true);
        (c.inverted ? keyer.rbInv : keyer.rbNorm).SetChecked(true);
        platform.Calls.clear();
        platform.OpenedNames.clear();
        platform.FailWith.clear();
        if (c.fails)
            platform.FailWith["CreateFile"] = ERROR_ACCESS_DENIED;
        boxes.Shown.clear();
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(c.item), 0);
        SendMessageW(form->Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
        EXPECT_EQ(form->PortText(), "COM" + std::to_string(c.item));
        ASSERT_EQ(platform.OpenedNames.size(), 1u);
        EXPECT_NE(platform.OpenedNames[0].find("COM" + std::to_string(c.item)), std::string::npos);
        const std::vector<std::string> lines = platform.LineCalls();
        if (c.idle) {
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(lines.back(), c.idle);
            EXPECT_TRUE(boxes.Shown.empty());
        } else {
            EXPECT_EQ(platform.CallNames().back(), "CreateFile") << "nothing after a failed open";
            EXPECT_EQ(boxes.Shown, std::vector<std::string>{TFormSoundWin32::PortBusyText});
        }
    }
}

// The toggle buttons and the panel button work by mouse but never hold the
// focus, so that Space or Enter cannot press them and send.
TEST_F(FormSoundWin32, ToggleAndPanelButtonsNeverTakeTheFocus) {
    HWND main = form->Window();
    ShowWindow(main, SW_SHOW);
    SetForegroundWindow(main);
    HWND focused = form->Control("BitBtn1");
    form->MakeNarrow();
    for (const char* name : {"BtnPlay1", "BtnPlay2", "BtnPlay3", "BtnStart", "BtnEW2"}) {
        SCOPED_TRACE(name);
        SetFocus(focused);
        ASSERT_EQ(GetFocus(), focused);
        HWND button = form->Control(name);
        EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & WS_TABSTOP, 0);
        const int width = form->OuterWidth();
        const bool down = keyer.BtnPlay1.Down();
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        EXPECT_EQ(GetFocus(), focused) << "a click leaves the focus where it was";
        SetFocus(button);
        EXPECT_NE(GetFocus(), button) << "nor does the program or the keyboard give it one";
        if (std::string(name) == "BtnEW2") {
            EXPECT_NE(form->OuterWidth(), width) << "the click still works";
        } else if (std::string(name) == "BtnPlay1") {
            EXPECT_NE(keyer.BtnPlay1.Down(), down) << "the click still works";
        }
    }
    // A press let go outside the button is no click.
    const bool down = keyer.BtnPlay2.Down();
    SendMessageW(form->Control("BtnPlay2"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(form->Control("BtnPlay2"), WM_LBUTTONUP, 0, MAKELPARAM(-50, 3));
    EXPECT_EQ(keyer.BtnPlay2.Down(), down);
}

}  // namespace
}  // namespace ziv::test
