// The Win32 main window's glue: its controls are the layout rows at each
// DPI, their events reach the keyer and the presenter, and what those
// change reaches the controls. What the window decides is tested once, in
// the presenter's test.
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
            // Labels and radio buttons grow to their text in the font at
            // hand, the group box around them; a combo box sets its own height.
            const bool label = row.kind == TControlKind::Label;
            const bool grows = label || row.kind == TControlKind::RadioButton ||
                               row.kind == TControlKind::GroupBox;
            const int width = got.right - got.left, height = got.bottom - got.top;
            EXPECT_TRUE(grows ? width >= MulDiv(r.width, dpi, 96)
                              : width == MulDiv(r.width, dpi, 96));
            EXPECT_TRUE(row.kind == TControlKind::ComboBox ||
                        (label ? height >= MulDiv(r.height, dpi, 96)
                               : height == MulDiv(r.height, dpi, 96)));
            EXPECT_TRUE(!label || WholeOnOneLine(c));
        }
    }
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

TEST_F(FormSoundWin32, ModelsControlsThePortBoxAndThePresenterFollowEachOther) {
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
    EXPECT_EQ(SendMessageW(form->Control("BtnPlay2"), BM_GETCHECK, 0, 0), BST_CHECKED);
    // Exactly one of the timer and stop buttons shows.
    EXPECT_NE(GetWindowLongPtrW(form->Control("BtnTimer"), GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongPtrW(form->Control("BtnStop"), GWL_STYLE) & WS_VISIBLE, 0);

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

    // The presenter's title and files button.
    TRecordingStatus recording;
    recording.Recording = true;
    form->ShowRecordingStatus(recording);
    EXPECT_EQ(TextOf(form->Window()).rfind(L"Zivsound \u2014 \u25cf", 0), 0u);
    EXPECT_FALSE(IsWindowEnabled(form->Control("BitBtn1")));
}

TEST_F(FormSoundWin32, KeysReachTheKeyerBeforeTheFocusedControl) {
    HWND control = form->Control("BitBtn1");
    Press(control, VK_F1);
    EXPECT_TRUE(keyer.BtnPlay1.Down()) << "F1";
    EXPECT_EQ(SendMessageW(form->Control("BtnPlay1"), BM_GETCHECK, 0, 0), BST_CHECKED);

    keyer.BtnPlay1.SetDown(false);
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
