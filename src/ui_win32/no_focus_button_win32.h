#pragma once

#include "ui_win32/win32_handles.h"

namespace ziv {

// Makes a button that never takes the keyboard focus, as the toggle buttons
// and the panel button of the Qt window (Qt::NoFocus): a button with the
// focus would click on Space, and on Enter through the dialog keys, and so
// send a message the operator did not mean to send. The button's own mouse
// handling would focus it, so the press and the click are done here; a
// focus given by program or keyboard goes back where it came from.
void MakeNoFocusButton(HWND button);

}  // namespace ziv
