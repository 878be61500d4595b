#include "settings/ini_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "settings_test_support.h"

namespace ziv::test {
namespace {

// A settings file of the test's own, not there until written.
struct IniFileTest : ::testing::Test {
    TempDir dir;
    TIniFile ini{dir / "t.ini"};
};

// The program reads X, Y and the four line choices as integers.
TEST_F(IniFileTest, IntegerTextRuleAndTypedReads) {
    // clang-format off
    const std::pair<const char*, std::optional<std::int32_t>> texts[] = {
        {"100", 100}, {"  -7", -7}, {"+5", 5}, {"$64", 100}, {"x64", 100}, {"X64", 100},
        {"0x64", 100}, {"0X64", 100}, {"$ff", 255}, {"007", 7}, {"-0", 0},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"$FFFFFFFF", -1},
        {"0x80000000", INT_MIN}, {"$00000000FF", 255}, {"", {}}, {"   ", {}}, {"abc", {}},
        {"12abc", {}}, {"-$5", {}}, {"+x5", {}}, {"2147483648", {}}, {"-2147483649", {}},
        {"$100000000", {}}, {"99999999999999999999", {}}, {"+", {}}, {"-", {}}, {"$", {}},
        {"0x", {}}, {"- 5", {}}, {"5 ", {}}, {"1.5", {}}, {"$G", {}}, {"+-5", {}}, {"true", {}}};
    // clang-format on
    for (const auto& [text, expected] : texts) {
        std::int32_t value = 12345;
        EXPECT_EQ(ParseIniInteger(text, value), expected.has_value()) << '"' << text << '"';
        EXPECT_EQ(value, expected.value_or(12345)) << '"' << text << '"';
    }

    // Through the file: the value's blanks go first; a Boolean is any
    // non-zero integer; text that is none gives the default.
    WriteBytes(ini.FileName(), "[S]\nminus=  -7 \nbad=12abc\nempty=\ntwo=2\nzero=0\n");
    EXPECT_EQ(ini.ReadInteger("S", "minus", 0), -7);
    for (const char* key : {"empty", "bad", "missing"}) {
        EXPECT_EQ(ini.ReadInteger("S", key, 42), 42) << key;
        EXPECT_TRUE(ini.ReadBool("S", key, true)) << key;
        EXPECT_FALSE(ini.ReadBool("S", key, false)) << key;
    }
    EXPECT_TRUE(ini.ReadBool("S", "two", false));
    EXPECT_TRUE(ini.ReadBool("S", "minus", false));
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
}

TEST_F(IniFileTest, ReadsMatchCaseInsensitivelyAndDropBlanks) {
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

TEST_F(IniFileTest, WritesChangeOnlyTheirOwnLine) {
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

// Whatever is written comes back (quoted where blanks or quotes would be
// lost), and whatever is read can be written back without changing a
// value or adding a line: a lone CR ends a line, so what follows it on the
// same physical line never belongs to the value.
TEST_F(IniFileTest, ValuesComeBackAsWrittenAndAsRead) {
    for (const std::string& value :
         {std::string(), std::string(" leading"), std::string("trailing\t"),
          std::string("\"quoted\""), std::string("\""), std::string("a \"b\" c"),
          std::string("x=y;z"), std::string("[not a section]"), std::string("\x01\x80\xFF"),
          std::string(2047, 'v')}) {
        ini.WriteString("S", "K", value);
        EXPECT_EQ(ini.ReadString("S", "K", "default"), value) << value;
    }
    ini.WriteString("S", "K", "plain value");  // stored as it is
    EXPECT_EQ(ReadBytes(ini.FileName()), NewFileText("[S]\nK=plain value\n"));
    ini.WriteString("S", "K", std::string(2047, 'a') + "bcd");  // cut, as reads always were
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(2047, 'a'));

    const std::string bytes =
        "[S]\nlone=A\rB\ncrlf=one\r\ntwice=two\r\r\ncut=\"x\r\"\nspaced=  \" blanks \"  \n"
        "quoted=\"\"q\"\"\nquote=\"\nempty=\rtab=\tv\t\r\nhidden=h\rX=1\nlast=end\r";
    WriteBytes(ini.FileName(), bytes);
    const std::pair<const char*, const char*> read[] = {
        {"lone", "A"},          {"crlf", "one"},     {"twice", "two"}, {"cut", "\"x"},
        {"spaced", " blanks "}, {"quoted", "\"q\""}, {"quote", "\""},  {"empty", ""},
        {"tab", "v"},           {"hidden", "h"},     {"X", "1"},       {"last", "end"},
    };
    const auto breaks = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '\r') +
               std::count(text.begin(), text.end(), '\n');
    };
    for (const auto& [key, value] : read) {
        EXPECT_EQ(ini.ReadString("S", key, "default"), value) << key;
        ini.WriteString("S", key, value);
        for (const auto& [otherKey, otherValue] : read)
            EXPECT_EQ(ini.ReadString("S", otherKey, "default"), otherValue) << key << otherKey;
        EXPECT_EQ(breaks(ReadBytes(ini.FileName())), breaks(bytes)) << key;
    }
}

