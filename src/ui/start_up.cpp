#include "ui/start_up.h"

#include "base/diagnostics.h"

#include <xcb/xcb.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace ziv {

namespace {

constexpr char kNoDisplay[] =
    "no display: set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session";
constexpr char kNotOnTop[] =
    "on Wayland without an X display (XWayland) the window cannot stay on top of "
    "other windows";

std::string Lookup(const TEnvironment& environment, const char* name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

bool Print(std::FILE* stream, const QString& text) {
    return std::fputs(text.toLocal8Bit().constData(), stream) >= 0 && std::fflush(stream) == 0;
}

bool XDisplayAnswers(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

QtMessageHandler previousHandler = nullptr;

void EndOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        previousHandler(type, context, message);
        return;
    }
    // Qt's own text advises reinstalling, which is not what helps; its
    // warnings before it name the platform that failed and why.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const std::string named = platform.isEmpty() ? "" : " \"" + platform.toStdString() + "\"";
    WriteDiagnostic("cannot open a window: the window system" + named +
                    " did not start (the reason is above)");
    std::_Exit(1);
}

}  // namespace

std::optional<int> HandleCommandLine(int& argc, char** argv) {
    // The usage names the executable as it was started, which takes an
    // application object; unlike the GUI one, this one needs no display.
    const QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Voice keyer for amateur radio: keys the transmitter's PTT through a serial port\n"
        "and plays a recorded message.\n"
        "Settings: ZIVSound.ini beside the program; for an installed copy (or one in a\n"
        "folder its user cannot write) $XDG_CONFIG_HOME/ZIVSound/ZIVSound.ini, by default\n"
        "~/.config/ZIVSound/ZIVSound.ini."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    parser.addOption(help);
    parser.addOption(version);

    QString mistake;
    if (!parser.parse(QCoreApplication::arguments()))
        mistake = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        mistake =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
    if (!mistake.isEmpty()) {
        WriteDiagnostic(mistake.toLocal8Bit().toStdString());
        Print(stderr, parser.helpText());
        return 2;
    }
    if (parser.isSet(help))
        return Print(stdout, parser.helpText()) ? 0 : 1;
    if (parser.isSet(version)) {
        return Print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                                 QCoreApplication::applicationVersion() + QLatin1Char('\n'))
                   ? 0
                   : 1;
    }
    return std::nullopt;
}

TDisplayPlan PlanDisplay(const TEnvironment& environment) {
    const std::string x = Lookup(environment, "DISPLAY");
    const std::string wayland = Lookup(environment, "WAYLAND_DISPLAY");
    const std::string chosen = Lookup(environment, "QT_QPA_PLATFORM");
    TDisplayPlan plan;
    if (!chosen.empty()) {
        // "name:arguments", or several such separated by ";", tried in
        // order: only a lone X platform has nothing to fall back on.
        const bool alone = chosen.find(';') == std::string::npos;
        if (alone && chosen.substr(0, chosen.find(':')) == "xcb") {
            if (x.empty())
                plan.error = kNoDisplay;
            plan.xDisplay = x;
        }
        return plan;
    }
    if (!x.empty()) {
        plan.xDisplay = x;
        plan.platform = "xcb";
        if (!wayland.empty())
            plan.fallback = "wayland";
    } else if (!wayland.empty()) {
        plan.platform = "wayland";
    } else {
        plan.error = kNoDisplay;
    }
    return plan;
}

std::optional<int> PrepareDisplay(const TEnvironment& environment) {
    const TDisplayPlan plan = PlanDisplay(environment);
    if (!plan.error.empty()) {
        WriteDiagnostic(plan.error);
        return 1;
    }
    std::string platform = plan.platform;
    if (!plan.xDisplay.empty() && !XDisplayAnswers(plan.xDisplay)) {
        if (plan.fallback.empty()) {
            WriteDiagnostic("cannot connect to display " + plan.xDisplay +
                            ": set DISPLAY (or WAYLAND_DISPLAY) to a running desktop session");
            return 1;
        }
        WriteDiagnostic("cannot connect to display " + plan.xDisplay + "; using " + plan.fallback);
        platform = plan.fallback;
    }
    if (!platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
    if (qgetenv("QT_QPA_PLATFORM").startsWith("wayland"))
        WriteDiagnostic(kNotOnTop);
    return std::nullopt;
}

TPlatformStartGuard::TPlatformStartGuard() {
    previousHandler = qInstallMessageHandler(EndOnFatal);
}

TPlatformStartGuard::~TPlatformStartGuard() {
    qInstallMessageHandler(previousHandler);
}

}  // namespace ziv
