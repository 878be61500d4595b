#include "settings/station_settings.h"

#include <unistd.h>

#include <filesystem>
#include <tuple>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace ziv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The homes as plain values; the radio pairs behave as the window's do.
class FakeHomes : public TStationHomes {
public:
    int left = -1, top = -1;
    std::string port = "unset";
    std::string paths[3] = {"unset", "unset", "unset"};
    std::string labels[3] = {"unset", "unset", "unset"};
    std::string captions[3] = {"unset", "unset", "unset"};
    // The window definition checks RTS and Normal.
    bool rts = true, dtr = false, norm = true, inv = false;

    // Everything a save stores.
    auto Stored() const {
        return std::tie(left, top, port, paths[0], paths[1], paths[2], labels[0], labels[1],
                        labels[2], rts, dtr, norm, inv);
    }

    int Left() const override { return left; }
    void SetLeft(int value) override { left = value; }
    int Top() const override { return top; }
    void SetTop(int value) override { top = value; }
    std::string PortText() const override { return port; }
    void SetPortText(const std::string& value) override { port = value; }
    std::string SlotPath(int n) const override { return paths[n - 1]; }
    void SetSlotPath(int n, const std::string& value) override { paths[n - 1] = value; }
    std::string LabelText(int n) const override { return labels[n - 1]; }
    void SetLabelText(int n, const std::string& value) override { labels[n - 1] = value; }
    void SetPlayCaption(int n, const std::string& value) override { captions[n - 1] = value; }
    bool RTSChecked() const override { return rts; }
    void SetRTSChecked(bool value) override { Check(rts, dtr, value); }
    bool DTRChecked() const override { return dtr; }
    void SetDTRChecked(bool value) override { Check(dtr, rts, value); }
    bool NormChecked() const override { return norm; }
    void SetNormChecked(bool value) override { Check(norm, inv, value); }
    bool InvChecked() const override { return inv; }
    void SetInvChecked(bool value) override { Check(inv, norm, value); }

private:
    static void Check(bool& self, bool& partner, bool value) {
        self = value;
        if (value) {
            partner = false;
        }
    }
};

// The "executable" lies in program/, the program runs in a working
// directory of the test's choice.
class StationSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(::getcwd(savedCwd, sizeof savedCwd), nullptr);
        ConfigureStationIni(ini);
        ini.SetProgramPath(exe);
    }
    void TearDown() override { EXPECT_EQ(::chdir(savedCwd), 0); }
    void RunIn(const std::string& dir) { ASSERT_EQ(::chdir(dir.c_str()), 0); }

    TempDir program;
    TempDir elsewhere;
    const std::string exe = program / "zivsound";
    const std::string settings = program / "ZIVSound.ini";
    TLMDIniCtrl ini;
    FakeHomes homes;
    char savedCwd[4096] = {};
};

TEST_F(StationSettingsTest, FirstRunLoadsDefaultsAndSavesEveryKeyInOrder) {
    RunIn(program.Path());
    LoadStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings), "[ZIV SOUND]\nMain=" + exe + "\n");

    EXPECT_EQ(homes.left, 100);
    EXPECT_EQ(homes.top, 100);
    EXPECT_EQ(homes.port, "0");
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(homes.paths[n], "");
        EXPECT_EQ(homes.labels[n], std::to_string(n + 1) + " ĮRAŠAS");
        EXPECT_EQ(homes.captions[n], homes.labels[n]);
    }
    EXPECT_FALSE(homes.rts);  // the default clears the window's checked RTS
    EXPECT_FALSE(homes.dtr);
    EXPECT_TRUE(homes.norm);
    EXPECT_FALSE(homes.inv);

    SaveStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings),
              "[ZIV SOUND]\nMain=" + exe +
                  "\nX=100\nY=100\nPort=0\nWave File1=\nWave File2=\nWave File3=\n"
                  "Label1=1 \xC1RA\xD0"
                  "AS\nLabel2=2 \xC1RA\xD0"
                  "AS\nLabel3=3 \xC1RA\xD0"
                  "AS\n"
                  "RTS=0\nDTR=0\nNorm=1\nInv=0\n");

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
    WriteBytes(settings, "[ZIV SOUND]\nRTS=1\nDTR=1\nNorm=1\nInv=1\n");
    LoadStationSettings(ini, homes);
    EXPECT_FALSE(homes.rts);
    EXPECT_TRUE(homes.dtr);
    EXPECT_FALSE(homes.norm);
    EXPECT_TRUE(homes.inv);

    WriteBytes(settings, "[ZIV SOUND]\nRTS=0\nDTR=0\nNorm=0\nInv=0\n");
    LoadStationSettings(ini, homes);
    EXPECT_FALSE(homes.rts || homes.dtr || homes.norm || homes.inv);
}

TEST_F(StationSettingsTest, SavedSettingsComeBackExactly) {
    RunIn(program.Path());
    WriteBytes(settings, "[ZIV SOUND]\nPort=\nLabel1=\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(homes.port, "");
    EXPECT_EQ(homes.labels[0], "");
    EXPECT_EQ(homes.captions[0], "");

    homes.left = -1200;
    homes.top = -5;
    homes.port = "COM3";
    homes.paths[0] = "/home/ly1a/cq contest.wav";
    homes.paths[1] = "/home/ly1a/\xFF\xFE raw bytes.wav";  // not UTF-8, still a path
    homes.paths[2] = "";
    homes.labels[0] = " CQ Šiauliai ";  // typed, never copied to the button
    homes.labels[1] = "";
    homes.labels[2] = "Ačiū €";
    homes.rts = false;
    homes.dtr = true;
    homes.norm = false;
    homes.inv = true;
    const FakeHomes saved = homes;
    SaveStationSettings(ini, homes);
    EXPECT_NE(ReadBytes(settings).find("Label3=A\xE8i\xFB \x80\n"), std::string::npos);
    EXPECT_NE(ReadBytes(settings).find("X=-1200\n"), std::string::npos);

    FakeHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.Stored(), saved.Stored());
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(loaded.captions[n], saved.labels[n]);
    }
}

TEST_F(StationSettingsTest, FailedMainWriteLeavesEveryHomeAlone) {
    RunIn(elsewhere.Path());
    ini.SetProgramPath(program / "gone/zivsound");
    try {
        LoadStationSettings(ini, homes);
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write to " + program.Path() + "/gone/ZIVSound.ini");
    }
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
