// The settings file is the one input of the program that a person edits by
// hand, so any bytes at all may be in it. This target reads such bytes the
// way the program does and checks that what a start-up load hands to the
// window survives the save at close and the load of the next start.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "settings/cp1257.h"
#include "settings/ini_ctrl.h"
#include "settings/ini_file.h"
#include "settings/station_settings.h"

// Shared with the unit tests: the homes a load fills in and a save reads.
#include "../settings/fake_station_homes.h"
#include "fuzz_scratch.h"

namespace ziv {
namespace {

// Values are arbitrary bytes; a report must stay readable in a terminal.
std::string Printable(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out + "\"";
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "settings_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

std::string Describe(const test::FakeStationHomes& h) {
    std::string out = "X=" + std::to_string(h.left) + " Y=" + std::to_string(h.top) +
                      " Port=" + Printable(h.port);
    for (int n = 0; n < 3; ++n) {
        out += " Wave File" + std::to_string(n + 1) + "=" + Printable(h.paths[n]);
    }
    for (int n = 0; n < 3; ++n) {
        out += " Label" + std::to_string(n + 1) + "=" + Printable(h.labels[n]);
    }
    out += " RTS=" + std::to_string(h.rts) + " DTR=" + std::to_string(h.dtr) +
           " Norm=" + std::to_string(h.norm) + " Inv=" + std::to_string(h.inv);
    return out;
}

// The integer text rule written out a second, independent way, so that a
// slip in either one shows up as a disagreement.
std::optional<std::int32_t> ReferenceInteger(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    text.remove_prefix(start);
    const auto whole = [](std::string_view digits, auto& out, int base) {
        const char* const end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data(), end, out, base);
        return !digits.empty() && error == std::errc() && stop == end;
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::uint32_t hexValue = 0;
    std::int32_t value = 0;
    std::string_view hexDigits;
    bool hex = false;
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X') {
        hexDigits = text.substr(1);
        hex = true;
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        hexDigits = text.substr(2);
        hex = true;
    }
    if (hex) {
        if (!whole(hexDigits, hexValue, 16)) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(hexValue);
    }
    // from_chars takes "-" but not "+", and would take a second sign.
    std::string_view decimal = text.front() == '+' ? text.substr(1) : text;
    const std::string_view digits = decimal.starts_with('-') ? decimal.substr(1) : decimal;
    if (digits.empty() || !isDigit(digits.front()) || text.substr(0, 2) == "+-") {
        return std::nullopt;
    }
    if (!whole(decimal, value, 10)) {
        return std::nullopt;
    }
    return value;
}

void CheckInteger(std::string_view text) {
    std::int32_t parsed = 0x5EED;
    const bool ok = ParseIniInteger(text, parsed);
    const auto expected = ReferenceInteger(text);
    if (ok != expected.has_value() || (ok && parsed != *expected)) {
        Fail("ParseIniInteger(" + Printable(text) + ") gave " +
             (ok ? std::to_string(parsed) : "no number") + ", the rule gives " +
             (expected ? std::to_string(*expected) : "no number"));
    }
    if (!ok && parsed != 0x5EED) {
        Fail("ParseIniInteger(" + Printable(text) + ") refused the text but changed the value");
    }
}

// The code page is documented as one to one over every byte.
void CheckCodePage(std::string_view bytes) {
    const std::string utf8 = Cp1257ToUtf8(bytes);
    if (!IsCp1257Representable(utf8) || Utf8ToCp1257(utf8) != bytes) {
        Fail("Windows-1257 bytes " + Printable(bytes) + " do not come back from " +
             Printable(utf8));
    }
}

// A representable text must come back whole from the file's encoding.
void CheckUtf8(std::string_view text) {
    if (IsCp1257Representable(text) && Cp1257ToUtf8(Utf8ToCp1257(text)) != text) {
        Fail("representable text " + Printable(text) + " is changed by the code page");
    }
}

constexpr const char* kStationKeys[] = {
    "Main",   "X",      "Y",      "Port", "Wave File1", "Wave File2", "Wave File3",
    "Label1", "Label2", "Label3", "RTS",  "DTR",        "Norm",       "Inv"};
constexpr const char* kComNames[] = {"COM1", "COM2", "COM3", "COM4"};

// A text the file cannot hold, so a read that falls back on it is told
// apart from one that found a value.
const std::string kAbsent = "\n<absent>";

void CheckKey(TIniFile& file, TLMDIniCtrl& ini, const std::string& section,
              const std::string& key) {
    const std::string value = file.ReadString(section, key, kAbsent);
    if (value != kAbsent && value.size() > TIniFile::MaxValueLength) {
        Fail("[" + section + "] " + key + " read " + std::to_string(value.size()) + " bytes");
    }
    if (ini.ReadString(section, key, kAbsent) != value) {
        Fail("[" + section + "] " + key + " reads differently through the settings component");
    }
    CheckInteger(value);
    std::int32_t parsed = 0;
    const bool parses = value != kAbsent && ParseIniInteger(value, parsed);
    const std::int32_t integer = file.ReadInteger(section, key, -77);
    if (integer != (parses ? parsed : -77)) {
        Fail("[" + section + "] " + key + "=" + Printable(value) + " read as the integer " +
             std::to_string(integer));
    }
    for (const bool fallback : {false, true}) {
        if (file.ReadBool(section, key, fallback) != (parses ? parsed != 0 : fallback)) {
            Fail("[" + section + "] " + key + "=" + Printable(value) +
                 " reads as a Boolean unlike its integer");
        }
    }
    if (key.starts_with("Label") && value != kAbsent) {
        CheckCodePage(value);
    }
}

// The "executable" lies in a private directory that holds nothing else.
struct Place {
    std::string programPath;
    std::string settingsPath;
};

const Place& ThePlace() {
    static const Place place = [] {
        const std::string& dir = fuzz::ScratchDir("ziv-settings-fuzz-XXXXXX", Fail);
        return Place{dir + "/zivsound", dir + "/" + kSettingsFileName};
    }();
    return place;
}

}  // namespace
}  // namespace ziv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ziv;
    const Place& place = ThePlace();
    fuzz::WriteInput(place.settingsPath, data, size, Fail);
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    TLMDIniCtrl ini;
    ConfigureStationIni(ini);
    ini.SetProgramPath(place.programPath);
    if (ini.FileName() != place.settingsPath) {
        Fail("the settings component points at " + ini.FileName());
    }

    CheckInteger(input);
    CheckUtf8(input);

    TIniFile file(place.settingsPath);
    for (const char* key : kStationKeys) {
        CheckKey(file, ini, kStationSection, key);
    }
    for (const char* com : kComNames) {
        CheckKey(file, ini, "Ports", com);
        if (PortDevicePath(ini, com) != file.ReadString("Ports", com, "")) {
            Fail(std::string("the device of ") + com + " differs from its entry");
        }
    }

    test::FakeStationHomes first;
    try {
        LoadStationSettings(ini, first);
    } catch (const EIniFileError& e) {
        // Only "Main" is written here, with a value any file can hold.
        Fail(std::string("the start-up load failed: ") + e.what());
    }
    for (int n = 0; n < 3; ++n) {
        if (first.captions[n] != first.labels[n]) {
            Fail("play button " + std::to_string(n + 1) + " shows " + Printable(first.captions[n]) +
                 ", its label is " + Printable(first.labels[n]));
        }
    }

    try {
        SaveStationSettings(ini, first);
    } catch (const EIniFileError& e) {
        // Every value here came from the reader, and whatever it reads can
        // be written back: a refusal would leave a half-saved station.
        Fail(std::string("saving what was loaded failed: ") + e.what());
    }

    test::FakeStationHomes second;
    LoadStationSettings(ini, second);
    if (second.Stored() != first.Stored()) {
        Fail("a save and a load changed the settings\n  loaded: " + Describe(first) +
             "\n  reloaded: " + Describe(second));
    }
    return 0;
}
