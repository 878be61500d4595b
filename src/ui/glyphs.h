#pragma once

#include <QIcon>

namespace ziv {

// The pictures on the main window's buttons, drawn here: each with its
// normal and its disabled image, as the buttons' bitmaps hold them.
QIcon StartGlyph();  // 16 x 16: green triangle pointing right
QIcon TimerGlyph();  // 16 x 17: blue clock face, green triangle over it
QIcon StopGlyph();   // 16 x 16: red square
QIcon PanelGlyph();  // 9 x 6: small black triangle pointing down

}  // namespace ziv
