#include "settings/ini_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

#include <gtest/gtest.h>

#include "settings_test_support.h"

namespace ziv {
namespace {

using test::ErrorText;
using test::NewFileText;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(IniFileTest, IntegerTextRule) {
    // clang-format off
    const std::pair<const char*, std::int32_t> numbers[] = {
        {"100", 100}, {"  -7", -7}, {"+5", 5}, {"$64", 100}, {"x64", 100}, {"X64", 100},
        {"0x64", 100}, {"0X64", 100}, {"$ff", 255}, {"007", 7}, {"-0", 0},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"$FFFFFFFF", -1},
        {"0x80000000", INT_MIN}, {"$00000000FF", 255}};
    // clang-format on
    for (const auto& [text, expected] : numbers) {
        std::int32_t value = 12345;
        EXPECT_TRUE(ParseIniInteger(text, value)) << '"' << text << '"';
        EXPECT_EQ(value, expected) << '"' << text << '"';
    }
    for (const char* text :
         {"",    "   ",        "abc",         "12abc",      "-$5",
          "+x5", "2147483648", "-2147483649", "$100000000", "99999999999999999999",
          "+",   "-",          "$",           "x",          "0x",
          "- 5", "5 ",         "1.5",         "$G",         "true"}) {
        std::int32_t value = 12345;
        EXPECT_FALSE(ParseIniInteger(text, value)) << '"' << text << '"';
        EXPECT_EQ(value, 12345) << '"' << text << '"';
    }
}

TEST(IniFileTest, IntegersAndBooleansThroughTheFile) {
    // The value's blanks go first, then the rule applies; a Boolean is any
    // non-zero integer, and text that is none gives the default.
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    WriteBytes(ini.FileName(),
               "[S]\nminus=  -7\nhex=0x64\nempty=\nbad=12abc\n"
               "one=1\ntwo=2\nneg=-1\nzero=0\nword=true\n");
    EXPECT_EQ(ini.ReadInteger("S", "minus", 0), -7);
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 100);
    for (const char* key : {"empty", "bad", "missing"}) {
        EXPECT_EQ(ini.ReadInteger("S", key, 42), 42) << key;
    }
    for (const bool def : {false, true}) {
        for (const char* key : {"one", "two", "neg"}) {
            EXPECT_TRUE(ini.ReadBool("S", key, def)) << key;
        }
        EXPECT_FALSE(ini.ReadBool("S", "zero", def));
        for (const char* key : {"word", "empty"}) {
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
    EXPECT_EQ(ini.ReadString("ziv SOUND", "PORT", "none"), "COM2");
    EXPECT_EQ(ini.ReadString("Other", "Port", "none"), "none");
    // As on Windows, the first section of a name is the one in use.
    EXPECT_EQ(ini.ReadString("ZIV SOUND", "Label1", "none"), "none");
}

TEST(IniFileTest, WritesChangeOnlyTheirOwnLine) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    ini.WriteInteger("S", "X", -8);  // creates the file
    EXPECT_EQ(ReadBytes(ini.FileName()), NewFileText("[S]\nX=-8\n"));

    WriteBytes(ini.FileName(),
               "; operator's notes\r\n[ziv sound]\r\nPORT = COM1\r\nX=1\r\n\r\n"
               "[Unknown]\r\nkeep=\xE0\xFF me \r\n");
    ini.WriteString("ZIV SOUND", "Port", "COM3");  // in place, key spelling kept
    ini.WriteString("ZIV SOUND", "Y", "5");        // after the last entry of the section
    ini.WriteString("New", "k", "\xC1\xD0");       // new section at the end
    EXPECT_EQ(ReadBytes(ini.FileName()),
              "; operator's notes\r\n[ziv sound]\r\nPORT=COM3\r\nX=1\r\nY=5\r\n\r\n"
              "[Unknown]\r\nkeep=\xE0\xFF me \r\n[New]\r\nk=\xC1\xD0\r\n");

    // A last line without an ending gets one before anything is added;
    // a file whose lines end at CR alone gets new lines of the same kind.
    const std::pair<const char*, const char*> files[] = {
        {"[S]\nA=1", "[S]\nA=1\nB=2\n[T]\nC=3\n"},
        {"[S]\rA=1\r", "[S]\rA=1\rB=2\r[T]\rC=3\r"},
    };
    for (const auto& [before, after] : files) {
        WriteBytes(ini.FileName(), before);
        ini.WriteString("S", "B", "2");
        ini.WriteString("T", "C", "3");
        EXPECT_EQ(ReadBytes(ini.FileName()), after);
    }
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
    EXPECT_EQ(ReadBytes(ini.FileName()), NewFileText("[S]\nK=plain value\n"));

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
               "[S]\nlone=A\rB\ncrlf=one\r\ntwice=two\r\r\ncut=\"x\r\"\n"
               "spaced=  \" blanks \"  \nquoted=\"\"q\"\"\nquote=\"\nempty=\r"
               "tab=\tv\t\r\nhidden=h\rX=1\nlast=end\r");
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
}

