#include "settings/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace ziv {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniFileTest, IntegerAndBooleanTextRule) {
    struct Case {
        const char* text;
        bool parses;
        std::int32_t value;
    };
    const Case cases[] = {
        {"100", true, 100},
        {"  -7", true, -7},
        {"+5", true, 5},
        {"$64", true, 100},
        {"x64", true, 100},
        {"X64", true, 100},
        {"0x64", true, 100},
        {"0X64", true, 100},
        {"$ff", true, 255},
        {"007", true, 7},
        {"-0", true, 0},
        {"0", true, 0},
        {"2147483647", true, INT_MAX},
        {"-2147483648", true, INT_MIN},
        {"$FFFFFFFF", true, -1},
        {"0x80000000", true, INT_MIN},
        {"$00000000FF", true, 255},
        {"", false, 0},
        {"   ", false, 0},
        {"abc", false, 0},
        {"12abc", false, 0},
        {"-$5", false, 0},
        {"+x5", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$100000000", false, 0},
        {"99999999999999999999", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"x", false, 0},
        {"0x", false, 0},
        {"- 5", false, 0},
        {"5 ", false, 0},
        {"1.5", false, 0},
        {"$G", false, 0},
        {"true", false, 0},
    };
    for (const Case& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(ParseIniInteger(c.text, value), c.parses) << '"' << c.text << '"';
        EXPECT_EQ(value, c.parses ? c.value : 12345) << '"' << c.text << '"';
    }

    // Through a file: the value's blanks go first, then the rule applies;
    // a Boolean is any non-zero integer.
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    WriteBytes(ini.FileName(),
               "[S]\nminus=  -7\nhex=0x64\nempty=\nbad=12abc\n"
               "one=1\ntwo=2\nneg=-1\nzero=0\nword=true\nyes=yes\n");
    EXPECT_EQ(ini.ReadInteger("S", "minus", 0), -7);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 100);
    EXPECT_EQ(ini.ReadInteger("S", "empty", 42), 42);
    EXPECT_EQ(ini.ReadInteger("S", "bad", 42), 42);
    EXPECT_EQ(ini.ReadInteger("S", "missing", 42), 42);
    for (const bool def : {false, true}) {
        for (const char* key : {"one", "two", "neg"}) {
            EXPECT_TRUE(ini.ReadBool("S", key, def)) << key;
        }
        EXPECT_FALSE(ini.ReadBool("S", "zero", def));
        for (const char* key : {"word", "yes", "empty"}) {
            EXPECT_EQ(ini.ReadBool("S", key, def), def) << key;
        }
    }
    EXPECT_EQ(ini.ReadString("S", "empty", "default"), "");
}

TEST(IniFileTest, ReadsMatchCaseInsensitivelyAndDropBlanks) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    EXPECT_EQ(ini.ReadString("ZIV SOUND", "Port", "none"), "none");  // no file yet
    WriteBytes(ini.FileName(),
               "port=COM9\n"  // before any section: belongs to none
               "[ziv sound]\r\n; Port=COM7\r\n  port =  COM2 \t\r\nPort=COM3\r\n"
               "[Other]\nX=1\n[ZIV SOUND]\nLabel1=second\n");
    EXPECT_EQ(ini.ReadString("ZIV SOUND", "Port", "none"), "COM2");
    EXPECT_EQ(ini.ReadString("ziv SOUND", "PORT", "none"), "COM2");
    EXPECT_EQ(ini.ReadString("Other", "Port", "none"), "none");
    // As on Windows, the first section of a name is the one in use.
    EXPECT_EQ(ini.ReadString("ZIV SOUND", "Label1", "none"), "none");
}

TEST(IniFileTest, WritesChangeOnlyTheirOwnLine) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");

    ini.WriteInteger("S", "X", -8);  // creates the file
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\nX=-8\n");

    const std::string before =
        "; operator's notes\r\n[ziv sound]\r\nPORT = COM1\r\nX=1\r\n\r\n"
        "[Unknown]\r\nkeep=\xE0\xFF me \r\n";
    WriteBytes(ini.FileName(), before);
    ini.WriteString("ZIV SOUND", "Port", "COM3");  // in place, key spelling kept
    ini.WriteString("ZIV SOUND", "Y", "5");        // after the last entry of the section
    ini.WriteString("New", "k", "\xC1\xD0");       // new section at the end
    EXPECT_EQ(ReadBytes(ini.FileName()),
              "; operator's notes\r\n[ziv sound]\r\nPORT=COM3\r\nX=1\r\nY=5\r\n\r\n"
              "[Unknown]\r\nkeep=\xE0\xFF me \r\n[New]\r\nk=\xC1\xD0\r\n");
    EXPECT_EQ(ini.ReadString("new", "K", ""), "\xC1\xD0");

    // A last line without an ending gets one before anything is added.
    WriteBytes(ini.FileName(), "[S]\nA=1");
    ini.WriteString("S", "B", "2");
    ini.WriteString("T", "C", "3");
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\nA=1\nB=2\n[T]\nC=3\n");
}

TEST(IniFileTest, ValuesComeBackAsWritten) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    const std::string values[] = {
        "",          " leading", "trailing\t",      "\"quoted\"",   "\"",
        "a \"b\" c", "x=y;z",    "[not a section]", "\x01\x80\xFF", std::string(2047, 'v'),
    };
    for (const std::string& value : values) {
        ini.WriteString("S", "K", value);
        EXPECT_EQ(ini.ReadString("S", "K", "default"), value) << value;
    }
    // A plain value is stored as it is.
    ini.WriteString("S", "K", "plain value");
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\nK=plain value\n");

    // Longer values are cut, as the program's reads always have been.
    ini.WriteString("S", "K", std::string(2047, 'a') + "bcd");
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(2047, 'a'));
}

TEST(IniFileTest, FailedWriteReportsThePathAndKeepsTheOldFile) {
    TempDir dir;
    // The directory does not exist (this fails for root too).
    TIniFile missingDir(dir / "no-such-dir/ZIVSound.ini");
    try {
        missingDir.WriteString("S", "K", "v");
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write to " + dir.Path() + "/no-such-dir/ZIVSound.ini");
    }
    // The disk fills up half-way through the new content.
    const std::string path = dir / "t.ini";
    const std::string old = "; mine\n[S]\nK=old\n";
    WriteBytes(path, old);
    ::chmod(path.c_str(), 0640);
    TIniFile failing(path, [](int fd, std::string_view bytes) {
        (void)::write(fd, bytes.data(), bytes.size() / 2);
        errno = ENOSPC;
        return false;
    });
    EXPECT_THROW(failing.WriteString("S", "K", "new"), EIniFileError);
    EXPECT_EQ(ReadBytes(path), old);
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    // A successful write keeps the file's permissions.
    TIniFile(path).WriteString("S", "K", "new");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Text the file could not give back is refused before anything is written.
    EXPECT_THROW(TIniFile(path).WriteString("S", "K", "two\nlines"), EIniFileError);
    EXPECT_THROW(TIniFile(path).WriteString("S", "a=b", "v"), EIniFileError);
    EXPECT_THROW(TIniFile(path).WriteString("S]", "K", "v"), EIniFileError);
    EXPECT_EQ(ReadBytes(path), "; mine\n[S]\nK=new\n");

    // A file made read-only is not replaced behind the operator's back,
    // even by root.
    ::chmod(path.c_str(), 0444);
    try {
        TIniFile(path).WriteString("S", "K", "newer");
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadBytes(path), "; mine\n[S]\nK=new\n");
}

}  // namespace
}  // namespace ziv
