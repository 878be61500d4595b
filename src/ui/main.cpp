#include <QIcon>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/diagnostics.h"
#include "settings/ini_ctrl.h"
#include "settings/settings_path.h"
#include "ui/application.h"
#include "ui/program.h"
#include "ui/start_up.h"

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("ZIVSound"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZIV_VERSION));
    // Help and version need no display, and nothing may be written before
    // the command line is known to be right.
    if (const std::optional<int> code = ziv::HandleCommandLine(argc, argv))
        return *code;
    const ziv::TEnvironment environment = ziv::ProcessEnvironment();
    if (const std::optional<int> code = ziv::PrepareDisplay(environment))
        return *code;
    std::string settingsPath;
    try {
        settingsPath =
            ziv::StationSettingsPath(ziv::ExecutablePath(), ZIV_INSTALL_PREFIX, environment);
    } catch (const ziv::ESettingsPathError& e) {
        ziv::WriteDiagnostic(e.what());
        return 1;
    }

    std::unique_ptr<ziv::TZivApplication> app;
    {
        const ziv::TPlatformStartGuard guard;
        app = std::make_unique<ziv::TZivApplication>(argc, argv);
    }
    try {
        ziv::CreateSettingsFolder(settingsPath);
    } catch (const ziv::ESettingsPathError& e) {
        // The program still runs; the first write of the settings shows the
        // file it could not write in a box.
        ziv::WriteDiagnostic(e.what());
    }
    QIcon icon;
    icon.addFile(QStringLiteral(":/ziv/icon-32.png"));
    icon.addFile(QStringLiteral(":/ziv/icon-64.png"));
    QApplication::setWindowIcon(icon);
    ziv::TProgram program(QCoreApplication::applicationFilePath(), settingsPath);
    app->SetErrorReport(&program.Errors());
    return program.Run();
}
