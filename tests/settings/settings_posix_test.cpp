#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fake_station_homes.h"
#include "settings/ini_ctrl.h"
#include "settings/ini_file.h"
#include "settings/settings_path.h"
#include "settings/station_settings.h"
#include "settings_test_support.h"

// What only a POSIX system has: links, modes, /proc and the install prefix.

namespace ziv {
namespace {

using test::ErrorText;
using test::FakeStationHomes;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(PosixSettingsTest, ExecutablePathIsTheRunningProgram) {
    const std::string exe = ExecutablePath();
    EXPECT_EQ(exe.front(), '/');
    EXPECT_TRUE(exe.ends_with("/settings_tests")) << exe;
    // A new file is written with LF.
    TempDir dir;
    TIniFile(dir / "t.ini").WriteString("S", "K", "v");
    EXPECT_EQ(ReadBytes(dir / "t.ini"), "[S]\nK=v\n");
}

// A failed replace leaves the old file whole through a link too; a
// read-only file is refused; a replace keeps the mode of the file the
// link points at.
TEST(PosixSettingsTest, ReplaceThroughALinkKeepsTheModeAndHonoursReadOnly) {
    TempDir dir;
    const std::string path = dir / "real.ini";
    const std::string link = dir / "link.ini";
    const std::string old = "; mine\n[S]\nK=old\n";
    WriteBytes(path, old);
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
    TIniBatch batch;
    batch.WriteString("S", "K", "new");
    batch.WriteString("T", "M", "more");

    TIniFile diskFull(link, [](int fd, std::string_view bytes) {
        (void)::write(fd, bytes.data(), bytes.size() / 2);
        errno = ENOSPC;
        return false;
    });
    EXPECT_EQ(ErrorText<EIniFileError>([&] { diskFull.WriteBatch(batch); }),
              "Unable to write to " + link);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(test::EntryCount(dir.Path()), 2);

    // A file made read-only is not replaced behind the operator's back,
    // even by root.
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(ErrorText<EIniFileError>([&] { TIniFile(path).WriteString("S", "K", "new"); }),
              "Unable to write to " + path);
    EXPECT_THROW(TIniFile(link).WriteBatch(batch), EIniFileError);
    EXPECT_EQ(ReadBytes(path), old);

    ::chmod(path.c_str(), 0640);
    TIniFile(link).WriteBatch(batch);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path), "; mine\n[S]\nK=new\n[T]\nM=more\n");
    EXPECT_EQ(test::ModeOf(path), 0640u);
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

    auto start = [&](TLMDIniCtrl& ini, FakeStationHomes& homes) {
        const std::string path = StationSettingsPath(exe, prefix, environment);
        CreateSettingsFolder(path);
        ConfigureStationIni(ini, path);
        ini.SetProgramPath(exe);
        LoadStationSettings(ini, homes);
    };
    TLMDIniCtrl first;
    FakeStationHomes before;
    start(first, before);
    before.left = -40;
    before.port = "COM2";
    before.paths[1] = "/home/op/qrz.wav";
    before.labels[1] = "ĮRAŠAS";
    before.SetDTRChecked(true);
    SaveStationSettings(first, before);

    const std::string file = root / "home/.config/ZIVSound/ZIVSound.ini";
    WriteBytes(file, ReadBytes(file) + "[Ports]\nCOM2=/dev/ttyUSB1\n");
    TLMDIniCtrl second;
    FakeStationHomes after;
    start(second, after);
    EXPECT_EQ(after.Stored(), before.Stored());
    EXPECT_EQ(second.FileName(), file);
    EXPECT_EQ(second.ReadString(kStationSection, "Main", ""), exe);
    EXPECT_EQ(PortDevicePath(second, "COM2"), "/dev/ttyUSB1");
    EXPECT_FALSE(test::Exists(prefix + "/bin/ZIVSound.ini"));
    EXPECT_FALSE(test::Exists(root / "ZIVSound.ini"));
    EXPECT_EQ(::chdir(savedCwd), 0);
}

}  // namespace
}  // namespace ziv
