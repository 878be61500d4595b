// The settings file is the one input a person edits by hand, so any bytes
// may be in it. Each input is read as the program reads it; what a start-up
// load hands to the window must survive the save at close and the next load.

#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "../settings/fake_station_homes.h"
#include "settings/cp1257.h"
#include "settings/ini_ctrl.h"
#include "settings/ini_file.h"
#include "settings/station_settings.h"

namespace ziv {
namespace {

// Values are arbitrary bytes; a report must stay readable in a terminal.
std::string Printable(std::string_view bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, c) : escaped;
    }
    return out + "\"";
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "settings_fuzzer: %s\n", what.c_str());
    std::fflush(stderr);
    __builtin_trap();
}

std::string Printable(long long number) {
    return std::to_string(number);
}

std::string Describe(const test::FakeStationHomes& homes) {
    std::string out;
    std::apply([&](const auto&... value) { ((out += Printable(value) + " "), ...); },
               homes.Stored());
    return out;
}

// The integer text rule written out a second, independent way, so that a
// slip in either shows up as a disagreement.
std::optional<std::int32_t> ReferenceInteger(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    const bool hex = text.starts_with('$') || text.starts_with('x') || text.starts_with('X') ||
                     text.starts_with("0x") || text.starts_with("0X");
    bool minus = false;
    if (hex)
        text.remove_prefix(text.front() == '0' ? 2 : 1);
    else if (text.starts_with('+'))
        text.remove_prefix(1);
    else if ((minus = text.starts_with('-')))
        text.remove_prefix(1);
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, hex ? 16 : 10);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    if (value > (hex ? 0xFFFFFFFFull : minus ? 0x80000000ull : 0x7FFFFFFFull))
        return std::nullopt;
    return static_cast<std::int32_t>(minus ? 0 - value : value);
}

// The parser and the rule agree; a refused text leaves the value alone.
bool CheckInteger(std::string_view text, std::int32_t& parsed) {
    parsed = 0x5EED;
    const bool parses = ParseIniInteger(text, parsed);
    const auto expected = ReferenceInteger(text);
    if (parses != expected.has_value() || parsed != expected.value_or(0x5EED))
        Fail("ParseIniInteger(" + Printable(text) + ") gave " +
             (parses ? std::to_string(parsed) : "no number") + ", the rule gives " +
             (expected ? std::to_string(*expected) : "no number"));
    return parses;
}

// Reads one key every way the program does; they must agree.
void CheckKey(TIniFile& file, const std::string& section, const std::string& key) {
    const std::string absent = "\n<absent>";  // no file value can hold a line break
    const std::string value = file.ReadString(section, key, absent);
    if (value != absent && value.size() > TIniFile::MaxValueLength)
        Fail("[" + section + "] " + key + " read " + std::to_string(value.size()) + " bytes");
    std::int32_t parsed = 0;
    const bool parses = CheckInteger(value, parsed);
    if (file.ReadInteger(section, key, -77) != (parses ? parsed : -77) ||
        file.ReadBool(section, key, true) != (!parses || parsed != 0) ||
        file.ReadBool(section, key, false) != (parses && parsed != 0))
        Fail("[" + section + "] " + key + "=" + Printable(value) + " reads unlike its integer");
}

}  // namespace
}  // namespace ziv

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ziv;
    // A private directory that holds nothing else, removed at exit.
    static const std::string* const dir = [] {
        std::string path = (std::filesystem::temp_directory_path() / "ziv-fuzz-XXXXXX").string();
        if (::mkdtemp(path.data()) == nullptr)
            Fail("cannot create a temporary directory");
        std::atexit([] { std::filesystem::remove_all(*dir); });
        return new std::string(path);
    }();
    const std::string path = *dir + "/" + kSettingsFileName;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << input;

    std::int32_t ignored = 0;
    CheckInteger(input, ignored);
    if (IsCp1257Representable(input) && Cp1257ToUtf8(Utf8ToCp1257(input)) != input)
        Fail("representable text " + Printable(input) + " is changed by the code page");

    TIniFile file(path);
    for (const char* key : {"Main", "X", "Y", "Port", "Wave File1", "Wave File2", "Wave File3",
                            "Label1", "Label2", "Label3", "RTS", "DTR", "Norm", "Inv"})
        CheckKey(file, kStationSection, key);
    for (const char* com : {"COM1", "COM2", "COM3", "COM4"})
        CheckKey(file, "Ports", com);

    TLMDIniCtrl ini;
    ConfigureStationIni(ini, path);
    ini.SetProgramPath(*dir + "/zivsound");
    test::FakeStationHomes first, second;
    try {
        LoadStationSettings(ini, first);
    } catch (const EIniFileError& e) {
        // Only "Main" is written here, with a value any file can hold.
        Fail(std::string("the start-up load failed: ") + e.what());
    }
    for (int n = 0; n < 3; ++n)
        if (first.captions[n] != first.labels[n])
            Fail("play button " + std::to_string(n + 1) + " shows " + Printable(first.captions[n]) +
                 ", its label is " + Printable(first.labels[n]));
    try {
        SaveStationSettings(ini, first);
    } catch (const EIniFileError& e) {
        // Whatever the reader gave can be written back: a refusal would
        // leave a half-saved station.
        Fail(std::string("saving what was loaded failed: ") + e.what());
    }
    LoadStationSettings(ini, second);
    if (second.Stored() != first.Stored())
        Fail("a save and a load changed the settings\n  loaded: " + Describe(first) +
             "\n  reloaded: " + Describe(second));
    return 0;
}
