#pragma once

#include <optional>
#include <string>

#include "settings/settings_path.h"

namespace ziv {

// The command line, read before anything else starts and without a
// display: "--help" ("-h") and "--version" ("-v") print to standard output
// and end the program with 0; an unknown option or any other argument
// prints the mistake and the usage to standard error and ends it with 2.
// Returns the exit code, or nothing when the program is to run. Uses a
// core application of its own, gone when it returns; the application's
// name and version must be set before.
std::optional<int> HandleCommandLine(int& argc, char** argv);

// How the program reaches a display, decided before Qt's platform plugin
// starts: the plugin aborts the program when its display is not there.
struct TDisplayPlan {
    // Not empty: there is no display; the line to print before ending.
    std::string error;
    // An X display to try first; empty when there is none to try.
    std::string xDisplay;
    // The platform to set in QT_QPA_PLATFORM; empty: leave it as it is.
    std::string platform;
    // The platform instead when xDisplay does not answer; empty: none, and
    // the program ends.
    std::string fallback;
};

// From DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM. A platform the user
// chose is kept; only an X display it needs is checked. Otherwise the X
// server (XWayland under Wayland) is preferred, as Qt's Wayland platform
// ignores the stay-on-top hint.
TDisplayPlan PlanDisplay(const TEnvironment& environment);

// Carries out PlanDisplay: connects to its X display, sets the platform,
// and prints a line to standard error where the program cannot start
// (returning the exit code, 1) or where its window cannot stay on top.
std::optional<int> PrepareDisplay(const TEnvironment& environment);

// While it lives, the fatal message Qt gives when no platform plugin
// starts ends the program with exit code 1 and a line saying so, instead
// of an abort. Meant to span the construction of the application object.
class TPlatformStartGuard {
public:
    TPlatformStartGuard();
    ~TPlatformStartGuard();
    TPlatformStartGuard(const TPlatformStartGuard&) = delete;
    TPlatformStartGuard& operator=(const TPlatformStartGuard&) = delete;
};

}  // namespace ziv
