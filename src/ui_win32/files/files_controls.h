#pragma once

// The Win32 side of building the files window from its layout rows:
// classes and styles per control kind, DPI scaling, the window font, the
// panel that passes its children's notifications on, and the row edits'
// colours. Internal to the files window; include it after the project's
// other headers, since it brings <windows.h>.

#include "layout/control_layout.h"
#include "ui_win32/dpi_win32.h"

#include "base/windows_api.h"

namespace ziv::files_win32 {

// The notification code a watched list box sends its parent on every
// click, also one that changes no selection (below the last row).
constexpr int kListClicked = 0x7F01;

// The class, styles and text of a layout row's control.
struct TControlClass {
    const wchar_t* ClassName;
    DWORD Style;
    DWORD ExStyle;
};
TControlClass ControlClassOf(const TControlLayout& row);

// A panel: a plain container that hands its children's notifications and
// colour requests to its own parent.
void RegisterFilesPanelClass(HINSTANCE instance);
// The row's control, visible, at its DPI-scaled place, with the font.
HWND CreateLayoutControl(const TControlLayout& row, HWND parent, int id, int dpi, HFONT font);
// Places the row's control anew at `dpi` with `font`.
void PlaceLayoutControl(const TControlLayout& row, HWND control, int dpi, HFONT font);
// Makes the list box send kListClicked on every left-button release.
void WatchListClicks(HWND listBox);
// Makes Enter in the list box send LBN_DBLCLK, as a double-click does,
// rather than go to the window as a dialog key.
void OpenOnEnter(HWND listBox);
// Draws a row of the directory list (owner-drawn): indented by its depth
// (the row's item data), a folder, the name.
void DrawFolderRow(const DRAWITEMSTRUCT& item, int dpi);

// The rows' edits (edFile1..3, edLab1..3) in the tooltip colours; nullptr
// for any other control. Control ids are firstId + the row's index.
HBRUSH RowEditColours(HWND control, HDC dc, int firstId);

}  // namespace ziv::files_win32
