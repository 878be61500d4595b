#pragma once

// What the Win32 window tests share: <windows.h> the one way, a message-box
// double that keeps the texts shown, and a window's text.

#include <string>
#include <vector>

#include "ui_win32/boxes_win32.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv::test {

class TRecordingBoxes : public TWin32Boxes {
public:
    void ShowMessage(const std::string&, const std::string& text) override {
        Shown.push_back(text);
    }
    void ShowError(const std::string&, const std::string& text) override { Shown.push_back(text); }
    std::vector<std::string> Shown;
};

inline std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

}  // namespace ziv::test
