#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "../../core/keyer_fixture.h"
#include "layout/files_window_layout.h"
#include "settings/ansi_path_win32.h"
#include "ui_win32/files/form_failai_win32.h"
#include "ui_win32/win32_text.h"

#include "ui_win32/files/files_controls.h"  // brings <windows.h>: last

#include "../win32_window_test_support.h"

// The Win32 files window's glue for real under Wine, driven by the messages
// the user's mouse and keys would produce: its controls from the layout
// rows, their notifications into the model, the model's changes into them.
// What the model decides is tested in tests/core.

namespace ziv::test {
namespace {

namespace fs = std::filesystem;
using namespace files_win32;

// A left click (or double-click) on row `row` of a list box.
void ClickList(HWND list, int row, bool twice = false) {
    RECT r{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM(r.left + 4, r.top + 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    if (twice) {
        SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageW(list, WM_LBUTTONUP, 0, at);
    }
}

// Chooses entry `index` of a drop-down as the user would.
void Choose(HWND combo, int index) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
}

// A files window over a temporary folder tree, created with that tree as
// the working directory:
//   b.wav  CQ.WAV  ąžuolas.wav  notes.txt  paslėptas.wav (hidden)  sub\inner.wav
class FilesWindowWin32Test : public KeyerFixture {
protected:
    FilesWindowWin32Test() {
        root = fs::temp_directory_path() / (L"ziv-files-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root);
        fs::create_directories(root / L"sub");
        for (const wchar_t* name : {L"b.wav", L"CQ.WAV", L"ąžuolas.wav", L"notes.txt",
                                    L"paslėptas.wav", L"sub\\inner.wav"})
            std::ofstream(root / name) << "RIFF";
        SetFileAttributesW((root / L"paslėptas.wav").c_str(), FILE_ATTRIBUTE_HIDDEN);
        const fs::path oldCwd = fs::current_path();
        fs::current_path(root);
        form = std::make_unique<TFormFailaiWin32>(GetModuleHandleW(nullptr), slots, keyer,
                                                  [this] { ++narrowCalls; });
        fs::current_path(oldCwd);
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            keyer.PlayButton(n).SetCaption(std::to_string(n) + " ĮRAŠAS");
    }
    ~FilesWindowWin32Test() override {
        form.reset();
        fs::remove_all(root);
    }

    HWND Control(const char* name) const { return form->Control(name); }
    const TFilesWindowModel& Model() const { return form->Model(); }
    // What the slot's ANSI path names, as a wide path.
    fs::path SlotFile(int n) const { return fs::path(ToWidePath(slots.Path(n))); }

    fs::path root;
    int narrowCalls = 0;
    std::unique_ptr<TFormFailaiWin32> form;
};

// Created and moved to another DPI the same way: the move, to 144 DPI, is checked.
TEST_F(FilesWindowWin32Test, CreatedHiddenWithTheLayoutsControlsScaledForTheDpi) {
    HWND window = form->Window();
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), WideFromUtf8(kFilesWindowCaption));
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT client{}, suggested{30, 40, 600, 480}, placed{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, ScaleForDpi(kFilesWindowClientWidth, form->Dpi()));
    EXPECT_EQ(client.bottom, ScaleForDpi(kFilesWindowClientHeight, form->Dpi()));
    const int dpi = 144;
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &placed);
    EXPECT_TRUE(EqualRect(&placed, &suggested));
    ASSERT_EQ(form->Dpi(), dpi);
    for (const TControlLayout& row : kFilesWindowLayout) {
        SCOPED_TRACE(row.name);
        HWND control = Control(row.name);
        HWND parent = *row.parent != '\0' ? Control(row.parent) : window;
        ASSERT_TRUE(control != nullptr && GetParent(control) == parent);
        if (*row.text != '\0') {  // lists, drop-downs and Label1 show what they hold
            EXPECT_EQ(Utf8FromWide(TextOf(control)), row.text);
        }
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, ScaleForDpi(row.rect.left, dpi));
        EXPECT_EQ(r.top, ScaleForDpi(row.rect.top, dpi));
        if (row.kind == TControlKind::Label) {  // grown to its text in the font at hand
            EXPECT_GE(r.right - r.left, ScaleForDpi(row.rect.width, dpi));
            EXPECT_GE(r.bottom - r.top, ScaleForDpi(row.rect.height, dpi));
            EXPECT_TRUE(*row.text == '\0' || WholeOnOneLine(control));
        } else {  // a drop-down's closed height follows its font within a pixel or two
            EXPECT_EQ(r.right - r.left, ScaleForDpi(row.rect.width, dpi));
            EXPECT_NEAR(r.bottom - r.top, ScaleForDpi(row.rect.height, dpi),
                        row.kind == TControlKind::ComboBox ? 2 : 0);
        }
    }
    for (const char* name : {"edFile1", "edFile2", "edFile3"})
        EXPECT_TRUE(GetWindowLongW(Control(name), GWL_STYLE) & ES_READONLY) << name;
    EXPECT_FALSE(GetWindowLongW(Control("edLab1"), GWL_STYLE) & ES_READONLY);
}

