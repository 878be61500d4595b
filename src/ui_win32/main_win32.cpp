// ZIVSound.exe: the Windows program.
#include <string>

#include "base/diagnostics.h"
#include "core/default_error_report.h"
#include "settings/ini_ctrl.h"
#include "settings/settings_path.h"
#include "ui_win32/program_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const std::string executable = ziv::ExecutablePath();
    const std::string title =
        ziv::ApplicationTitleFromPath(ziv::Utf8FromWide(ziv::WideFromAnsi(executable)));
    std::string settingsPath;
    try {
        settingsPath = ziv::StationSettingsPath(executable, "", ziv::ProcessEnvironment());
        ziv::CreateSettingsFolder(settingsPath);
    } catch (const ziv::ESettingsPathError& e) {
        // Without a place for the settings the program still runs only when
        // the path is known; the first save shows what it could not write.
        ziv::WriteDiagnostic(e.what());
        if (settingsPath.empty()) {
            MessageBoxW(nullptr, ziv::WideFromUtf8(ziv::WithFullStop(e.what())).c_str(),
                        ziv::WideFromUtf8(title).c_str(), MB_OK | MB_TOPMOST | MB_ICONHAND);
            return 1;
        }
    }
    try {
        ziv::TProgramWin32 program(instance, executable, settingsPath);
        return program.Run();
    } catch (...) {
        ziv::ReportCurrentException(nullptr);
        return 1;
    }
}
