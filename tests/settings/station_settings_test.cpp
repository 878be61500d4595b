#include "settings/station_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <tuple>

#include <gtest/gtest.h>

#include "settings/settings_path.h"
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

TEST_F(StationSettingsTest, LabelWithALoneCarriageReturnSavesWithEveryKey) {
    RunIn(program.Path());
    WriteBytes(settings, "[ZIV SOUND]\nLabel2=A\rB\nLabel3=C\n");
    LoadStationSettings(ini, homes);
    EXPECT_EQ(homes.labels[1], "A");
    EXPECT_EQ(homes.labels[2], "C");
    homes.dtr = true;
    homes.inv = true;
    homes.rts = homes.norm = false;
    const FakeHomes saved = homes;
    SaveStationSettings(ini, homes);
    EXPECT_EQ(ReadBytes(settings),
              "[ZIV SOUND]\nLabel2=A\rB\nLabel3=C\nX=100\nY=100\nPort=0\n"
              "Wave File1=\nWave File2=\nWave File3=\nLabel1=1 \xC1RA\xD0"
              "AS\nRTS=0\nDTR=1\nNorm=0\nInv=1\n");

    FakeHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.Stored(), saved.Stored());
}

TEST_F(StationSettingsTest, UnwritableValueIsReportedAfterEveryOtherKeyIsSaved) {
    RunIn(program.Path());
    WriteBytes(settings, "[ZIV SOUND]\nWave File2=/old.wav\nInv=0\n");
    LoadStationSettings(ini, homes);
    homes.left = 7;
    homes.port = "COM4";
    homes.paths[1] = "/home/ly1a/two\nlines.wav";  // a file name may hold a line break
    homes.labels[2] = "Ačiū";
    homes.inv = true;
    homes.norm = false;
    try {
        SaveStationSettings(ini, homes);
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Unable to write to " + settings +
                                                      ": key \"Wave File2\" of section"))
            << e.what();
    }
    FakeHomes loaded;
    LoadStationSettings(ini, loaded);
    EXPECT_EQ(loaded.paths[1], "/old.wav");
    loaded.paths[1] = homes.paths[1];
    EXPECT_EQ(loaded.Stored(), homes.Stored());
}

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
    EXPECT_NE(ReadBytes(settings).find("Inv=0\r\n"), std::string::npos);

    // The disk has room for a few more bytes only: the first keys would fit,
    // the whole save does not, and the old file stays as it was.
    WriteBytes(settings, old);
    ini.SetWriteBytes([&](int fd, std::string_view bytes) {
        if (bytes.size() <= old.size() + 10) {
            return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        }
        (void)::write(fd, bytes.data(), old.size() + 10);
        errno = ENOSPC;
        return false;
    });
    try {
        SaveStationSettings(ini, homes);
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + settings);
    }
    EXPECT_EQ(ReadBytes(settings), old);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(program.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
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

// An installed copy, with its bin folder writable as it is for root: the
// station saved at one close is the station of the next start, from the
// user's folder, which the start created, and from no file beside the
// program.
TEST(InstalledStationSettingsTest, SavedAtCloseComeBackAtTheNextStart) {
    TempDir root;
    const std::string prefix = root / "usr";
    const std::string exe = prefix + "/bin/ZIVSound";
    std::filesystem::create_directories(prefix + "/bin");
    std::filesystem::create_directories(root / "home");
    WriteBytes(exe, "");
    char savedCwd[4096] = {};
    ASSERT_NE(::getcwd(savedCwd, sizeof savedCwd), nullptr);
    ASSERT_EQ(::chdir(root.Path().c_str()), 0);
    const TEnvironment environment{{"HOME", root / "home"}};

    auto start = [&](TLMDIniCtrl& ini, FakeHomes& homes) {
        const std::string path = StationSettingsPath(exe, prefix, environment);
        CreateSettingsFolder(path);
        ConfigureStationIni(ini, path);
        ini.SetProgramPath(exe);
        LoadStationSettings(ini, homes);
    };
    TLMDIniCtrl first;
    FakeHomes before;
    start(first, before);
    before.left = -40;
    before.top = 30;
    before.port = "COM2";
    before.paths[1] = "/home/op/qrz.wav";
    before.labels[0] = "CQ TEST";
    before.labels[1] = "ĮRAŠAS";
    before.labels[2] = "";
    before.SetDTRChecked(true);
    before.SetInvChecked(true);
    SaveStationSettings(first, before);

    const std::string file = root / "home/.config/ZIVSound/ZIVSound.ini";
    WriteBytes(file, ReadBytes(file) + "[Ports]\nCOM2=/dev/ttyUSB1\n");
    TLMDIniCtrl second;
    FakeHomes after;
    start(second, after);
    EXPECT_EQ(after.Stored(), before.Stored());
    EXPECT_EQ(second.FileName(), file);
    EXPECT_EQ(second.ReadString(kStationSection, "Main", ""), exe);
    EXPECT_EQ(PortDevicePath(second, "COM2"), "/dev/ttyUSB1");
    EXPECT_FALSE(test::Exists(prefix + "/bin/ZIVSound.ini"));
    EXPECT_FALSE(test::Exists(root / "ZIVSound.ini"));
    struct stat info {};
    ASSERT_EQ(::stat((root / "home/.config/ZIVSound").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(::chdir(savedCwd), 0);
}

}  // namespace
}  // namespace ziv
