#include "core/ptt_settings_presenter.h"

#include <charconv>

namespace ziv {
namespace {

// A whole number within [low, high], nothing else around it.
bool ParseWithin(const std::string& text, int low, int high, int* value) {
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && at == end && *value >= low && *value <= high;
}

}  // namespace

const std::vector<std::string> TPttSettingsPresenter::MethodItems = {
    "Prievado linija", "CAT (rigctld)", "Nevaldyti (VOX)"};
const std::vector<std::string> TPttSettingsPresenter::StopItems = {"baigia ciklą",
                                                                   "nutraukia įrašą"};
const char* const TPttSettingsPresenter::TestingText = "tikrinama...";
const char* const TPttSettingsPresenter::TestPassedText = "PTT veikia";
const char* const TPttSettingsPresenter::TestFailedText = "PTT neveikia: ";
const char* const TPttSettingsPresenter::BadPortText = "prievadas – skaičius 1-65535";
const char* const TPttSettingsPresenter::BadTimeoutText = "laiko riba – 0-600 s";

TPttSettingsPresenter::TPttSettingsPresenter(TPttSettingsView& view, TStationPtt& station,
                                             TKeyer& keyer)
    : view_(view), station_(station), keyer_(keyer) {
    keyer_.OnPttTest = [this](bool ok, const std::string& why) {
        view_.ShowPttNote(ok ? std::string(TestPassedText) : TestFailedText + why);
    };
}

TPttSettingsPresenter::~TPttSettingsPresenter() {
    keyer_.OnPttTest = nullptr;
}

void TPttSettingsPresenter::Show() {
    const TPttChoice& c = station_.Choice();
    view_.ShowPtt(static_cast<int>(c.method), c.host, std::to_string(c.port),
                  std::to_string(station_.Timeout()), station_.Cut() ? 1 : 0);
    view_.ShowPttNote("");
}

void TPttSettingsPresenter::MethodPicked(int index) {
    if (index < 0 || index >= static_cast<int>(MethodItems.size()))
        return;
    TPttChoice choice = station_.Choice();
    choice.method = static_cast<TPttMethod>(index);
    if (choice.method != station_.Choice().method)
        station_.SetChoice(choice);
}

void TPttSettingsPresenter::RigEdited(const std::string& host, const std::string& port) {
    TPttChoice choice = station_.Choice();
    // A bad entry is said and shown again as it stands: nothing is lost.
    if (host.empty() || !ParseWithin(port, 1, 65535, &choice.port)) {
        Show();
        view_.ShowPttNote(BadPortText);
        return;
    }
    choice.host = host;
    if (choice.host != station_.Choice().host || choice.port != station_.Choice().port)
        station_.SetChoice(choice);
}

void TPttSettingsPresenter::TimeoutEdited(const std::string& text) {
    int seconds = 0;
    if (!ParseWithin(text, 0, 600, &seconds)) {
        Show();
        view_.ShowPttNote(BadTimeoutText);
        return;
    }
    if (seconds != station_.Timeout())
        station_.SetTimeout(seconds);
}

void TPttSettingsPresenter::StopPicked(int index) {
    if ((index == 1) != station_.Cut() && index >= 0 && index <= 1)
        station_.SetCut(index == 1);
}

void TPttSettingsPresenter::TestClick() {
    view_.ShowPttNote(TestingText);
    if (!keyer_.TestPtt())
        view_.ShowPttNote("");
}

}  // namespace ziv
