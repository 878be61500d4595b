#include "ui_win32/dpi_win32.h"

#include <algorithm>

#include "base/windows_api.h"

namespace ziv {

int WindowDpi(HWND window) {
    // GetDpiForWindow is Windows 10's; older systems have the system DPI.
    using TGetDpi = UINT(WINAPI*)(HWND);
    static const auto get = reinterpret_cast<TGetDpi>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (get != nullptr && window != nullptr)
        if (const UINT dpi = get(window); dpi != 0)
            return static_cast<int>(dpi);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ScaleForDpi(int pixelsAt96, int dpi) {
    return MulDiv(pixelsAt96, dpi, 96);
}

TTextSize TextSize(HWND control, std::wstring_view text) {
    HDC dc = GetDC(control);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    if (old != nullptr)
        SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {static_cast<int>(size.cx), static_cast<int>(std::max(size.cy, metrics.tmHeight))};
}

void FitLabel(HWND label, std::wstring_view text, int room, int lead) {
    if (text.empty())
        return;
    const TTextSize needed = TextSize(label, text);
    RECT r{};
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, GetParent(label), reinterpret_cast<POINT*>(&r), 2);
    const int width = std::max(static_cast<int>(r.right - r.left),
                               std::min(lead + needed.width, room - static_cast<int>(r.left)));
    const int height = std::max(static_cast<int>(r.bottom - r.top), needed.height);
    if (width != r.right - r.left || height != r.bottom - r.top)
        SetWindowPos(label, nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HFONT CreateWindowFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Given at the system's DPI; the window may be on a monitor of another.
        font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, dpi, WindowDpi(nullptr));
    } else {
        font.lfHeight = -ScaleForDpi(11, dpi);
        wcscpy(font.lfFaceName, L"MS Shell Dlg 2");
    }
    return CreateFontIndirectW(&font);
}

}  // namespace ziv
