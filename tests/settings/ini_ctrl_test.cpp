#include "settings/ini_ctrl.h"

#include <gtest/gtest.h>

#include "settings_test_support.h"

namespace ziv {
namespace {

using test::NewFileText;
using test::ReadBytes;
using test::TempDir;

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
    EXPECT_EQ(ReadBytes(dir / "t.ini"), NewFileText("[Common]\nA=1\n[ZIV SOUND]\nB=2\nC=3\n"));

    // In a batch each entry's blank section is the latest one at its turn.
    TIniBatch batch;
    batch.WriteString("  ", "D", "4");
    batch.WriteInteger("Other", "E", 5);
    batch.WriteBool("", "F", true);
    ini.WriteBatch(batch);
    EXPECT_EQ(ReadBytes(dir / "t.ini"),
              NewFileText("[Common]\nA=1\n[ZIV SOUND]\nB=2\nC=3\nD=4\n[Other]\nE=5\nF=1\n"));
    EXPECT_EQ(ini.LatestSection(), "Other");

    // A failed write still moves the latest section on.
    ini.SetIniFile(dir / "missing/t.ini");
    EXPECT_THROW(ini.WriteInteger("Failed", "X", 1), EIniFileError);
    EXPECT_EQ(ini.LatestSection(), "Failed");
}

}  // namespace
}  // namespace ziv
