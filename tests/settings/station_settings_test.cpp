#include "settings/station_settings.h"

#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <tuple>

#include <gtest/gtest.h>

#include "fake_station_homes.h"
#include "settings_test_support.h"

namespace ziv::test {
namespace {

// As the program sets it up: the settings file beside the "executable" in
// program/, where the program runs unless a test runs it elsewhere.
class StationSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigureStationIni(ini, settings);
        ini.SetProgramPath(exe);
        RunIn(program.Path());
    }
    void TearDown() override { std::filesystem::current_path(savedCwd); }
    void RunIn(const std::string& dir) { std::filesystem::current_path(dir); }

    TempDir program;
    TempDir elsewhere;
    const std::string exe = program / "zivsound";
    const std::string settings = program / "ZIVSound.ini";
    TLMDIniCtrl ini;
    FakeStationHomes homes;
    const std::filesystem::path savedCwd = std::filesystem::current_path();
};

TEST_F(StationSettingsTest, FirstRunLoadsDefaultsAndTheWorkingDirectoryDecidesOnlyTheMainEntry) {
    LoadStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings), NewFileText("[ZIV SOUND]\nMain=" + exe + "\n"));

    // The default clears the window's checked RTS.
    EXPECT_EQ(homes.Stored(), std::make_tuple(100, 100, "0", "", "", "", "1 ĮRAŠAS", "2 ĮRAŠAS",
                                              "3 ĮRAŠAS", false, false, true, false));
    EXPECT_EQ(std::tie(homes.captions[0], homes.captions[1], homes.captions[2]),
              std::tie(homes.labels[0], homes.labels[1], homes.labels[2]));

    // The bytes a first run saves: the presenter's tests, through the window.

    // A second start from the same directory leaves "Main" alone.
    WriteBytes(settings, "[ZIV SOUND]\nMain=/old/zivsound\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings), "[ZIV SOUND]\nMain=/old/zivsound\n");

    // Started elsewhere: the settings file is read and "Main" brought up
    // to date.
    WriteBytes(settings, "[ZIV SOUND]\nMain=/old/zivsound\nX=-1200\nPort=COM2\n");
    RunIn(elsewhere.Path());
    LoadStationSettings(ini, homes);
    EXPECT_EQ(homes.left, -1200);
    EXPECT_EQ(homes.port, "COM2");
    EXPECT_EQ(ini.ReadString(kStationSection, "Main", ""), exe);
    EXPECT_FALSE(std::filesystem::exists(elsewhere / "ZIVSound.ini"));

    // A "ZIVSound.ini" in the working directory only: nothing is written,
    // every home takes its default.
    std::filesystem::remove(settings);
    WriteBytes(elsewhere / "ZIVSound.ini", "[ZIV SOUND]\nX=5\n");
    LoadStationSettings(ini, homes);
    EXPECT_FALSE(std::filesystem::exists(settings));
    EXPECT_EQ(homes.left, 100);

    // "Main" cannot be written: every home is left alone.
    RunIn(program.Path());
    FakeStationHomes untouched;
    ConfigureStationIni(ini, program / "gone/ZIVSound.ini");
    EXPECT_EQ(ErrorText<EIniFileError>([&] { LoadStationSettings(ini, untouched); }),
              "Unable to write to " + program / "gone/ZIVSound.ini");
    EXPECT_EQ(untouched.Stored(), FakeStationHomes().Stored());
}

