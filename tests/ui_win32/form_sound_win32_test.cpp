// The Win32 main window's glue that no other test reaches: its controls are
// the layout rows after a move to another DPI, a port pick and the radios
// reach the presenter, Enter never presses a focused push button, and the
// toggle buttons never take the focus. Keys, the track bar, the widen
// button and the files window are driven on the real program by
// tests/e2e_wine/e2e_wine.py; what the window decides is tested in the
// presenter's test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/message_recorder.h"
#include "layout/main_window_layout.h"
#include "ui_win32/win32_text.h"

#include "win32_window_test_support.h"

namespace ziv::test {
namespace {

// The main window over the fake port and sound service, never shown.
class FormSoundWin32 : public ::testing::Test, protected TWin32FormRig {
protected:
    void SetUp() override {
        for (int n = 1; n <= 3; ++n)
            slots.SetPath(n, "msg" + std::to_string(n) + ".wav");
        CreateForm();
    }
};

// Created at the desktop's DPI (where the Wine end-to-end run finds the
// controls), then moved to a monitor of 144 DPI.
TEST_F(FormSoundWin32, ControlsFollowTheLayoutRowsOnATopmostWindowMovedToAnotherDpi) {
    HWND main = form->Window();
    EXPECT_NE(GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    const int dpi = 144;
    RECT suggested{30, 40, 30 + MulDiv(TFormSoundWin32::WideWidth, dpi, 96), 250}, placed;
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(main, &placed);
    EXPECT_TRUE(EqualRect(&placed, &suggested));
    ASSERT_EQ(form->Dpi(), dpi);
    for (const TControlLayout& row : kMainWindowLayout) {
        SCOPED_TRACE(row.name);
        HWND c = form->Control(row.name);
        ASSERT_TRUE(c);
        EXPECT_EQ(GetParent(c), main);
        EXPECT_EQ(TextOf(c), WideFromUtf8(row.text));
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
        // Labels and radio buttons grow to their text in the font at hand,
        // the group box around them; a combo box sets its own height.
        const bool label = row.kind == TControlKind::Label;
        const bool grows =
            label || row.kind == TControlKind::RadioButton || row.kind == TControlKind::GroupBox;
        const int width = got.right - got.left, height = got.bottom - got.top;
        EXPECT_TRUE(grows ? width >= MulDiv(r.width, dpi, 96) : width == MulDiv(r.width, dpi, 96));
        EXPECT_TRUE(
            row.kind == TControlKind::ComboBox ||
            (label ? height >= MulDiv(r.height, dpi, 96) : height == MulDiv(r.height, dpi, 96)));
        EXPECT_TRUE(!label || WholeOnOneLine(c));
    }
    form->MakeNarrow();
    RECT outer;
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.right - outer.left, MulDiv(TFormSoundWin32::NarrowWidth, dpi, 96));
}

TEST_F(FormSoundWin32, ThePortBoxAndTheRadiosReachThePresenterAndItsFilesButtonTheWindow) {
    // A pick in the port box and a radio click reach the presenter, which
    // opens the port and sets the idle level, or tells of a busy port in a box.
    HWND combo = form->Control("ComboBox1");
    const auto pick = [&](int item) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        SendMessageW(form->Window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    };
    pick(4);
    EXPECT_EQ(TextOf(combo), L"COM4");
    EXPECT_EQ(platform.OpenedNames, std::vector<std::string>{"COM4"});
    SendMessageW(form->Control("rbDTR"), BM_CLICK, 0, 0);
    SendMessageW(form->Control("rbInv"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(form->Control("rbInv"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(platform.LineCalls().back(), "SETDTR");
    platform.FailWith["CreateFile"] = ERROR_ACCESS_DENIED;
    pick(2);
    EXPECT_EQ(boxes.Shown, std::vector<std::string>{"Zivsound: Prievadas u\u017eimtas"});

    TRecordingStatus recording;
    recording.Recording = true;
    form->ShowRecordingStatus(recording);
    EXPECT_FALSE(IsWindowEnabled(form->Control("BitBtn1")));
}

// With a message chosen and a pause set, Ctrl+Enter on a focused BtnTimer
// would start a repeat loop if Enter pressed the focused push button.
TEST_F(FormSoundWin32, CtrlEnterNeverPressesTheFocusedPushButton) {
    keyer.BtnPlay1.Click();
    keyer.TrackBar1.SetPosition(5);
    HWND timer = form->Control("BtnTimer");
    ShowWindow(form->Window(), SW_SHOWNA);
    SetFocus(timer);
    BYTE state[256] = {};
    state[VK_CONTROL] = 0x80;  // Ctrl held, as the keyboard state tells it
    SetKeyboardState(state);
    PostMessageW(timer, WM_KEYDOWN, VK_RETURN, 1);
    gate.PumpPending();
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
    EXPECT_FALSE(keyer.BtnStop.Visible()) << "Ctrl+Enter on BtnTimer started the loop";
    keyer.BtnStopClick();
}

// The toggle buttons and the panel button work by mouse but never hold the
// focus, so that Space or Enter cannot press them and send.
TEST_F(FormSoundWin32, ToggleAndPanelButtonsNeverTakeTheFocus) {
    ShowWindow(form->Window(), SW_SHOW);
    SetForegroundWindow(form->Window());
    HWND focused = form->Control("BitBtn1");
    form->MakeNarrow();
    for (const char* name : {"BtnPlay1", "BtnPlay2", "BtnPlay3", "BtnStart", "BtnEW2"}) {
        SCOPED_TRACE(name);
        SetFocus(focused);
        HWND button = form->Control(name);
        EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & WS_TABSTOP, 0);
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        EXPECT_EQ(GetFocus(), focused) << "a click leaves the focus where it was";
        SetFocus(button);
        EXPECT_NE(GetFocus(), button) << "nor does the program or the keyboard give it one";
    }
    EXPECT_TRUE(keyer.BtnPlay3.Down()) << "the click still works";
    EXPECT_EQ(form->OuterWidth(), TFormSoundWin32::WideWidth);
    // A press let go outside the button is no click.
    SendMessageW(form->Control("BtnPlay2"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageW(form->Control("BtnPlay2"), WM_LBUTTONUP, 0, MAKELPARAM(-50, 3));
    EXPECT_FALSE(keyer.BtnPlay2.Down());
}

}  // namespace
}  // namespace ziv::test
