#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "settings/ini_file.h"
#include "settings/settings_path.h"
#include "settings/settings_system.h"
#include "settings_test_support.h"

#ifdef _WIN32
#include "base/windows_api.h"
#include "settings/ansi_path_win32.h"
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#endif

// The system's part of the settings, one contract for both systems: the
// POSIX files in the Linux tests, the Win32 ones under Wine.

namespace ziv::test {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kExeName[] = "/settings_tests.exe";
const TEnvironment kUser{{"APPDATA", "C:\\Users\\op\\AppData\\Roaming"}};
const std::string kUserFile = "C:/Users/op/AppData/Roaming/ZIVSound/ZIVSound.ini";
// Names match without regard to case; a network folder is a folder.
const std::pair<TEnvironment, std::string> kUserPlaces[] = {
    {{{"AppData", "c:/x/"}}, "c:/x/ZIVSound/ZIVSound.ini"},
    {{{"APPDATA", "\\\\server\\home"}}, "//server/home/ZIVSound/ZIVSound.ini"},
};
const TEnvironment kNoUserPlace[] = {
    {}, {{"APPDATA", ""}}, {{"APPDATA", "Roaming"}}, {{"APPDATA", "C:Roaming"}}};
const std::string kNoUserPlaceError =
    "cannot tell where the settings go: APPDATA is not set to the user's folder";

// Wine's drive Z: is the Unix root, and /proc takes no new files, not even
// from root: a folder such as Program Files, where a copy's settings go to
// the user's folder.
struct TPerUserCopy {
    explicit TPerUserCopy(const TempDir&) {}
    const std::string exe = "Z:/proc/ZIVSound.exe";
    const std::string prefix;
};
#else
constexpr char kExeName[] = "/settings_tests";
const TEnvironment kUser{{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/home/op/cfg"}};
const std::string kUserFile = "/home/op/cfg/ZIVSound/ZIVSound.ini";
// An empty or relative XDG_CONFIG_HOME is not a place.
const std::pair<TEnvironment, std::string> kUserPlaces[] = {
    {{{"HOME", "/home/op/"}}, "/home/op/.config/ZIVSound/ZIVSound.ini"},
    {{{"HOME", "/root"}, {"XDG_CONFIG_HOME", ""}}, "/root/.config/ZIVSound/ZIVSound.ini"},
    {{{"HOME", "/root"}, {"XDG_CONFIG_HOME", "cfg"}}, "/root/.config/ZIVSound/ZIVSound.ini"},
    {{{"XDG_CONFIG_HOME", "/etc/op"}}, "/etc/op/ZIVSound/ZIVSound.ini"},
};
const TEnvironment kNoUserPlace[] = {
    {}, {{"HOME", ""}}, {{"HOME", "op"}}, {{"HOME", ""}, {"XDG_CONFIG_HOME", "cfg"}}};
const std::string kNoUserPlaceError =
    "cannot tell where the settings go: neither XDG_CONFIG_HOME nor HOME is set to the user's "
    "folder";

// An installed copy, its bin folder writable as it is for root.
struct TPerUserCopy {
    explicit TPerUserCopy(const TempDir& root) : prefix(root / "usr") {
        fs::create_directories(prefix + "/bin");
        WriteBytes(exe, "");
    }
    const std::string prefix;
    const std::string exe = prefix + "/bin/ZIVSound";
};
#endif

// The old content stays whole after every refused replace, and no
// temporary file is left beside it. (A write that fails part-way: the
// settings file tests.)
TEST(SettingsSystemTest, ReplaceRefusesWhatMayNotBeReplaced) {
    TempDir dir;
    const std::string path = dir / "ZIVSound.ini";
    const std::string old = "[S]\nK=old\n";
    WriteBytes(path, old);
    const auto refused = [](const std::string& file) {
        return ErrorText<EIniFileError>([&] { TIniFile(file).WriteString("S", "K", "new"); });
    };

    // Made read-only to freeze the settings, even against root.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(refused(path), "Unable to write to " + path);
    EXPECT_EQ(ReadBytes(path), old);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    fs::create_directory(dir / "folder.ini");
    EXPECT_EQ(refused(dir / "folder.ini"), "Unable to write to " + dir / "folder.ini");
    fs::remove(dir / "folder.ini");

#ifdef _WIN32
    // Another program holds the file open without sharing it.
    const HANDLE held = CreateFileW(ToWidePath(path).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(refused(path), "Unable to write to " + path);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(path), old);
    TIniFile(path).WriteString("S", "K", "new");
#else
    // Through a link: the file it points at is refused, or replaced with
    // its mode kept, and the link stays a link.
    const std::string link = dir / "link.ini";
    ASSERT_EQ(::symlink("ZIVSound.ini", link.c_str()), 0);
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(refused(link), "Unable to write to " + link);
    ::chmod(path.c_str(), 0640);
    TIniFile(link).WriteString("S", "K", "new");
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0, 0640u);
    fs::remove(link);
#endif
    EXPECT_EQ(ReadBytes(path), "[S]\nK=new\n");
    EXPECT_EQ(EntryCount(dir.Path()), 1);
}

TEST(SettingsSystemTest, SettingsGoBesideTheCopyOrToTheUsersFolder) {
    TempDir dir;
    // A folder that takes files keeps the file beside the program, whether
    // or not the user has a folder; the look leaves nothing there.
    EXPECT_EQ(StationSettingsPath(dir / "ZIVSound", "", kUser), dir / "ZIVSound.ini");
    EXPECT_EQ(StationSettingsPath(dir / "ZIVSound", "", {}), dir / "ZIVSound.ini");
    EXPECT_EQ(EntryCount(dir.Path()), 0);
    // The process's own path and environment too; this test's folder takes files.
    const std::string exe = ExecutablePath();
    EXPECT_TRUE(exe.ends_with(kExeName) && IsExistingFile(exe)) << exe;
    EXPECT_FALSE(IsExistingFile(exe.substr(0, exe.rfind('/'))));
#ifdef _WIN32
    EXPECT_TRUE(exe.substr(1, 2) == ":/" && exe.find('\\') == std::string::npos) << exe;
    SetEnvironmentVariableA("ZIV_SETTINGS_SYSTEM_TEST", "a=b");
#else
    EXPECT_EQ(exe.front(), '/') << exe;
    ::setenv("ZIV_SETTINGS_SYSTEM_TEST", "a=b", 1);
#endif
    EXPECT_EQ(ProcessEnvironment()["ZIV_SETTINGS_SYSTEM_TEST"], "a=b");
    EXPECT_EQ(StationSettingsPath(exe, "", ProcessEnvironment()),
              exe.substr(0, exe.rfind('/')) + "/ZIVSound.ini");

    const TPerUserCopy copy(dir);
    EXPECT_EQ(StationSettingsPath(copy.exe, copy.prefix, kUser), kUserFile);
    EXPECT_EQ(StationSettingsPath("", "", kUser), kUserFile);
    for (const auto& [environment, expected] : kUserPlaces) {
        EXPECT_EQ(StationSettingsPath(copy.exe, copy.prefix, environment), expected);
    }
    for (const TEnvironment& environment : kNoUserPlace) {
        EXPECT_EQ(ErrorText<ESettingsPathError>(
                      [&] { StationSettingsPath(copy.exe, copy.prefix, environment); }),
                  kNoUserPlaceError);
    }

    // A file already beside a copy in a folder the user cannot write is the
    // station's.
    TSettingsPlaceRules rules = SystemSettingsPlace();
    rules.canCreateFilesIn = [](const std::string&) { return false; };
    EXPECT_EQ(ChooseSettingsPath(dir / "ZIVSound", "", kUser, rules), kUserFile);
    WriteBytes(dir / "ZIVSound.ini", "");
    EXPECT_EQ(ChooseSettingsPath(dir / "ZIVSound", "", kUser, rules), dir / "ZIVSound.ini");
}

TEST(SettingsSystemTest, SettingsFolderIsCreatedWithTheMissingOnesAbove) {
    TempDir dir;
    const std::string file = dir / "home/.config/ZIVSound/ZIVSound.ini";
    CreateSettingsFolder(file);
    CreateSettingsFolder(file);  // again: nothing to do
    EXPECT_TRUE(fs::is_directory(dir / "home/.config/ZIVSound"));
#ifndef _WIN32
    // The user's configuration is the user's alone.
    for (const std::string& folder : {dir / "home", dir / "home/.config/ZIVSound"}) {
        struct stat info {};
        EXPECT_EQ(::stat(folder.c_str(), &info) == 0 ? info.st_mode & 07777 : 0, 0700u) << folder;
    }
#endif

    const std::string other = dir / "Other";
    WriteBytes(other, "");
    EXPECT_EQ(ErrorText<ESettingsPathError>([&] { CreateSettingsFolder(other + "/ZIVSound.ini"); }),
              "cannot create the settings folder " + other + ": a file of that name is in the way");
    EXPECT_TRUE(ErrorText<ESettingsPathError>([&] {
                    CreateSettingsFolder(other + "/ZIVSound/x.ini");
                }).starts_with("cannot create the settings folder " + other))
        << "a file above the folder";
}

#ifdef _WIN32
TEST(SettingsSystemTest, PathsTheCodePageCannotHoldOpenByTheirShortForm) {
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

    const std::string path = WithForwardSlashes(*ansiFolder) + "/ZIVSound.ini";
    TIniFile ini(path);
    ini.WriteString("S", "K", "v");
    ini.WriteString("S", "K", "w");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "w");
    // A path that names nothing has no short form either.
    EXPECT_FALSE(ToAnsiPath(folder + L"\\\u0416.ini").has_value());
}
#else
// Whether check() holds for a user other than root, whom no folder's
// permissions stop, when the test runs as root.
bool HoldsForAnUnprivilegedUser(const std::function<bool()>& check) {
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SettingsSystemTest, InstalledCopyIsFoundThroughLinksAndUnwritableFoldersAreSeen) {
    TempDir root;
    const TPerUserCopy installed(root);
    const std::string build = root / "build";
    fs::create_directories(build);
    WriteBytes(build + "/ZIVSound", "");
    // The prefix reached through a link, as /bin is /usr/bin on many
    // systems; the program started through a link to the installed one.
    fs::create_directory_symlink(installed.prefix, root / "linked-usr");
    fs::create_symlink(installed.exe, root / "ziv");
    EXPECT_EQ(StationSettingsPath(installed.exe, root / "linked-usr", kUser), kUserFile);
    EXPECT_EQ(StationSettingsPath(root / "ziv", installed.prefix, kUser), kUserFile);
    // Even a file beside the installed copy is not read; with no prefix
    // nothing counts as installed.
    WriteBytes(installed.prefix + "/bin/ZIVSound.ini", "");
    EXPECT_EQ(StationSettingsPath(root / "linked-usr/bin/ZIVSound", installed.prefix, kUser),
              kUserFile);
    EXPECT_EQ(StationSettingsPath(installed.exe, "", kUser),
              installed.prefix + "/bin/ZIVSound.ini");
    // A link in the prefix's bin to a copy elsewhere runs that copy.
    fs::create_symlink(build + "/ZIVSound", installed.prefix + "/bin/ziv-built");
    EXPECT_EQ(StationSettingsPath(installed.prefix + "/bin/ziv-built", installed.prefix, kUser),
              build + "/ZIVSound.ini");

    // A folder its user cannot write would lose every setting; the other
    // user must reach the folders, not write them.
    fs::permissions(root.Path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    ASSERT_EQ(::chmod(build.c_str(), 0555), 0);
    const auto goesTo = [&](const std::string& expected) {
        return HoldsForAnUnprivilegedUser(
            [&] { return StationSettingsPath(build + "/ZIVSound", "", kUser) == expected; });
    };
    EXPECT_TRUE(goesTo(kUserFile));
    WriteBytes(build + "/ZIVSound.ini", "");
    EXPECT_TRUE(goesTo(build + "/ZIVSound.ini"));
    ASSERT_EQ(::chmod(build.c_str(), 0755), 0);
}
#endif

}  // namespace
}  // namespace ziv::test
