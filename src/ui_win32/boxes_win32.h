#pragma once

#include <string>

#include "base/beep.h"
#include "core/default_error_report.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

// Message boxes of the program (UTF-8 texts), behind an interface so that
// tests can answer them without a modal loop.
class TWin32Boxes {
public:
    virtual ~TWin32Boxes() = default;
    // A plain box with one OK button.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
    // The same with the stop icon.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

// The real boxes: MessageBoxW, topmost like the keyer's window so that
// they never hide behind it.
class TWin32MessageBoxes : public TWin32Boxes {
public:
    void SetOwner(HWND owner) { owner_ = owner; }
    void ShowMessage(const std::string& caption, const std::string& text) override;
    void ShowError(const std::string& caption, const std::string& text) override;

private:
    HWND owner_ = nullptr;
};

// The application's default error report: a box captioned with the
// application title, the stop icon, OK and the error's message.
class TWin32ErrorReport : public TDefaultErrorReport {
public:
    TWin32ErrorReport(TWin32Boxes& boxes, std::string title)
        : boxes_(boxes), title_(std::move(title)) {}

protected:
    void ShowErrorBox(const std::string& text) override { boxes_.ShowError(title_, text); }

private:
    TWin32Boxes& boxes_;
    std::string title_;
};

class TWin32Beep : public TBeep {
public:
    void MessageBeep(unsigned type) override;
};

}  // namespace ziv
