#pragma once

#include <string>
#include <vector>

#include "core/station_ptt.h"

namespace ziv {

// What the settings window shows of the keying; each flavour implements it
// over its drop-down lists, edit boxes and a line of text.
class TPttSettingsView {
public:
    virtual void ShowPtt(int method, const std::string& host, const std::string& port,
                         const std::string& timeout, int stop) = 0;
    virtual void ShowPttNote(const std::string& text) = 0;

protected:
    ~TPttSettingsView() = default;
};

// The settings window's keying rows, the same in every flavour: the
// method's list, rigctld's host and port, the time-out (0 for none), what a
// stop does, and the test of the PTT.
class TPttSettingsPresenter {
public:
    static const std::vector<std::string> MethodItems;  // in TPttMethod's order
    static const std::vector<std::string> StopItems;    // end the loop, cut
    static const char* const TestingText;
    static const char* const TestPassedText;
    static const char* const TestFailedText;
    static const char* const BadPortText;
    static const char* const BadTimeoutText;

    TPttSettingsPresenter(TPttSettingsView& view, TStationPtt& station, TKeyer& keyer);
    ~TPttSettingsPresenter();
    TPttSettingsPresenter(const TPttSettingsPresenter&) = delete;
    TPttSettingsPresenter& operator=(const TPttSettingsPresenter&) = delete;

    // When the window opens.
    void Show();
    void MethodPicked(int index);
    // When an edit box is left or Enter pressed in it.
    void RigEdited(const std::string& host, const std::string& port);
    void TimeoutEdited(const std::string& text);
    void StopPicked(int index);
    void TestClick();

private:
    TPttSettingsView& view_;
    TStationPtt& station_;
    TKeyer& keyer_;
};

}  // namespace ziv
