#include "settings/settings_path.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "settings_test_support.h"

namespace ziv {
namespace {

namespace fs = std::filesystem;
using test::ErrorText;
using test::TempDir;
using test::WriteBytes;

const TEnvironment kUser{{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "/home/op/cfg"}};
const std::string kUserFile = "/home/op/cfg/ZIVSound/ZIVSound.ini";

// A copy of the program laid out under a temporary root: the install
// prefix "usr" with its "bin", and a build folder.
class SettingsPathTest : public ::testing::Test {
protected:
    SettingsPathTest() {
        fs::create_directories(prefix + "/bin");
        fs::create_directories(build);
        WriteBytes(installed, "");
        WriteBytes(built, "");
    }

    TempDir root;
    const std::string prefix = root / "usr";
    const std::string installed = prefix + "/bin/ZIVSound";
    const std::string build = root / "build";
    const std::string built = build + "/ZIVSound";
};

TEST_F(SettingsPathTest, CopyInAWritableFolderKeepsItsFileBesideIt) {
    EXPECT_EQ(StationSettingsPath(built, prefix, kUser), build + "/ZIVSound.ini");
    // Wherever the user's folder would be, or if there is none.
    EXPECT_EQ(StationSettingsPath(built, prefix, {}), build + "/ZIVSound.ini");
    // No prefix: nothing counts as installed.
    EXPECT_EQ(StationSettingsPath(installed, "", kUser), prefix + "/bin/ZIVSound.ini");
}

TEST_F(SettingsPathTest, InstalledCopyKeepsOneFilePerUser) {
    // Its folder is writable here, as it is for root, and even a file
    // beside it is not read.
    WriteBytes(prefix + "/bin/ZIVSound.ini", "[ZIV SOUND]\n");
    EXPECT_EQ(StationSettingsPath(installed, prefix + "/", kUser), kUserFile);

    // An empty or relative XDG_CONFIG_HOME is not a place.
    const std::pair<TEnvironment, std::string> places[] = {
        {kUser, kUserFile},
        {{{"HOME", "/home/op"}}, "/home/op/.config/ZIVSound/ZIVSound.ini"},
        {{{"HOME", "/home/op/"}}, "/home/op/.config/ZIVSound/ZIVSound.ini"},
        {{{"HOME", "/root"}, {"XDG_CONFIG_HOME", ""}}, "/root/.config/ZIVSound/ZIVSound.ini"},
        {{{"HOME", "/root"}, {"XDG_CONFIG_HOME", "cfg"}}, "/root/.config/ZIVSound/ZIVSound.ini"},
        {{{"XDG_CONFIG_HOME", "/etc/op"}}, "/etc/op/ZIVSound/ZIVSound.ini"},
    };
    for (const auto& [environment, expected] : places) {
        EXPECT_EQ(StationSettingsPath(installed, prefix, environment), expected);
    }
    // Without a user's folder there is no place at all.
    for (const TEnvironment& environment :
         {TEnvironment{}, TEnvironment{{"HOME", ""}}, TEnvironment{{"HOME", "op"}},
          TEnvironment{{"HOME", ""}, {"XDG_CONFIG_HOME", "cfg"}}}) {
        EXPECT_EQ(ErrorText<ESettingsPathError>(
                      [&] { StationSettingsPath(installed, prefix, environment); }),
                  "cannot tell where the settings go: neither XDG_CONFIG_HOME nor HOME is set to "
                  "the user's folder");
    }
}

TEST_F(SettingsPathTest, SymbolicLinksAreResolvedBeforeTheComparison) {
    // The prefix reached through a link, as /bin is /usr/bin on many
    // systems; the program started through a link to the installed one.
    fs::create_directory_symlink(prefix, root / "linked-usr");
    fs::create_symlink(installed, root / "ziv");
    EXPECT_EQ(StationSettingsPath(installed, root / "linked-usr", kUser), kUserFile);
    EXPECT_EQ(StationSettingsPath(root / "ziv", prefix, kUser), kUserFile);
    EXPECT_EQ(StationSettingsPath(root / "linked-usr/bin/ZIVSound", prefix, kUser), kUserFile);

    // A link in the prefix's bin to a copy elsewhere runs that copy.
    fs::create_symlink(built, prefix + "/bin/ziv-built");
    EXPECT_EQ(StationSettingsPath(prefix + "/bin/ziv-built", prefix, kUser),
              build + "/ZIVSound.ini");
}

// Runs what() as a user other than root when the test runs as root, whom
// no folder's permissions stop; gives its result, or "error: ..." when it
// threw.
std::string AsUnprivilegedUser(const std::function<std::string()>& what) {
    auto guarded = [&what]() -> std::string {
        try {
            return what();
        } catch (const std::exception& e) {
            return std::string("error: ") + e.what();
        }
    };
    if (::geteuid() != 0)
        return guarded();
    int pipe[2];
    if (::pipe(pipe) != 0)
        return "error: pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const std::string result = guarded();
        const bool written =
            ::write(pipe[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        ::_exit(written ? 0 : 3);
    }
    ::close(pipe[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "error: the unprivileged run failed, status " + std::to_string(status);
    return result;
}

TEST_F(SettingsPathTest, CopyInAFolderItsUserCannotWrite) {
    // The other user must reach the folders, not write them.
    fs::permissions(root.Path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    ASSERT_EQ(::chmod(build.c_str(), 0555), 0);
    // Without a file beside it, its settings would be lost at every close.
    EXPECT_EQ(AsUnprivilegedUser([&] { return StationSettingsPath(built, "", kUser); }), kUserFile);
    // A file that is there is the one the station set up.
    WriteBytes(build + "/ZIVSound.ini", "[ZIV SOUND]\n");
    EXPECT_EQ(AsUnprivilegedUser([&] { return StationSettingsPath(built, "", kUser); }),
              build + "/ZIVSound.ini");
    ASSERT_EQ(::chmod(build.c_str(), 0755), 0);
}

TEST(SettingsFolderTest, CreatesTheMissingFoldersForTheUserAlone) {
    TempDir root;
    const std::string file = root / "home/.config/ZIVSound/ZIVSound.ini";
    fs::create_directory(root / "home");
    CreateSettingsFolder(file);
    for (const std::string& folder : {root / "home/.config", root / "home/.config/ZIVSound"}) {
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
        EXPECT_EQ(test::ModeOf(folder), 0700u) << folder;
    }
    // Again: nothing to do.
    CreateSettingsFolder(file);

    // A file where the folder, or one above it, should be.
    WriteBytes(root / "home/.config/Other", "");
    const std::string other = root / "home/.config/Other";
    EXPECT_EQ(ErrorText<ESettingsPathError>([&] { CreateSettingsFolder(other + "/ZIVSound.ini"); }),
              "cannot create the settings folder " + other + ": a file of that name is in the way");
    EXPECT_EQ(ErrorText<ESettingsPathError>(
                  [&] { CreateSettingsFolder(other + "/ZIVSound/ZIVSound.ini"); }),
              "cannot create the settings folder " + other + "/ZIVSound: Not a directory");
}

TEST(ProcessEnvironmentTest, HoldsTheVariablesOfTheProcess) {
    ASSERT_EQ(::setenv("ZIV_SETTINGS_PATH_TEST", "a=b", 1), 0);
    const TEnvironment environment = ProcessEnvironment();
    ::unsetenv("ZIV_SETTINGS_PATH_TEST");
    ASSERT_EQ(environment.count("ZIV_SETTINGS_PATH_TEST"), 1u);
    EXPECT_EQ(environment.at("ZIV_SETTINGS_PATH_TEST"), "a=b");
}

}  // namespace
}  // namespace ziv
