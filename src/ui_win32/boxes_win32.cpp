#include "ui_win32/boxes_win32.h"

#include "ui_win32/win32_text.h"

#include "base/windows_api.h"

namespace ziv {

void TWin32MessageBoxes::ShowMessage(const std::string& caption, const std::string& text) {
    MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                MB_OK | MB_TOPMOST);
}

void TWin32MessageBoxes::ShowError(const std::string& caption, const std::string& text) {
    MessageBoxW(owner_, WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(),
                MB_OK | MB_TOPMOST | MB_ICONHAND);
}

void TWin32Beep::MessageBeep(unsigned type) {
    ::MessageBeep(type);
}

}  // namespace ziv