TEST_F(IniFileTest, TextTheFileCannotGiveBackIsRefusedUntouched) {
    WriteBytes(ini.FileName(), "[S]\nK=old\n");
    const std::tuple<const char*, const char*, const char*> refused[] = {
        {"S", "K", "two\nlines"}, {"S", "K", "A\rB"}, {"S", "K", "A\r"}, {"S", "K", "\r[T]"},
        {"S", "a=b", "v"},        {"S]", "K", "v"},   {"S", "[K", "v"},  {"S", ";K", "v"},
        {"S", " ", "v"},          {"S\n", "K", "v"},
    };
    for (const auto& [section, key, value] : refused)
        EXPECT_THROW(ini.WriteString(section, key, value), EIniFileError) << section << key;
    EXPECT_EQ(ReadBytes(ini.FileName()), "[S]\nK=old\n");
}

// A batch is one replace of the file with the bytes separate writes give.
// Any failure to replace it leaves the old file whole and no temporary
// file beside it. (Read-only files and links: the system tests.)
TEST_F(IniFileTest, BatchIsOneReplaceAndAFailedOneKeepsTheOldFile) {
    const std::string old = "; notes\r\n[s]\r\nB = old\r\n\r\n[Other]\r\nk=v\r\n";
    WriteBytes(dir / "single.ini", old);
    WriteBytes(dir / "batch.ini", old);
    TIniBatch batch;
    batch.WriteInteger("S", "A", -8);
    batch.WriteString("S", "B", " new ");
    batch.WriteBool("New", "C", true);
    batch.WriteString("S", "D", "\"q\"");
    batch.WriteString("S", "a", "again");  // the later entry wins
    TIniFile single(dir / "single.ini");
    for (const TIniBatch::TEntry& entry : batch.Entries())
        single.WriteString(entry.section, entry.key, entry.value);

    // The disk fills up half-way through the new content.
    TIniFile diskFull(dir / "batch.ini", [](int fd, std::string_view bytes) {
        (void)::write(fd, bytes.data(), static_cast<unsigned>(bytes.size() / 2));
        errno = ENOSPC;
        return false;
    });
    EXPECT_EQ(ErrorText<EIniFileError>([&] { diskFull.WriteBatch(batch); }),
              "Unable to write to " + dir / "batch.ini");
    EXPECT_EQ(ErrorText<EIniFileError>([&] { diskFull.WriteString("S", "K", "new"); }),
              "Unable to write to " + dir / "batch.ini");
    EXPECT_EQ(ReadBytes(dir / "batch.ini"), old);
    EXPECT_EQ(EntryCount(dir.Path()), 2);
    EXPECT_EQ(ErrorText<EIniFileError>(
                  [&] { TIniFile(dir / "no-such-dir/t.ini").WriteString("S", "K", "v"); }),
              "Unable to write to " + dir / "no-such-dir/t.ini");

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
    EXPECT_EQ(EntryCount(dir.Path()), 2);
}

}  // namespace
}  // namespace ziv::test
