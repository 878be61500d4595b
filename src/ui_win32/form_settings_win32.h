#pragma once

#include <array>
#include <cstdint>

#include <memory>

#include "core/ptt_settings_presenter.h"
#include "core/settings_presenter.h"
#include "layout/settings_window_layout.h"
#include "ui_win32/win32_handles.h"

namespace ziv {

// The settings window ("Nustatymai") on the Win32 API, over the same
// presenter as the Linux one. Windows tells nothing when a sound device
// comes or goes, so the lists are read again every two seconds while the
// window shows (not while a list is dropped down).
class TFormSettingsWin32 : public TSettingsView, public TPttSettingsView {
public:
    // Without `ptt` the keying rows are disabled.
    TFormSettingsWin32(HINSTANCE instance, TSoundDevices& devices, TSoundChoices choices,
                       TStationPtt* ptt = nullptr, TKeyer* keyer = nullptr);
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
    void ShowPtt(int method, const std::string& host, const std::string& port,
                 const std::string& timeout, int stop) override;
    void ShowPttNote(const std::string& text) override;

private:
    static std::intptr_t __stdcall WindowProc(HWND window, unsigned message, std::uintptr_t wParam,
                                              std::intptr_t lParam);
    std::intptr_t Handle(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    void CreateControls();
    void OnCommand(int row, unsigned code);
    static void Fill(HWND box, const std::vector<std::string>& texts, int chosen);
    void BindPtt();
    // An edit left (or the window closed): what changed goes to the presenter.
    void EditLeft(const std::string& name);
    void Close();
    std::string Text(const char* name) const;

    TSoundDevices& devices_;
    TSettingsPresenter presenter_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    bool open_ = false;
    std::unique_ptr<TPttSettingsPresenter> ptt_;
    std::array<HWND, std::size(kSettingsWindowLayout)> controls_{};
};

}  // namespace ziv
