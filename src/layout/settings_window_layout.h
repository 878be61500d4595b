#pragma once

#include "layout/control_layout.h"

// The settings window: the radio's sound output and input, how the
// transmitter is keyed (with rigctld's address), the transmit time-out,
// what Escape and the stop button do, a test of the PTT, and a button that
// plays the chosen message on the default output without keying.

namespace ziv {

inline constexpr char kSettingsWindowCaption[] = "Nustatymai";
inline constexpr int kSettingsWindowClientWidth = 300;
inline constexpr int kSettingsWindowClientHeight = 228;

inline constexpr TControlLayout kSettingsWindowLayout[] = {
    // name, parent, kind, {left, top, width, height}, text, hint
    {"lbOutput", "", TControlKind::Label, {8, 12, 90, 13}, "Garso išvestis:", ""},
    {"cbOutput", "", TControlKind::ComboBox, {100, 8, 192, 21}, "", "Į kurį garso įrenginį siųsti"},
    {"lbInput", "", TControlKind::Label, {8, 40, 90, 13}, "Garso įvestis:", ""},
    {"cbInput",
     "",
     TControlKind::ComboBox,
     {100, 36, 192, 21},
     "",
     "Iš kurio garso įrenginio įrašyti"},
    {"lbPtt", "", TControlKind::Label, {8, 68, 90, 13}, "PTT valdymas:", ""},
    {"cbPtt", "", TControlKind::ComboBox, {100, 64, 192, 21}, "", "Kaip įjungiamas siųstuvas"},
    {"lbRig", "", TControlKind::Label, {8, 96, 90, 13}, "rigctld:", ""},
    {"edRigHost", "", TControlKind::Edit, {100, 92, 130, 21}, "", "rigctld kompiuteris"},
    {"edRigPort", "", TControlKind::Edit, {234, 92, 58, 21}, "", "rigctld TCP prievadas"},
    {"lbTimeout", "", TControlKind::Label, {8, 124, 90, 13}, "Laiko riba, s:", ""},
    {"edTimeout",
     "",
     TControlKind::Edit,
     {100, 120, 58, 21},
     "",
     "Ilgiausias perdavimas sekundėmis (0 – be ribos)"},
    {"lbStop", "", TControlKind::Label, {8, 152, 90, 13}, "Stabdymas:", ""},
    {"cbStop", "", TControlKind::ComboBox, {100, 148, 192, 21}, "", "Ką daro Escape ir stabdymo mygtukas"},
    {"BtnTestPtt",
     "",
     TControlKind::PushButton,
     {8, 178, 88, 25},
     "Tikrinti PTT",
     "Įjungti siųstuvą pusei sekundės"},
    {"BtnListen",
     "",
     TControlKind::PushButton,
     {100, 178, 94, 25},
     "Klausytis",
     "Groti pasirinktą įrašą\nnumatytuoju garso įrenginiu, nesiunčiant"},
    {"BtnClose", "", TControlKind::PushButton, {198, 178, 94, 25}, "Uždaryti", ""},
    {"lbPttNote", "", TControlKind::Label, {8, 210, 284, 13}, "", ""},
};

}  // namespace ziv
