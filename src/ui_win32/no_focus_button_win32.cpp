#include "ui_win32/no_focus_button_win32.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv {

namespace {

bool CursorInside(HWND button, LPARAM lParam) {
    RECT r{};
    GetClientRect(button, &r);
    const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&r, p) != FALSE;
}

void Clicked(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

LRESULT CALLBACK NoFocusProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (IsWindowEnabled(button)) {
                SetCapture(button);
                SendMessageW(button, BM_SETSTATE, TRUE, 0);
            }
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == button)
                SendMessageW(button, BM_SETSTATE, CursorInside(button, lParam) ? TRUE : FALSE, 0);
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == button) {
                ReleaseCapture();  // WM_CAPTURECHANGED releases the look
                if (CursorInside(button, lParam))
                    Clicked(button);
            }
            return 0;
        case WM_CAPTURECHANGED:
            SendMessageW(button, BM_SETSTATE, FALSE, 0);
            return 0;
        case WM_SETFOCUS: {
            // wParam is the window that lost the focus, if any.
            HWND back = reinterpret_cast<HWND>(wParam);
            SetFocus(back && IsWindow(back) && back != button ? back : GetParent(button));
            return 0;
        }
        case WM_GETDLGCODE:
            // Never the default button: Enter is the keyer's.
            return DLGC_BUTTON;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return 0;
        default:
            return DefSubclassProc(button, message, wParam, lParam);
    }
}

}  // namespace

void MakeNoFocusButton(HWND button) {
    SetWindowLongPtrW(button, GWL_STYLE, GetWindowLongPtrW(button, GWL_STYLE) & ~WS_TABSTOP);
    SetWindowSubclass(button, &NoFocusProc, 1, 0);
}

}  // namespace ziv