TEST(IniFileTest, TextTheFileCannotGiveBackIsRefusedUntouched) {
    TempDir dir;
    TIniFile ini(dir / "t.ini");
    WriteBytes(ini.FileName(), "[S]\nK=old\n");
    const std::tuple<const char*, const char*, const char*> refused[] = {
        {"S", "K", "two\nlines"}, {"S", "K", "A\rB"}, {"S", "K", "A\r"}, {"S", "K", "\r[T]"},
        {"S", "a=b", "v"},        {"S]", "K", "v"},   {"S", "[K", "v"},  {"S", ";K", "v"},
        {"S", " ", "v"},          {"S\n", "K", "v"},
    };
    for (const auto& [section, key, value] : refused) {
        EXPECT_THROW(ini.WriteString(section, key, value), EIniFileError) << section << key;
    }
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\nK=old\n");
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
    const std::string why = " holds a line break or a misplaced \"=\", \"[\", \";\" or \"]\"";
    EXPECT_EQ(ErrorText<EIniFileError>([&] { batched.WriteBatch(mixed); }),
              "Unable to write to " + dir.Path() + "/batch.ini: key \"B\" of section \"S\"" + why +
                  "; key \"a=b\" of section \"S\"" + why);
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

// Every failure to replace the file leaves the old one whole and no
// temporary file beside it. (Read-only files and links: the system tests.)
TEST(IniFileTest, FailedReplaceKeepsTheOldFile) {
    TempDir dir;
    const std::string path = dir / "real.ini";
    const std::string old = "; mine\n[S]\nK=old\n";
    WriteBytes(path, old);
    TIniBatch batch;
    batch.WriteString("S", "K", "new");
    batch.WriteString("T", "M", "more");

    // The disk fills up half-way through the new content.
    TIniFile diskFull(path, [](int fd, std::string_view bytes) {
        (void)::write(fd, bytes.data(), static_cast<unsigned>(bytes.size() / 2));
        errno = ENOSPC;
        return false;
    });
    EXPECT_EQ(ErrorText<EIniFileError>([&] { diskFull.WriteBatch(batch); }),
              "Unable to write to " + path);
    EXPECT_EQ(ErrorText<EIniFileError>([&] { diskFull.WriteString("S", "K", "new"); }),
              "Unable to write to " + path);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(test::EntryCount(dir.Path()), 1);

    // The directory does not exist (this fails for root too).
    EXPECT_EQ(ErrorText<EIniFileError>(
                  [&] { TIniFile(dir / "no-such-dir/t.ini").WriteString("S", "K", "v"); }),
              "Unable to write to " + dir.Path() + "/no-such-dir/t.ini");

    TIniFile(path).WriteBatch(batch);
    EXPECT_EQ(ReadBytes(path), "; mine\n[S]\nK=new\n[T]\nM=more\n");
    EXPECT_EQ(test::EntryCount(dir.Path()), 1);
}

}  // namespace
}  // namespace ziv
