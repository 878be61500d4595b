#pragma once

#include <array>
#include <cstdint>

#include "core/settings_presenter.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

// The settings window ("Nustatymai") on the Win32 API, over the same
// presenter as the Linux one. Windows tells nothing when a sound device
// comes or goes, so the lists are read again every two seconds while the
// window shows (not while a list is dropped down).
class TFormSettingsWin32 : public TSettingsView {
public:
    TFormSettingsWin32(HINSTANCE instance, TSoundDevices& devices, TSoundChoices choices);
    ~TFormSettingsWin32();
    TFormSettingsWin32(const TFormSettingsWin32&) = delete;
    TFormSettingsWin32& operator=(const TFormSettingsWin32&) = delete;

    // Shows the window over `owner`, disabled meanwhile, until it is closed.
    void ShowModal(HWND owner);
    HWND Window() const { return window_; }
    // A layout row's control by name; nullptr for none.
    HWND Control(const char* name) const;

    void ShowOutputs(const std::vector<std::string>& texts, int chosen) override;
    void ShowInputs(const std::vector<std::string>& texts, int chosen) override;

private:
    static std::intptr_t __stdcall WindowProc(HWND window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
    std::intptr_t Handle(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void CreateControls();
    void OnCommand(int row, unsigned code);
    static void Fill(HWND box, const std::vector<std::string>& texts, int chosen);

    TSoundDevices& devices_;
    TSettingsPresenter presenter_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    bool open_ = false;
    std::array<HWND, 6> controls_{};
};

}  // namespace ziv
