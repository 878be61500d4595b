#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

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

TEST(IniFileTest, EveryValueReadCanBeWrittenBack) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    // A lone CR ends a line, so whatever follows it on the same physical
    // line never belongs to the value.
    WriteBytes(ini.FileName(),
               "[S]\n"
               "lone=A\rB\n"
               "crlf=one\r\n"
               "twice=two\r\r\n"
               "cut=\"x\r\"\n"
               "spaced=  \" blanks \"  \n"
               "quoted=\"\"q\"\"\n"
               "quote=\"\n"
               "empty=\r"
               "tab=\tv\t\r\n"
               "hidden=h\rX=1\n"
               "last=end\r");
    const std::pair<const char*, const char*> expected[] = {
        {"lone", "A"},          {"crlf", "one"},     {"twice", "two"}, {"cut", "\"x"},
        {"spaced", " blanks "}, {"quoted", "\"q\""}, {"quote", "\""},  {"empty", ""},
        {"tab", "v"},           {"hidden", "h"},     {"X", "1"},       {"last", "end"},
    };
    const auto breaks = [&] {
        const std::string bytes = ReadBytes(ini.FileName());
        return std::count(bytes.begin(), bytes.end(), '\r') +
               std::count(bytes.begin(), bytes.end(), '\n');
    };
    const auto lineBreaks = breaks();
    for (const auto& [key, value] : expected) {
        const std::string read = ini.ReadString("S", key, "default");
        EXPECT_EQ(read, value) << key;
        ini.WriteString("S", key, read);
        // The write neither changed a value nor added a line.
        for (const auto& [otherKey, otherValue] : expected) {
            EXPECT_EQ(ini.ReadString("S", otherKey, "default"), otherValue) << key << otherKey;
        }
        EXPECT_EQ(breaks(), lineBreaks) << key;
    }

    // A value that would hold a CR is refused like any other line break.
    const std::string before = ReadBytes(ini.FileName());
    for (const char* value : {"A\rB", "A\r", "\r", "B\rX=2", "\r[T]"}) {
        EXPECT_THROW(ini.WriteString("S", "lone", value), EIniFileError);
    }
    EXPECT_EQ(ReadBytes(ini.FileName()), before);

    // A file whose lines end at CR alone gets new lines of the same kind.
    WriteBytes(ini.FileName(), "[S]\rK=1\r");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
    ini.WriteString("S", "L", "2");
    ini.WriteString("T", "M", "3");
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\rK=1\rL=2\r[T]\rM=3\r");
}

TEST(IniFileTest, BatchIsOneReplaceWithTheBytesOfSeparateWrites) {
    TempDir dir;
    const std::string before = "; notes\r\n[s]\r\nB = old\r\n\r\n[Other]\r\nk=v\r\n";
    WriteBytes(dir / "single.ini", before);
    WriteBytes(dir / "batch.ini", before);
    TIniBatch batch;
    batch.WriteInteger("S", "A", -8);
    batch.WriteString("S", "B", " new ");
    batch.WriteBool("New", "C", true);
    batch.WriteString("S", "D", "\"q\"");
    batch.WriteString("S", "a", "again");  // the later entry wins

    TIniFile single(dir / "single.ini");
    for (const TIniBatch::TEntry& entry : batch.Entries()) {
        single.WriteString(entry.section, entry.key, entry.value);
    }
    int writes = 0;
    TIniFile batched(dir / "batch.ini", [&](int fd, std::string_view bytes) {
        ++writes;
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    });
    batched.WriteBatch(batch);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(ReadBytes(dir / "batch.ini"),
              "; notes\r\n[s]\r\nB=\" new \"\r\nA=again\r\nD=\"\"q\"\"\r\n\r\n"
              "[Other]\r\nk=v\r\n[New]\r\nC=1\r\n");
    EXPECT_EQ(ReadBytes(dir / "batch.ini"), ReadBytes(dir / "single.ini"));

    // Entries the file could not give back are left out; the others are
    // stored by the same single replace before the error names the refused.
    TIniBatch mixed;
    mixed.WriteString("S", "A", "1");
    mixed.WriteString("S", "B", "two\nlines");
    mixed.WriteString("S", "a=b", "v");
    mixed.WriteString("S", "D", "4");
    writes = 0;
    try {
        batched.WriteBatch(mixed);
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        const std::string why = " holds a line break or a misplaced \"=\", \"[\", \";\" or \"]\"";
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.Path() +
                                             "/batch.ini: key \"B\" of section \"S\"" + why +
                                             "; key \"a=b\" of section \"S\"" + why);
    }
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(batched.ReadString("S", "A", ""), "1");
    EXPECT_EQ(batched.ReadString("S", "B", ""), " new ");
    EXPECT_EQ(batched.ReadString("S", "D", ""), "4");

    // With nothing left to store the file is not even created.
    TIniFile none(dir / "none.ini");
    TIniBatch refusedOnly;
    refusedOnly.WriteString("S", "K", "a\rb");
    EXPECT_THROW(none.WriteBatch(refusedOnly), EIniFileError);
    none.WriteBatch(TIniBatch());
    EXPECT_FALSE(test::Exists(none.FileName()));
}

TEST(IniFileTest, FailedBatchKeepsTheOldFileThroughItsLink) {
    TempDir dir;
    const std::string path = dir / "real.ini";
    const std::string link = dir / "link.ini";
    const std::string old = "; mine\n[S]\nK=old\n";
    WriteBytes(path, old);
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);
    TIniBatch batch;
    batch.WriteString("S", "K", "new");
    batch.WriteString("S", "L", "added");
    batch.WriteString("T", "M", "more");

    // The disk fills up half-way through the new content.
    TIniFile failing(link, [](int fd, std::string_view bytes) {
        (void)::write(fd, bytes.data(), bytes.size() / 2);
        errno = ENOSPC;
        return false;
    });
    try {
        failing.WriteBatch(batch);
        FAIL() << "no error";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + link);
    }
    EXPECT_EQ(ReadBytes(path), old);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2);  // no temporary file left behind

    // A read-only file is refused as a whole.
    ::chmod(path.c_str(), 0444);
    EXPECT_THROW(TIniFile(link).WriteBatch(batch), EIniFileError);
    EXPECT_EQ(ReadBytes(path), old);

    // A successful batch replaces the file the link points at and keeps its mode.
    ::chmod(path.c_str(), 0640);
    TIniFile(link).WriteBatch(batch);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(path), "; mine\n[S]\nK=new\nL=added\n[T]\nM=more\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
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
