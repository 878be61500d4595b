#pragma once

#include "layout/control_layout.h"

// The settings window: the radio's sound output and input, and a button
// that plays the chosen message on the default output without keying.

namespace ziv {

inline constexpr char kSettingsWindowCaption[] = "Nustatymai";
inline constexpr int kSettingsWindowClientWidth = 300;
inline constexpr int kSettingsWindowClientHeight = 100;

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
    {"BtnListen",
     "",
     TControlKind::PushButton,
     {100, 68, 94, 25},
     "Klausytis",
     "Groti pasirinktą įrašą\nnumatytuoju garso įrenginiu, nesiunčiant"},
    {"BtnClose", "", TControlKind::PushButton, {198, 68, 94, 25}, "Uždaryti", ""},
};

}  // namespace ziv
