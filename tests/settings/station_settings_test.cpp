#include "settings/station_settings.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "fake_station_homes.h"
#include "settings_test_support.h"

namespace ziv {
namespace {

using test::ErrorText;
using test::FakeStationHomes;
using test::NewFileText;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The "executable" lies in program/, the program runs in a working
// directory of the test's choice.
class StationSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigureStationIni(ini);
        ini.SetProgramPath(exe);
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

TEST_F(StationSettingsTest, FirstRunLoadsDefaultsAndSavesEveryKeyInOrder) {
    RunIn(program.Path());
    LoadStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings), NewFileText("[ZIV SOUND]\nMain=" + exe + "\n"));

    // The default clears the window's checked RTS.
    EXPECT_EQ(homes.Stored(), std::make_tuple(100, 100, "0", "", "", "", "1 ĮRAŠAS", "2 ĮRAŠAS",
                                              "3 ĮRAŠAS", false, false, true, false));
    EXPECT_EQ(std::tie(homes.captions[0], homes.captions[1], homes.captions[2]),
              std::tie(homes.labels[0], homes.labels[1], homes.labels[2]));

    SaveStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings),
              NewFileText("[ZIV SOUND]\nMain=" + exe +
                          "\nX=100\nY=100\nPort=0\nWave File1=\nWave File2=\nWave File3=\n"
                          "Label1=1 \xC1RA\xD0"
                          "AS\nLabel2=2 \xC1RA\xD0"
                          "AS\nLabel3=3 \xC1RA\xD0"
                          "AS\n"
                          "RTS=0\nDTR=0\nNorm=1\nInv=0\n"));

    // A second start from the same directory leaves "Main" alone.
    WriteBytes(settings, "[ZIV SOUND]\nMain=/old/zivsound\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings), "[ZIV SOUND]\nMain=/old/zivsound\n");
}

TEST_F(StationSettingsTest, WorkingDirectoryDecidesOnlyTheMainEntry) {
    // Started elsewhere: the file beside the executable is read and "Main"
    // is brought up to date.
    WriteBytes(settings, "[ZIV SOUND]\nMain=/old/zivsound\nX=-1200\nPort=COM2\n");
    RunIn(elsewhere.Path());
    LoadStationSettings(ini, homes);
    EXPECT_EQ(homes.left, -1200);
    EXPECT_EQ(homes.port, "COM2");
    EXPECT_EQ(ini.ReadString(kStationSection, "Main", ""), exe);
    EXPECT_FALSE(test::Exists(elsewhere / "ZIVSound.ini"));

    // A "ZIVSound.ini" in the working directory only: nothing is written,
    // every home takes its default.
    std::filesystem::remove(settings);
    WriteBytes(elsewhere / "ZIVSound.ini", "[ZIV SOUND]\nX=5\n");
    LoadStationSettings(ini, homes);
    EXPECT_FALSE(test::Exists(settings));
    EXPECT_EQ(homes.left, 100);
}

TEST_F(StationSettingsTest, RadioPairsFollowTheReadOrder) {
    RunIn(program.Path());
    const std::pair<const char*, std::tuple<bool, bool, bool, bool>> files[] = {
        {"[ZIV SOUND]\nRTS=1\nDTR=1\nNorm=1\nInv=1\n", {false, true, false, true}},
        {"[ZIV SOUND]\nRTS=0\nDTR=0\nNorm=0\nInv=0\n", {false, false, false, false}},
    };
    for (const auto& [file, checks] : files) {
        WriteBytes(settings, file);
        LoadStationSettings(ini, homes);
        EXPECT_EQ(std::tie(homes.rts, homes.dtr, homes.norm, homes.inv), checks) << file;
    }
}

TEST_F(StationSettingsTest, SavedSettingsComeBackExactly) {
    RunIn(program.Path());
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
    homes.SetDTRChecked(true);
    homes.SetInvChecked(true);
    SaveStationSettings(ini, homes);
    EXPECT_NE(ReadBytes(settings).find("Label3=A\xE8i\xFB \x80\n"), std::string::npos);

    FakeStationHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.Stored(), homes.Stored());
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(loaded.captions[n], homes.labels[n]);
    }
}

TEST_F(StationSettingsTest, LabelWithALoneCarriageReturnSavesWithEveryKey) {
    RunIn(program.Path());
    WriteBytes(settings, "[ZIV SOUND]\nLabel2=A\rB\nLabel3=C\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(homes.labels[1], "A");
    EXPECT_EQ(homes.labels[2], "C");
    homes.SetDTRChecked(true);
    SaveStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings),
              "[ZIV SOUND]\nLabel2=A\rB\nLabel3=C\nX=100\nY=100\nPort=0\n"
              "Wave File1=\nWave File2=\nWave File3=\nLabel1=1 \xC1RA\xD0"
              "AS\nRTS=0\nDTR=1\nNorm=1\nInv=0\n");

    FakeStationHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.Stored(), homes.Stored());
}

TEST_F(StationSettingsTest, UnwritableValueIsReportedAfterEveryOtherKeyIsSaved) {
    RunIn(program.Path());
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

// Every key goes by one replace of the file: a save cut short by a full
// disk cannot leave some keys new and others old.
TEST_F(StationSettingsTest, SaveReplacesTheFileOnceOrNotAtAll) {
    RunIn(program.Path());
    const std::string old = "[ZIV SOUND]\r\nMain=/old/zivsound\r\nX=1\r\n";
    WriteBytes(settings, old);
    LoadStationSettings(ini, homes);
    homes.left = -1200;

    int writes = 0;
    ini.SetWriteBytes([&](int fd, std::string_view bytes) {
        ++writes;
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    });
    SaveStationSettings(ini, homes);
    EXPECT_EQ(writes, 1);
    EXPECT_NE(ReadBytes(settings).find("X=-1200\r\n"), std::string::npos);

    WriteBytes(settings, old);
    ini.SetWriteBytes([](int, std::string_view) {
        errno = ENOSPC;
        return false;
    });
    EXPECT_EQ(ErrorText<EIniFileError>([&] { SaveStationSettings(ini, homes); }),
              "Unable to write to " + settings);
    EXPECT_EQ(ReadBytes(settings), old);
    EXPECT_EQ(test::EntryCount(program.Path()), 1);
}

TEST_F(StationSettingsTest, FailedMainWriteLeavesEveryHomeAlone) {
    RunIn(elsewhere.Path());
    ini.SetProgramPath(program / "gone/zivsound");
    EXPECT_EQ(ErrorText<EIniFileError>([&] { LoadStationSettings(ini, homes); }),
              "Unable to write to " + program.Path() + "/gone/ZIVSound.ini");
    EXPECT_EQ(homes.left, -1);
    EXPECT_EQ(homes.port, "unset");
    EXPECT_TRUE(homes.rts);
}

TEST_F(StationSettingsTest, PortsSectionMapsNamesToDevices) {
    EXPECT_EQ(PortDevicePath(ini, "COM1"), "");  // no file
    WriteBytes(settings, "[ZIV SOUND]\nPort=COM1\n[Ports]\ncom1 = /dev/ttyUSB0\nCOM2=\n");
    EXPECT_EQ(PortDevicePath(ini, "COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(ini, "COM2"), "");
    EXPECT_EQ(PortDevicePath(ini, "COM3"), "");
    EXPECT_EQ(PortDevicePath(ini, ""), "");
}

}  // namespace
}  // namespace ziv
