#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "audio/wave_player.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "layout/files_window_layout.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "settings/ansi_path_win32.h"
#include "ui_win32/files/browser_rules.h"
#include "ui_win32/files/files_browser.h"
#include "ui_win32/files/files_controls.h"  // brings <windows.h>: last
#include "ui_win32/files/form_failai_win32.h"

#include "../win32_window_test_support.h"

// The files window for real under Wine: created hidden and driven by the
// messages the user's mouse and keys would produce.

namespace ziv::test {
namespace {

namespace fs = std::filesystem;
using namespace files_win32;

// A left click (or double-click) on row `row` of a list box, or below its
// rows when row is -1.
void ClickList(HWND list, int row, bool twice = false) {
    RECT r{};
    if (row >= 0)
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    else
        GetClientRect(list, &r);
    if (row < 0)
        r.top = r.bottom - 4;
    const LPARAM at = MAKELPARAM(r.left + 4, r.top + 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& item) {
    const auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

// Chooses entry `index` of a drop-down as the user would.
void Choose(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// A files window over a temporary folder tree, created with that tree as
// the working directory:
//   b.wav  CQ.WAV  ąžuolas.wav  notes.txt  paslėptas.wav (hidden)
//   sub\inner.wav  Šilas (a folder)
class FilesWindowWin32Test : public ::testing::Test {
protected:
    FilesWindowWin32Test() {
        root = fs::temp_directory_path() / (L"ziv-files-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root);
        fs::create_directories(root / L"sub");
        fs::create_directories(root / L"Šilas");
        for (const wchar_t* name : {L"b.wav", L"CQ.WAV", L"ąžuolas.wav", L"notes.txt",
                                    L"paslėptas.wav", L"sub\\inner.wav"})
            std::ofstream(root / name) << "RIFF";
        SetFileAttributesW((root / L"paslėptas.wav").c_str(), FILE_ATTRIBUTE_HIDDEN);
        const fs::path oldCwd = fs::current_path();
        fs::current_path(root);
        form = std::make_unique<TFormFailaiWin32>(GetModuleHandleW(nullptr), messageSlots, keyer,
                                                  [this] { ++narrowCalls; });
        fs::current_path(oldCwd);
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            keyer.PlayButton(n).SetCaption(std::to_string(n) + " ĮRAŠAS");
    }
    ~FilesWindowWin32Test() override {
        form.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    HWND Control(const char* name) const { return form->Control(name); }
    TFilesBrowser& Browser() { return form->Browser(); }
    // What the slot's ANSI path names, as a wide path.
    fs::path SlotFile(int n) const { return fs::path(ToWidePath(messageSlots.Path(n))); }

    fs::path root;
    TVirtualUiThread ui;
    TFakeCommPlatform platform;
    TTestComm com{platform};
    TFakeSoundService sound{ui};
    TSRWavePlayer player{sound};
    TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer{com, player, ui, beep, messageSlots};
    int narrowCalls = 0;
    std::unique_ptr<TFormFailaiWin32> form;
};

TEST_F(FilesWindowWin32Test, CreatedHiddenWithTheLayoutsControlsScaledForEachDpi) {
    EXPECT_FALSE(IsWindowVisible(form->Window()));
    EXPECT_EQ(TextOf(form->Window()), Utf8ToWide(kFilesWindowCaption));
    EXPECT_TRUE(GetWindowLongW(form->Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT client{};
    GetClientRect(form->Window(), &client);
    EXPECT_EQ(client.right, ScaleForDpi(kFilesWindowClientWidth, form->Dpi()));
    EXPECT_EQ(client.bottom, ScaleForDpi(kFilesWindowClientHeight, form->Dpi()));
    // As created, then moved to a monitor of 144 DPI.
    for (const int newDpi : {0, 144}) {
        if (newDpi != 0) {
            RECT suggested{30, 40, 600, 480};
            SendMessageW(form->Window(), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi),
                         reinterpret_cast<LPARAM>(&suggested));
            RECT placed{};
            GetWindowRect(form->Window(), &placed);
            EXPECT_TRUE(EqualRect(&placed, &suggested));
        }
        const int dpi = form->Dpi();
        ASSERT_TRUE(newDpi == 0 || dpi == newDpi);
        for (const TControlLayout& row : kFilesWindowLayout) {
            SCOPED_TRACE(std::string(row.name) + " at " + std::to_string(dpi));
            HWND control = Control(row.name);
            ASSERT_NE(control, nullptr);
            HWND parent = *row.parent != '\0' ? Control(row.parent) : form->Window();
            EXPECT_EQ(GetParent(control), parent);
            // Lists and drop-downs have no text; Label1 shows the directory once linked.
            const bool textual = row.kind != TControlKind::ComboBox &&
                                 row.kind != TControlKind::ListBox &&
                                 std::string_view(row.name) != "Label1";
            if (textual) {
                EXPECT_EQ(WideToUtf8(TextOf(control)), row.text);
            }
            RECT r{};
            GetWindowRect(control, &r);
            MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_EQ(r.left, ScaleForDpi(row.rect.left, dpi));
            EXPECT_EQ(r.top, ScaleForDpi(row.rect.top, dpi));
            if (row.kind == TControlKind::Label) {
                // Grown to its text in the font at hand.
                EXPECT_GE(r.right - r.left, ScaleForDpi(row.rect.width, dpi));
                EXPECT_GE(r.bottom - r.top, ScaleForDpi(row.rect.height, dpi));
                EXPECT_TRUE(textual ? WholeOnOneLine(control) : true);
                continue;
            }
            EXPECT_EQ(r.right - r.left, ScaleForDpi(row.rect.width, dpi));
            // A drop-down's closed height follows its font within a pixel or two.
            EXPECT_NEAR(r.bottom - r.top, ScaleForDpi(row.rect.height, dpi),
                        row.kind == TControlKind::ComboBox ? 2 : 0);
        }
    }
    for (const char* name : {"edFile1", "edFile2", "edFile3"})
        EXPECT_TRUE(GetWindowLongW(Control(name), GWL_STYLE) & ES_READONLY) << name;
    EXPECT_FALSE(GetWindowLongW(Control("edLab1"), GWL_STYLE) & ES_READONLY);
}

TEST_F(FilesWindowWin32Test, UnlinkedBrowserListsButChangesNothingElse) {
    EXPECT_EQ(Browser().Directory(), root.wstring());
    // Case ignored in matching and sorting; hidden files and other types not listed.
    const std::vector<std::wstring> wavs{L"ąžuolas.wav", L"b.wav", L"CQ.WAV"};
    EXPECT_EQ(Browser().FileNames(), wavs);
    const auto& dirs = Browser().DirEntries();
    ASSERT_GE(dirs.size(), 3u);
    EXPECT_EQ(dirs[dirs.size() - 3], root.wstring());
    EXPECT_EQ(dirs[dirs.size() - 2], (root / L"Šilas").wstring());
    EXPECT_EQ(dirs.back(), (root / L"sub").wstring());

    // Unlinked, the file type changes nothing, the caption and the hidden
    // edit stay empty, and "Įvesti" assigns nothing.
    Choose(Control("FilterComboBox1"), 1);
    EXPECT_EQ(Browser().FileNames(), wavs);
    EXPECT_FALSE(Browser().Linked());
    EXPECT_EQ(TextOf(Control("Label1")), L"");
    SendMessageW(Control("btnEnter1"), BM_CLICK, 0, 0);
    EXPECT_EQ(messageSlots.Path(1), "");
    EXPECT_EQ(TextOf(Control("edFile1")), L"");
}

TEST_F(FilesWindowWin32Test, FirstClickLinksAndEnterAssignsTheAnsiPath) {
    ClickList(Control("FileListBox1"), IndexOf(Browser().FileNames(), L"b.wav"));
    ASSERT_TRUE(Browser().Linked());
    EXPECT_EQ(TextOf(Control("Edit1")), L"b.wav");
    EXPECT_NE(TextOf(Control("Label1")), L"");  // the caption shows once linked
    SendMessageW(Control("btnEnter1"), BM_CLICK, 0, 0);
    EXPECT_EQ(messageSlots.Path(1).find('\\'), std::string::npos) << messageSlots.Path(1);
    EXPECT_TRUE(fs::equivalent(SlotFile(1), root / L"b.wav")) << messageSlots.Path(1);
    EXPECT_EQ(TextOf(Control("edFile1")), L"b.wav");

    // A Lithuanian name the ANSI code page may lack still reaches its file
    // (exactly, or by its short name).
    ClickList(Control("FileListBox1"), IndexOf(Browser().FileNames(), L"ąžuolas.wav"));
    SendMessageW(Control("btnEnter2"), BM_CLICK, 0, 0);
    EXPECT_TRUE(fs::equivalent(SlotFile(2), root / L"ąžuolas.wav")) << messageSlots.Path(2);

    // A new file type lists anew with nothing selected: the mask is refused.
    Choose(Control("FilterComboBox1"), 1);
    EXPECT_EQ(Browser().FileNames().size(), 4u);  // notes.txt too
    EXPECT_EQ(TextOf(Control("Edit1")), L"*.*");
    SendMessageW(Control("btnEnter3"), BM_CLICK, 0, 0);
    EXPECT_EQ(messageSlots.Path(3), "");
}

TEST_F(FilesWindowWin32Test, DirectoryListNavigatesAndRefusesWhatVanished) {
    HWND dirList = Control("DirectoryListBox1");
    // A double-click links (it is a click too) and enters the folder.
    ClickList(dirList, IndexOf(Browser().DirEntries(), (root / L"sub").wstring()), true);
    EXPECT_TRUE(Browser().Linked());
    EXPECT_EQ(Browser().Directory(), (root / L"sub").wstring());
    EXPECT_EQ(Browser().FileNames(), std::vector<std::wstring>{L"inner.wav"});
    EXPECT_EQ(TextOf(Control("Label1")), Browser().ShortCaption((root / L"sub").wstring()));
    const auto drive =
        static_cast<int>(SendMessageW(Control("DriveComboBox1"), CB_GETCURSEL, 0, 0));
    ASSERT_GE(drive, 0);
    EXPECT_TRUE(IsInside(Browser().Directory(), Browser().Drives()[static_cast<size_t>(drive)]));

    // Back up the chain, then into a folder that vanished after it was listed.
    ClickList(dirList, IndexOf(Browser().DirEntries(), root.wstring()), true);
    EXPECT_EQ(Browser().Directory(), root.wstring());
    fs::remove(root / L"Šilas");
    ClickList(dirList, IndexOf(Browser().DirEntries(), (root / L"Šilas").wstring()), true);
    EXPECT_EQ(Browser().Directory(), root.wstring());

    // Enter, a dialog key otherwise, opens the chosen folder as a double-click does.
    ClickList(dirList, IndexOf(Browser().DirEntries(), (root / L"sub").wstring()));
    MSG enter{dirList, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(form->Window(), &enter));
    EXPECT_EQ(Browser().Directory(), (root / L"sub").wstring());
}

TEST_F(FilesWindowWin32Test, LabelsRoundTripAndReachTheButtonsOnClose) {
    form->SetLabelText(1, "CQ Ąžuolas");
    EXPECT_EQ(form->LabelText(1), "CQ Ąžuolas");
    // A character Windows-1257 lacks is refused as it is typed.
    SendMessageW(Control("edLab1"), WM_CHAR, L'Я', 1);
    EXPECT_EQ(form->LabelText(1), "CQ Ąžuolas");
    SendMessageW(Control("edLab1"), WM_CHAR, L'ė', 1);
    EXPECT_NE(form->LabelText(1), "CQ Ąžuolas");

    // Row 3 hands its label over at once, without a file.
    form->SetLabelText(3, "TEST");
    SendMessageW(Control("btnEnter3"), BM_CLICK, 0, 0);
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "TEST");
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");

    // Opening refills the labels from the buttons; the close box copies nothing.
    form->SetLabelText(2, "X");
    PostMessageW(form->Window(), WM_CLOSE, 0, 0);
    form->ShowModal(nullptr);
    EXPECT_EQ(form->LabelText(1), "1 ĮRAŠAS");
    EXPECT_FALSE(IsWindowVisible(form->Window()));
    EXPECT_EQ(narrowCalls, 0);

    // Escape is "&Uždaryti": the labels go to the buttons, the main window narrows.
    PostMessageW(Control("BitBtn2"), WM_KEYDOWN, VK_ESCAPE, 1);
    form->ShowModal(nullptr);
    EXPECT_EQ(narrowCalls, 1);
    form->SetLabelText(2, "DX");
    SendMessageW(Control("BitBtn2"), BM_CLICK, 0, 0);
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "DX");
    EXPECT_EQ(narrowCalls, 2);
}

}  // namespace
}  // namespace ziv::test
