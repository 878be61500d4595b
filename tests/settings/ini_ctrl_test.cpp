#include "settings/ini_ctrl.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace ziv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniCtrlTest, FileNameAssignmentAndResolution) {
    TLMDIniCtrl ini;
    EXPECT_EQ(ini.IniPrefix(), ppWindows);
    EXPECT_EQ(ini.Target(), itAuto);
    EXPECT_TRUE(ini.Common());

    ini.SetIniFile("ZIVSound.ini");
    EXPECT_EQ(ini.IniFile(), "ZIVSound.ini");
    ini.SetIniFile("ZIVSound");
    EXPECT_EQ(ini.IniFile(), "ZIVSound.INI");
    ini.SetIniFile("conf.d/settings");  // a dot in the directory is no extension
    EXPECT_EQ(ini.IniFile(), "conf.d/settings.INI");

    ini.SetProgramPath("/opt/ziv sound/bin/zivsound");
    ini.SetIniPrefix(ppProgram);
    ini.SetIniFile("/elsewhere/ZIVSound.ini");  // only the file name counts
    EXPECT_EQ(ini.FileName(), "/opt/ziv sound/bin/ZIVSound.ini");
    ini.SetIniPrefix(ppFixed);
    EXPECT_EQ(ini.FileName(), "/elsewhere/ZIVSound.ini");

    // No name: the executable's, with ".INI" for its extension, kept for good.
    TLMDIniCtrl unnamed;
    unnamed.SetIniPrefix(ppProgram);
    unnamed.SetProgramPath("/opt/ziv/ziv.bin");
    EXPECT_EQ(unnamed.FileName(), "/opt/ziv/ziv.INI");
    unnamed.SetProgramPath("/usr/bin/other");
    EXPECT_EQ(unnamed.IniFile(), "/opt/ziv/ziv.INI");
    EXPECT_EQ(unnamed.FileName(), "/usr/bin/ziv.INI");

    // Without a test override, the running executable decides.
    const std::string exe = ExecutablePath();
    EXPECT_EQ(exe.front(), '/');
    EXPECT_TRUE(exe.ends_with("/settings_tests")) << exe;
}

TEST(IniCtrlTest, OperationsUseTheFileBesideTheExecutable) {
    TempDir program;
    TempDir work;
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(work.Path().c_str()), 0);

    TLMDIniCtrl ini;
    ini.SetIniFile("ZIVSound.ini");
    ini.SetIniPrefix(ppProgram);
    ini.SetProgramPath(program / "zivsound");
    EXPECT_EQ(ini.ReadInteger("ZIV SOUND", "X", 100), 100);
    EXPECT_FALSE(test::Exists(program / "ZIVSound.ini"));

    ini.WriteBool("ZIV SOUND", "RTS", true);
    EXPECT_EQ(ReadBytes(program / "ZIVSound.ini"), "[ZIV SOUND]\nRTS=1\n");
    EXPECT_FALSE(test::Exists(work / "ZIVSound.ini"));
    EXPECT_TRUE(ini.ReadBool("ZIV SOUND", "RTS", false));

    // Every operation reads the file as it is now.
    WriteBytes(program / "ZIVSound.ini", "[ZIV SOUND]\nRTS=0\n");
    EXPECT_FALSE(ini.ReadBool("ZIV SOUND", "RTS", true));

    ASSERT_EQ(::chdir(cwd), 0);
}

TEST(IniCtrlTest, BlankSectionMeansTheLatestOne) {
    TempDir dir;
    TLMDIniCtrl ini;
    ini.SetIniPrefix(ppFixed);
    ini.SetIniFile(dir / "t.ini");

    EXPECT_EQ(ini.LatestSection(), "");
    ini.WriteString("", "A", "1");
    EXPECT_EQ(ini.LatestSection(), "Common");
    ini.WriteString("ZIV SOUND", "B", "2");
    ini.WriteString("  ", "C", "3");
    EXPECT_EQ(ini.ReadString("", "B", ""), "2");
    EXPECT_EQ(ReadBytes(dir / "t.ini"), "[Common]\nA=1\n[ZIV SOUND]\nB=2\nC=3\n");

    // A failed write still moves the latest section on.
    ini.SetIniFile(dir / "missing/t.ini");
    EXPECT_THROW(ini.WriteInteger("Failed", "X", 1), EIniFileError);
    EXPECT_EQ(ini.LatestSection(), "Failed");
}

}  // namespace
}  // namespace ziv
