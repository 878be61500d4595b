#pragma once

#include <string_view>

#include "ui_win32/win32_handles.h"

// What both windows need to lay their rows out at any DPI: the rows are
// given at 96 dots per inch, the fonts are made at the window's DPI, and a
// label is as large as its text drawn in its own font.

namespace ziv {

// The window's dots per inch: its monitor's where the system tells it
// (Windows 10), the system's otherwise.
int WindowDpi(HWND window);
// The system's message font at `dpi`; the caller deletes it.
HFONT CreateWindowFont(int dpi);
// A length laid out at 96 dots per inch, at `dpi`.
int ScaleForDpi(int pixelsAt96, int dpi);

struct TTextSize {
    int width;
    int height;
};
// `text` on one line in the control's own font (WM_GETFONT).
TTextSize TextSize(HWND control, std::wstring_view text);
// Grows the label, from its top-left corner, until `text` fits it on one
// line after `lead` pixels (a radio button's circle), though never past
// `room`, the right edge of its parent's client area as laid out: the
// laid-out sizes were measured in another font, and a narrower label would
// cut the text.
void FitLabel(HWND label, std::wstring_view text, int room, int lead = 0);

}  // namespace ziv
