#include <io.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "fake_station_homes.h"
#include "settings/ansi_path_win32.h"
#include "settings/ini_ctrl.h"
#include "settings/ini_file.h"
#include "settings/settings_path.h"
#include "settings/settings_system.h"
#include "settings/station_settings.h"
#include "settings_test_support.h"

#include "base/windows_api.h"

// The Windows side of the settings, run for real under Wine.

namespace ziv {
namespace {

using test::EntryCount;
using test::ErrorText;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// A folder where no file can be created: Wine's drive Z: is the Unix root,
// and /proc takes no new files, not even from root. (On Windows without
// that drive the folder is missing, which refuses files as well.)
const std::string kRefusingFolder = "Z:/proc";

DWORD AttributesOf(const std::string& path) {
    return GetFileAttributesW(ToWidePath(path).c_str());
}

TEST(Win32SettingsTest, ExecutablePathAndLineEndings) {
    const std::string exe = ExecutablePath();
    EXPECT_TRUE(exe.ends_with("/settings_tests.exe")) << exe;
    EXPECT_EQ(exe.substr(1, 2), ":/") << exe;
    EXPECT_EQ(exe.find('\\'), std::string::npos) << exe;
    EXPECT_TRUE(IsExistingFile(exe));

    // A new file gets CRLF, as Windows' profile functions write; a file
    // with line endings of its own keeps them.
    TempDir dir;
    const std::pair<const char*, const char*> files[] = {
        {nullptr, "[S]\r\nK=v\r\n"},
        {"", "[S]\r\nK=v\r\n"},
        {"[S]", "[S]\r\nK=v\r\n"},
        {"[S]\nA=1\n", "[S]\nA=1\nK=v\n"},
        {"[S]\r\nA=1\r\n", "[S]\r\nA=1\r\nK=v\r\n"},
        {"[S]\rA=1\r", "[S]\rA=1\rK=v\r"},
    };
    for (const auto& [before, after] : files) {
        const std::string path = dir / "t.ini";
        std::filesystem::remove(path);
        if (before != nullptr) {
            WriteBytes(path, before);
        }
        TIniFile(path).WriteString("S", "K", "v");
        EXPECT_EQ(ReadBytes(path), after) << (before ? before : "no file");
    }
}

// The old content stays whole after every refused or failed write, and no
// temporary or backup file is left beside it.
TEST(Win32SettingsTest, ReplaceKeepsTheOldFileOnEveryFailure) {
    TempDir dir;
    const std::string path = dir / "ZIVSound.ini";
    const std::string old = "[S]\r\nK=old\r\n";
    WriteBytes(path, old);
    const auto refused = [&](TIniFile file) {
        return ErrorText<EIniFileError>([&] { file.WriteString("S", "K", "new"); });
    };
    const std::string unable = "Unable to write to " + path;

    ASSERT_TRUE(SetFileAttributesW(ToWidePath(path).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(refused(TIniFile(path)), unable);
    EXPECT_EQ(ReadBytes(path), old);
    ASSERT_TRUE(SetFileAttributesW(ToWidePath(path).c_str(), FILE_ATTRIBUTE_NORMAL));

    // Another program holds the file open without sharing it.
    const HANDLE held = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(refused(TIniFile(path)), unable);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(path), old);

    // The disk fills up half-way through the new content.
    EXPECT_EQ(refused(TIniFile(path,
                               [](int fd, std::string_view bytes) {
                                   (void)::write(fd, bytes.data(),
                                                 static_cast<unsigned>(bytes.size() / 2));
                                   errno = ENOSPC;
                                   return false;
                               })),
              unable);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(EntryCount(dir.Path()), 1);

    // A folder where the file should be.
    std::filesystem::create_directory(dir / "folder.ini");
    EXPECT_EQ(refused(TIniFile(dir / "folder.ini")), "Unable to write to " + dir / "folder.ini");

    TIniFile(path).WriteString("S", "K", "new");
    EXPECT_EQ(ReadBytes(path), "[S]\r\nK=new\r\n");
    EXPECT_EQ(EntryCount(dir.Path()), 2);
}

TEST(Win32SettingsTest, PathsTheCodePageCannotHoldOpenByTheirShortForm) {
    if (GetACP() == CP_UTF8) {
        GTEST_SKIP() << "the ANSI code page is UTF-8: every path has its place";
    }
    TempDir dir;
    // Cyrillic and Chinese: no single-byte code page holds both.
    const std::wstring folder = ToWidePath(dir.Path()) + L"\\\u0416\u4E2D";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const auto ansiFolder = ToAnsiPath(folder);
    ASSERT_TRUE(ansiFolder.has_value());
    EXPECT_EQ(ansiFolder->find('?'), std::string::npos) << *ansiFolder;
    EXPECT_NE(*ansiFolder, WithForwardSlashes(*ansiFolder)) << "separators stay as they are";

    // The settings code reads and replaces the file by that path.
    const std::string path = WithForwardSlashes(*ansiFolder) + "/ZIVSound.ini";
    TIniFile ini(path);
    ini.WriteString("S", "K", "v");
    ini.WriteString("S", "K", "w");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "w");
    EXPECT_TRUE(IsExistingFile(path));
    // A path that names nothing has no short form either.
    EXPECT_FALSE(ToAnsiPath(folder + L"\\\u0416.ini").has_value());

    EXPECT_EQ(ToWidePath("C:/a\\b/c"), L"C:\\a\\b\\c");
    EXPECT_EQ(WithForwardSlashes("C:\\a/b\\c"), "C:/a/b/c");
}

TEST(Win32SettingsTest, FolderThatRefusesFilesSendsTheFileToAppData) {
    const std::string appData = "C:/Users/op/AppData/Roaming/ZIVSound/ZIVSound.ini";
    const TEnvironment user{{"APPDATA", "C:\\Users\\op\\AppData\\Roaming"}};
    TempDir dir;
    // A folder that takes files keeps the file beside the program, and the
    // probe leaves nothing there.
    EXPECT_EQ(StationSettingsPath(dir / "ZIVSound.exe", "", user), dir / "ZIVSound.ini");
    EXPECT_EQ(EntryCount(dir.Path()), 0);
    // No install-prefix rule.
    EXPECT_EQ(StationSettingsPath(dir / "ZIVSound.exe", dir.Path(), user), dir / "ZIVSound.ini");

    ASSERT_NE(AttributesOf(kRefusingFolder), INVALID_FILE_ATTRIBUTES);
    const std::string refusing = kRefusingFolder + "/ZIVSound.exe";
    const std::pair<TEnvironment, std::string> places[] = {
        {user, appData},
        {{{"AppData", "c:/x/"}}, "c:/x/ZIVSound/ZIVSound.ini"},
        {{{"APPDATA", "\\\\server\\home"}}, "//server/home/ZIVSound/ZIVSound.ini"},
    };
    for (const auto& [environment, expected] : places) {
        EXPECT_EQ(StationSettingsPath(refusing, "", environment), expected);
    }
    EXPECT_EQ(StationSettingsPath("", "", user), appData);
    for (const TEnvironment& environment :
         {TEnvironment{}, TEnvironment{{"APPDATA", ""}}, TEnvironment{{"APPDATA", "Roaming"}},
          TEnvironment{{"APPDATA", "C:Roaming"}}}) {
        EXPECT_EQ(
            ErrorText<ESettingsPathError>([&] { StationSettingsPath(refusing, "", environment); }),
            "cannot tell where the settings go: APPDATA is not set to the user's folder");
    }

    // A file already beside a copy in such a folder is the station's.
    TSettingsPlaceRules rules = SystemSettingsPlace();
    rules.canCreateFilesIn = [](const std::string&) { return false; };
    EXPECT_EQ(ChooseSettingsPath(dir / "ZIVSound.exe", "", user, rules), appData);
    WriteBytes(dir / "ZIVSound.ini", "");
    EXPECT_EQ(ChooseSettingsPath(dir / "ZIVSound.exe", "", user, rules), dir / "ZIVSound.ini");

    // The process's own environment names the user's folder; this test's
    // folder takes files.
    const std::string exe = ExecutablePath();
    EXPECT_EQ(StationSettingsPath(exe, "", ProcessEnvironment()),
              exe.substr(0, exe.rfind('/')) + "/ZIVSound.ini");
}

TEST(Win32SettingsTest, SettingsFolderIsCreatedWithTheMissingOnesAbove) {
    TempDir dir;
    const std::string file = dir / "Roaming/ZIVSound/ZIVSound.ini";
    CreateSettingsFolder(file);
    CreateSettingsFolder(file);  // again: nothing to do
    EXPECT_NE(AttributesOf(dir / "Roaming/ZIVSound") & FILE_ATTRIBUTE_DIRECTORY, 0u);

    WriteBytes(dir / "Other", "");
    for (const std::string& path : {dir / "Other/ZIVSound.ini", dir / "Other/ZIVSound/x.ini"}) {
        EXPECT_EQ(ErrorText<ESettingsPathError>([&] { CreateSettingsFolder(path); }),
                  "cannot create the settings folder " + dir / "Other" +
                      ": a file of that name is in the way");
    }
}

// A copy in a folder that takes no files, as under Program Files: the
// station saved at one close is the station of the next start, from
// %APPDATA%, which the start created.
TEST(Win32SettingsTest, CopyInARefusingFolderKeepsItsStationInAppData) {
    TempDir dir;
    const std::string exe = kRefusingFolder + "/ZIVSound.exe";
    const TEnvironment environment{{"APPDATA", dir / "Roaming"}};
    auto start = [&](TLMDIniCtrl& ini, test::FakeStationHomes& homes) {
        const std::string path = StationSettingsPath(exe, "", environment);
        CreateSettingsFolder(path);
        ConfigureStationIni(ini, path);
        ini.SetProgramPath(exe);
        LoadStationSettings(ini, homes);
    };
    TLMDIniCtrl first;
    test::FakeStationHomes before;
    start(first, before);
    before.left = -40;
    before.port = "COM2";
    before.paths[1] = "C:\\Sounds\\qrz.wav";
    before.labels[1] = "ĮRAŠAS";
    before.SetDTRChecked(true);
    SaveStationSettings(first, before);

    TLMDIniCtrl second;
    test::FakeStationHomes after;
    start(second, after);
    EXPECT_EQ(after.Stored(), before.Stored());
    const std::string file = dir / "Roaming/ZIVSound/ZIVSound.ini";
    EXPECT_EQ(second.FileName(), file);
    EXPECT_EQ(second.ReadString(kStationSection, "Main", ""), exe);
    EXPECT_NE(ReadBytes(file).find("\r\nLabel2=\xC1RA\xD0"
                                   "AS\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace ziv