TEST_F(FilesWindowWin32Test, ClicksKeysAndSelectorsReachTheModelAndItsChangesTheControls) {
    // Case ignored in matching and sorting; hidden files and other types not listed.
    HWND files = Control("FileListBox1");
    EXPECT_EQ(Model().FileNames(), (std::vector<std::string>{"ąžuolas.wav", "b.wav", "CQ.WAV"}));
    EXPECT_EQ(TFolderReader().Folded("ĄŽUOLAS.WAV"), TFolderReader().Folded("ąžuolas.wav"));
    EXPECT_EQ(PathFromWide(L"C:\\ą😀"), "C:/ą😀");
    const std::wstring odd = L"C:\\ą\xD800";  // a lone surrogate comes back too
    EXPECT_EQ(WideFromPath(PathFromWide(odd)), odd);

    ClickList(files, 1);
    ASSERT_TRUE(Model().Linked());
    EXPECT_EQ(TextOf(Control("Edit1")), L"b.wav");
    SendMessageW(Control("btnEnter1"), BM_CLICK, 0, 0);
    EXPECT_EQ(slots.Path(1).find('\\'), std::string::npos) << slots.Path(1);
    EXPECT_TRUE(fs::equivalent(SlotFile(1), root / L"b.wav")) << slots.Path(1);
    EXPECT_EQ(TextOf(Control("edFile1")), L"b.wav");
    // A Lithuanian name the ANSI code page may lack still reaches its file
    // (exactly, or by its short name).
    ClickList(files, 0);
    SendMessageW(Control("btnEnter2"), BM_CLICK, 0, 0);
    EXPECT_TRUE(fs::equivalent(SlotFile(2), root / L"ąžuolas.wav")) << slots.Path(2);
    Choose(Control("FilterComboBox1"), 1);
    EXPECT_EQ(SendMessageW(files, LB_GETCOUNT, 0, 0), 4);  // notes.txt too
    EXPECT_EQ(TextOf(Control("Edit1")), L"*.*");

    // A double-click enters a folder; each row is indented by its depth.
    HWND dirList = Control("DirectoryListBox1");
    ClickList(dirList,
              static_cast<int>(
                  SendMessageW(dirList, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(L"sub"))),
              true);
    EXPECT_EQ(Model().Directory(), PathFromWide((root / L"sub").wstring()));
    EXPECT_EQ(SendMessageW(files, LB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(TextOf(Control("Label1")), form->ShortCaption(Model().Directory()));
    EXPECT_EQ(TextOf(Control("Label1")).find(L'/'), std::wstring::npos);
    for (std::size_t i = 0; i < Model().Rows().size(); ++i)
        EXPECT_EQ(SendMessageW(dirList, LB_GETITEMDATA, i, 0), Model().Rows()[i].Depth);
    // Enter, a dialog key otherwise, opens the chosen folder as a double-click does.
    ClickList(dirList, static_cast<int>(Model().Rows().size()) - 2);  // the folder above
    MSG enter{dirList, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_TRUE(IsDialogMessageW(form->Window(), &enter));
    EXPECT_EQ(Model().Directory(), PathFromWide(root.wstring()));

    HWND drives = Control("DriveComboBox1");
    const auto drive = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
    ASSERT_GE(drive, 0);
    Choose(drives, drive);
    EXPECT_EQ(Model().Directory(), Model().Volumes()[static_cast<std::size_t>(drive)].Root);
}

TEST_F(FilesWindowWin32Test, LabelsRoundTripAndReachTheButtonsOnClose) {
    form->SetLabelText(1, "CQ Ąžuolas");
    EXPECT_EQ(form->LabelText(1), "CQ Ąžuolas");
    // A character Windows-1257 lacks is refused as it is typed.
    SendMessageW(Control("edLab1"), WM_CHAR, L'Я', 1);
    EXPECT_EQ(form->LabelText(1), "CQ Ąžuolas");
    SendMessageW(Control("edLab1"), WM_CHAR, L'ė', 1);
    EXPECT_NE(form->LabelText(1), "CQ Ąžuolas");

    // Opening reads the slots, the files and the buttons anew; the close box
    // copies nothing.
    std::ofstream(root / L"message1.wav") << "RIFF";
    slots.SetPath(1, WithForwardSlashes(*ToAnsiPath((root / L"message1.wav").wstring())));
    PostMessageW(form->Window(), WM_CLOSE, 0, 0);
    form->ShowModal(nullptr);
    EXPECT_EQ(form->LabelText(1), "1 ĮRAŠAS");
    EXPECT_EQ(TextOf(Control("edFile1")), L"message1.wav");
    EXPECT_EQ(Model().FileNames().size(), 4u);
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
