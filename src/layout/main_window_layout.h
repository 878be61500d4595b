#pragma once

#include "layout/control_layout.h"

// The main window's controls. The rows are in creation order, which is the
// order in which they are stacked (BtnStop lies over BtnTimer, and only one
// of them is ever shown), and a parent's row comes before its children's.

namespace ziv {

inline constexpr TControlLayout kMainWindowLayout[] = {
    // name, parent, kind, {left, top, width, height}, text, hint
    {"BtnPlay1", "", TControlKind::ToggleButton, {58, 8, 81, 25}, "1 ĮRAŠAS", "F1"},
    {"BtnPlay2", "", TControlKind::ToggleButton, {58, 32, 81, 25}, "2 ĮRAŠAS", "F2"},
    {"BtnPlay3", "", TControlKind::ToggleButton, {58, 56, 81, 25}, "3 ĮRAŠAS", "F3"},
    {"BtnStart",
     "",
     TControlKind::ToggleButton,
     {99, 84, 40, 25},
     "",
     " Skaityti įrašą \nCtrl+<ENTER>"},
    {"BtnTimer",
     "",
     TControlKind::PushButton,
     {58, 84, 40, 25},
     "",
     "Paleisti taimerĮ\n       <F4>"},
    {"BtnStop",
     "",
     TControlKind::PushButton,
     {58, 84, 40, 25},
     "",
     " Sustabdyti taimerį\n     <ESCAPE>"},
    {"BtnEW2", "", TControlKind::FlatButton, {144, 11, 12, 13}, "", "Nustatymai"},
    {"Panel2", "", TControlKind::Panel, {8, 9, 44, 102}, "", ""},
    {"TrackBar1", "Panel2", TControlKind::TrackBar, {16, 1, 26, 97}, "", "Pauzės trukmė"},
    {"Label1", "Panel2", TControlKind::Label, {9, 83, 6, 14}, "0", ""},
    {"Label2", "Panel2", TControlKind::Label, {3, 42, 12, 14}, "10", ""},
    {"Label3", "Panel2", TControlKind::Label, {3, 3, 12, 14}, "20", ""},
    {"BitBtn1", "", TControlKind::PushButton, {218, 13, 58, 25}, "Failai", ""},
    // Right of the narrow window's edge: seen only with the settings.
    {"BtnSettings",
     "",
     TControlKind::PushButton,
     {166, 13, 48, 25},
     "Garsas",
     "Nustatymai: garso išvestis ir įvestis"},
    {"GroupBox1", "", TControlKind::GroupBox, {143, 38, 134, 73}, "", ""},
    {"Label4", "GroupBox1", TControlKind::Label, {8, 16, 47, 13}, "Prievadas", ""},
    {"ComboBox1", "GroupBox1", TControlKind::ComboBox, {64, 12, 57, 21}, "COM3", ""},
    {"rbNorm", "GroupBox1", TControlKind::RadioButton, {57, 36, 65, 17}, "Normalus", ""},
    {"rbInv", "GroupBox1", TControlKind::RadioButton, {57, 52, 74, 17}, "Invertuotas", ""},
    {"Panel1", "GroupBox1", TControlKind::Panel, {2, 32, 55, 39}, "", ""},
    {"rbRTS", "Panel1", TControlKind::RadioButton, {6, 3, 49, 17}, "RTS", ""},
    {"rbDTR", "Panel1", TControlKind::RadioButton, {6, 20, 58, 17}, "DTR", ""},
};

}  // namespace ziv