TEST_F(StationSettingsTest, SavedSettingsComeBackExactly) {
    // The radio pairs take the checks in the order read, as the window's do.
    WriteBytes(settings, "[ZIV SOUND]\nRTS=1\nDTR=1\nNorm=1\nInv=1\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(std::tie(homes.rts, homes.dtr, homes.norm, homes.inv),
              std::make_tuple(false, true, false, true));
    WriteBytes(settings, "[ZIV SOUND]\nPort=\nLabel1=\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(std::tie(homes.port, homes.labels[0], homes.captions[0]),
              std::make_tuple("", "", ""));

    homes.left = -1200;
    homes.top = -5;
    homes.port = "COM3";
    homes.paths[0] = "/home/ly1a/cq contest.wav";
    homes.paths[1] = "/home/ly1a/\xFF\xFE raw bytes.wav";  // not UTF-8, still a path
    homes.paths[2] = "";
    homes.labels[0] = " CQ Šiauliai ";  // typed, never copied to the button
    homes.labels[1] = "";
    homes.labels[2] = "Ačiū €";
    homes.SetRTSChecked(true);
    homes.SetInvChecked(true);
    int writes = 0;
    ini.SetWriteBytes([&](int fd, std::string_view bytes) {
        ++writes;
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    });
    SaveStationSettings(ini, homes);
    // Every key by one replace of the file: a save cut short by a full
    // disk cannot leave some keys new and others old.
    EXPECT_EQ(writes, 1);
    EXPECT_NE(ReadBytes(settings).find("Label3=A\xE8i\xFB \x80"), std::string::npos);

    FakeStationHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.Stored(), homes.Stored());
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(loaded.captions[n], homes.labels[n]);
}

TEST_F(StationSettingsTest, UnwritableValueIsReportedAfterEveryOtherKeyIsSaved) {
    WriteBytes(settings, "[ZIV SOUND]\nWave File2=/old.wav\nInv=0\n");
    LoadStationSettings(ini, homes);
    homes.left = 7;
    homes.port = "COM4";
    homes.paths[1] = "/home/ly1a/two\nlines.wav";  // a file name may hold a line break
    homes.labels[2] = "Ačiū";
    homes.SetInvChecked(true);
    EXPECT_TRUE(
        ErrorText<EIniFileError>([&] {
            SaveStationSettings(ini, homes);
        }).starts_with("Unable to write to " + settings + ": key \"Wave File2\" of section"));
    FakeStationHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.paths[1], "/old.wav");
    loaded.paths[1] = homes.paths[1];
    EXPECT_EQ(loaded.Stored(), homes.Stored());
}

TEST_F(StationSettingsTest, PortsSectionMapsNamesToDevices) {
    EXPECT_EQ(PortDevicePath(ini, "COM1"), "");  // no file
    WriteBytes(settings, "[ZIV SOUND]\nPort=COM1\n[Ports]\ncom1 = /dev/ttyUSB0\nCOM2=\n");
    EXPECT_EQ(PortDevicePath(ini, "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(ini, "COM2"), "");
    EXPECT_EQ(PortDevicePath(ini, "COM3"), "");
    EXPECT_EQ(PortDevicePath(ini, ""), "");
}

// Read as written, anything unreadable keys by the line or rigctld's
// usual port, with no time-out; a save keeps them.
TEST_F(StationSettingsTest, PttChoiceAndTimeoutAreReadAndKeptBySaves) {
    EXPECT_EQ(LoadPttChoice(ini).method, TPttMethod::SerialLine);
    WriteBytes(settings, "[ZIV SOUND]\nPTT Method=CAT\nRigctld Host=radio\nRigctld Port=4600\n");
    SaveStationSettings(ini, homes);
    const TPttChoice cat = LoadPttChoice(ini);
    EXPECT_EQ(cat.method, TPttMethod::Cat);
    EXPECT_EQ(cat.host, "radio");
    EXPECT_EQ(cat.port, 4600);
    WriteBytes(settings, "[ZIV SOUND]\nPTT Method=None\n");
    EXPECT_EQ(LoadPttChoice(ini).method, TPttMethod::None);
    WriteBytes(settings, "[ZIV SOUND]\nPTT Method=VOX\nRigctld Port=70000\n");
    EXPECT_EQ(LoadPttChoice(ini).method, TPttMethod::SerialLine);
    EXPECT_EQ(LoadPttChoice(ini).port, 4532);
    EXPECT_EQ(LoadTransmitTimeout(ini), 0);
    WriteBytes(settings, "[ZIV SOUND]\nTX Timeout=90\n");
    EXPECT_EQ(LoadTransmitTimeout(ini), 90);
    WriteBytes(settings, "[ZIV SOUND]\nTX Timeout=601\n");
    EXPECT_EQ(LoadTransmitTimeout(ini), 0);
}

}  // namespace
}  // namespace ziv::test
