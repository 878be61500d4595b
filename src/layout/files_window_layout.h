#pragma once

#include "layout/control_layout.h"

// The message files window: a small file browser in Panel4 above, and one
// row per message slot below: the row's number, the slot's file name, the
// "Įvesti" button that assigns the browser's file, and the button label.

namespace ziv {

inline constexpr const char* kFilesWindowCaption = "ZIV Sound   WAV failai";
inline constexpr int kFilesWindowClientWidth = 370;
inline constexpr int kFilesWindowClientHeight = 259;
// The file-type selector's entries: "description|mask|description|mask".
inline constexpr const char* kFilesWindowFilter = "WAV failai (*.wav)|*.wav|Visi failai (*.*)|*.*";

// Rows in creation order, which is also the order the controls are drawn in.
inline constexpr TControlLayout kFilesWindowLayout[] = {
    // Hidden: it only carries the browser's choice to the "Įvesti" buttons.
    {"Edit1", "", TControlKind::Edit, {24, 68, 129, 21}, "", ""},
    {"Panel4", "", TControlKind::Panel, {7, 0, 361, 161}, "", ""},
    {"Label2", "Panel4", TControlKind::Label, {18, 8, 60, 13}, "Failo vardas:", ""},
    {"FileListBox1", "Panel4", TControlKind::ListBox, {16, 27, 142, 85}, "", ""},
    {"Label3", "Panel4", TControlKind::Label, {164, 7, 50, 13}, "Katalogas:", ""},
    // The current directory, shortened to fit.
    {"Label1", "Panel4", TControlKind::Label, {164, 24, 92, 13}, "", ""},
    {"DirectoryListBox1", "Panel4", TControlKind::ListBox, {165, 40, 188, 73}, "", ""},
    {"Label5", "Panel4", TControlKind::Label, {18, 120, 50, 13}, "Failo tipas:", ""},
    {"FilterComboBox1", "Panel4", TControlKind::ComboBox, {16, 137, 142, 21}, "", ""},
    {"Label4", "Panel4", TControlKind::Label, {166, 120, 45, 13}, "Įrenginys:", ""},
    {"DriveComboBox1", "Panel4", TControlKind::ComboBox, {165, 138, 188, 19}, "", ""},
    {"Label9", "", TControlKind::Label, {32, 167, 50, 13}, "Įrašo failas", ""},
    {"Label10", "", TControlKind::Label, {218, 167, 80, 13}, "Mygtuko užrašas", ""},

    {"Label6", "", TControlKind::Label, {16, 186, 14, 18}, "1", ""},
    {"edFile1", "", TControlKind::Edit, {32, 183, 120, 21}, "", ""},
    {"btnEnter1", "", TControlKind::PushButton, {156, 184, 51, 20}, "Įvesti", ""},
    {"edLab1", "", TControlKind::Edit, {217, 183, 81, 21}, "", ""},

    {"Label7", "", TControlKind::Label, {16, 209, 14, 18}, "2", ""},
    {"edFile2", "", TControlKind::Edit, {32, 207, 120, 21}, "", ""},
    {"btnEnter2", "", TControlKind::PushButton, {156, 208, 51, 20}, "Įvesti", ""},
    {"edLab2", "", TControlKind::Edit, {217, 207, 81, 21}, "", ""},

    {"Label8", "", TControlKind::Label, {17, 234, 6, 18}, "3", ""},
    {"edFile3", "", TControlKind::Edit, {32, 231, 120, 21}, "", ""},
    {"btnEnter3", "", TControlKind::PushButton, {156, 232, 51, 20}, "Įvesti", ""},
    {"edLab3", "", TControlKind::Edit, {217, 231, 81, 21}, "", ""},

    {"BitBtn2", "", TControlKind::PushButton, {304, 229, 57, 21}, "&Uždaryti", ""},
};

}  // namespace ziv
