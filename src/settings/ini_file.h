#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "settings/file_replace.h"

namespace ziv {

// A settings write that did not reach the file. The file is left as it was.
class EIniFileError : public std::runtime_error {
public:
    explicit EIniFileError(const std::string& message) : std::runtime_error(message) {}
};

// The integer text rule of the settings file: after leading blanks, either
// an optional sign and decimal digits within the signed 32-bit range, or,
// without a sign, "$", "x", "X", "0x" or "0X" and hexadecimal digits within
// 32 bits (0x80000000 and up are negative). Nothing may follow the digits.
// Returns false, leaving value alone, for any other text.
bool ParseIniInteger(std::string_view text, std::int32_t& value);

// Writes gathered to be stored together, in the order given, by one
// replace of the file (TIniFile::WriteBatch, TLMDIniCtrl::WriteBatch). A
// later entry for the same key wins, as with separate writes. Integers and
// Booleans take the text TCustomIniFile writes for them.
class TIniBatch {
public:
    struct TEntry {
        std::string section;
        std::string key;
        std::string value;
    };

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    const std::vector<TEntry>& Entries() const { return FEntries; }

private:
    std::vector<TEntry> FEntries;
};

// A file object addressed by section and key. Only the two string
// operations touch storage; the integer and Boolean ones are built on them
// so that they read and write the same text for any store.
class TCustomIniFile {
public:
    explicit TCustomIniFile(std::string fileName) : FFileName(std::move(fileName)) {}
    virtual ~TCustomIniFile() = default;

    const std::string& FileName() const { return FFileName; }

    virtual std::string ReadString(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // The default when the text is missing or breaks the integer text rule.
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& key,
                                     std::int32_t defaultValue);
    // Signed decimal: "-8", "0", "100".
    virtual void WriteInteger(const std::string& section, const std::string& key,
                              std::int32_t value);
    // Any integer other than 0 is true.
    virtual bool ReadBool(const std::string& section, const std::string& key, bool defaultValue);
    // "1" or "0".
    virtual void WriteBool(const std::string& section, const std::string& key, bool value);

private:
    std::string FFileName;
};

// The private-profile text file: "[section]" header lines and "key=value"
// entry lines, sections and keys matched without regard to ASCII letter
// case, bytes passed through unchanged.
//
// A line ends at "\r\n", at "\n" or at a lone "\r". So no value a read
// returns holds a CR or an LF, every such value can be written back (a
// read, a write of what it gave and a read again give the same value), and
// writes can refuse every CR and LF: a written value never starts a line,
// key or section, neither for this reader nor for one that ends lines at
// CR only or LF only. A stray CR inside what was meant as one line
// ("Label2=A\rB") therefore reads as "A", and "B" is a line of its own
// (not an entry, as it has no "="), kept as it is by later writes.
//
// Reads never fail: a missing or unreadable file, section or key gives the
// default. A read value loses the blanks around it and is cut to 2047
// bytes. A value that begins and ends with a double quote loses that pair,
// which lets values with leading or trailing blanks round-trip: such a
// value is written inside quotes, every other value exactly as given.
//
// A write replaces an existing value in place, adds a missing key after
// the last entry of its section and a missing section at the end of the
// file; every other line keeps its bytes, including its line ending. New
// lines take the file's line ending (that of its first line), or in a
// file without one NewFileLineEnding(): "\n", "\r\n" on Windows. The
// whole new content goes to a temporary file in the same directory, is
// synced, and is renamed over the old file, which keeps its permissions:
// a failure at any point leaves the old file as it was and raises
// EIniFileError "Unable to write to <path>".
class TIniFile final : public TCustomIniFile {
public:
    explicit TIniFile(std::string fileName, TWriteBytes writeBytes = {});

    // The longest value a read returns.
    static constexpr std::size_t MaxValueLength = 2047;

    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) override;
    // Section, key and value must not hold line breaks, and the key must be
    // non-blank without "=" and must not begin with "[" or ";": the file could
    // not give such an entry back, so the write is refused with
    // EIniFileError and the file is not touched.
    void WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override;
    // Stores every entry of the batch with one replace of the file: the file
    // is read once, each entry goes in as WriteString would put it, in
    // order, and the new content is written, synced and renamed once, so
    // the file holds all of them or, after a failure, its old content.
    //
    // An entry WriteString would refuse is left out and does not keep the
    // others from the file; once they are stored, EIniFileError "Unable to
    // write to <path>: key "K" of section "S" holds ..." names every entry
    // left out, "; " between them. A failure to replace the file stores
    // nothing and raises the plain "Unable to write to <path>". Without an
    // entry to store, the file is not touched.
    void WriteBatch(const TIniBatch& batch);

private:
    TWriteBytes FWriteBytes;
};

}  // namespace ziv
