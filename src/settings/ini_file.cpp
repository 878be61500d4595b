#include "settings/ini_file.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "settings/file_replace.h"

namespace ziv {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char FoldCase(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    a = TrimBlanks(a);
    b = TrimBlanks(b);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Whether the file could give the entry back as written.
bool Storable(const std::string& section, const std::string& key, const std::string& value) {
    const std::string_view trimmedKey = TrimBlanks(key);
    return !HasLineBreak(section) && section.find(']') == std::string::npos && !HasLineBreak(key) &&
           !trimmedKey.empty() && trimmedKey.front() != '[' && trimmedKey.front() != ';' &&
           key.find('=') == std::string::npos && !HasLineBreak(value);
}

std::string IntegerText(std::int32_t value) {
    return std::to_string(value);
}

std::string BoolText(bool value) {
    return value ? "1" : "0";
}

// One line of the file: its text without the line ending, and where it
// and its ending lie in the content.
struct TLine {
    std::size_t begin;
    std::size_t textEnd;  // where the line ending (if any) starts
    std::size_t end;      // past the line ending
    std::string_view text;
};

// The length of the line ending at pos: "\r\n", "\n" or a lone "\r".
std::size_t LineEndingLength(std::string_view content, std::size_t pos) {
    return content.substr(pos, 2) == "\r\n" ? 2 : 1;
}

// A lone CR ends a line too: a value holding one could not be written
// back without the writer letting line breaks through.
std::vector<TLine> SplitLines(std::string_view content) {
    std::vector<TLine> lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        const std::size_t textEnd = std::min(content.find_first_of("\r\n", begin), content.size());
        const std::size_t end =
            textEnd == content.size() ? textEnd : textEnd + LineEndingLength(content, textEnd);
        lines.push_back({begin, textEnd, end, content.substr(begin, textEnd - begin)});
        begin = end;
    }
    return lines;
}

// The name of a section header line, or nothing for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return line.substr(1, close - 1);
}

struct TEntry {
    std::string_view key;    // trimmed
    std::size_t valueStart;  // offset in the line of the text after "="
};

// The entry of a "key=value" line; comments (";") and other lines have none.
std::optional<TEntry> EntryOf(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') {
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return TEntry{TrimBlanks(line.substr(0, equals)), equals + 1};
}

// Where a key stands, or would go, in the content.
struct TPlace {
    const TLine* header = nullptr;     // the section's header, if present
    const TLine* lastEntry = nullptr;  // its last entry line, if any
    const TLine* entry = nullptr;      // the key's line, if present
};

TPlace Locate(const std::vector<TLine>& lines, std::string_view section, std::string_view key) {
    TPlace place;
    for (const TLine& line : lines) {
        if (const auto name = SectionName(line.text)) {
            if (place.header != nullptr) {
                break;  // the first section of the name is the one in use
            }
            if (SameName(*name, section)) {
                place.header = &line;
            }
            continue;
        }
        if (place.header == nullptr) {
            continue;
        }
        if (const auto entry = EntryOf(line.text)) {
            place.lastEntry = &line;
            if (place.entry == nullptr && SameName(entry->key, key)) {
                place.entry = &line;
            }
        }
    }
    return place;
}

// A file keeps the line ending it has, whoever wrote it; only a file
// without one takes the system's.
std::string_view LineEndingOf(std::string_view content) {
    const std::size_t pos = content.find_first_of("\r\n");
    if (pos == std::string_view::npos) {
        return NewFileLineEnding();
    }
    return content.substr(pos, LineEndingLength(content, pos));
}

// Values the reader would otherwise change (blanks at either end, or an
// enclosing pair of quotes) are stored inside quotes.
std::string StoredForm(const std::string& value) {
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || quoted)) {
        return '"' + value + '"';
    }
    return value;
}

std::string WithValue(const std::string& content, const std::string& section,
                      const std::string& key, const std::string& value) {
    const std::vector<TLine> lines = SplitLines(content);
    const TPlace place = Locate(lines, section, key);
    const std::string_view eol = LineEndingOf(content);
    const std::string stored = StoredForm(value);
    std::string result;
    if (place.entry != nullptr) {
        // The key keeps its spelling in the file; blanks around "=" go.
        const auto entry = EntryOf(place.entry->text);
        result = content.substr(0, place.entry->begin);
        result.append(entry->key).append("=").append(stored);
        result.append(content, place.entry->textEnd);
        return result;
    }
    if (place.header != nullptr) {
        const TLine* after = place.lastEntry != nullptr ? place.lastEntry : place.header;
        result = content.substr(0, after->end);
        if (after->end == after->textEnd) {
            result.append(eol);  // the last line had no ending
        }
        result.append(key).append("=").append(stored).append(eol);
        result.append(content, after->end);
        return result;
    }
    result = content;
    if (!result.empty() && result.back() != '\n' && result.back() != '\r') {
        result.append(eol);
    }
    result.append("[").append(section).append("]").append(eol);
    result.append(key).append("=").append(stored).append(eol);
    return result;
}

}  // namespace

bool ParseIniInteger(std::string_view text, std::int32_t& value) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    text.remove_prefix(pos);
    bool negative = false;
    bool hex = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    } else if (!text.empty() &&
               (text.front() == '$' || text.front() == 'x' || text.front() == 'X')) {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return false;
    }
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    std::uint64_t magnitude = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return false;
        }
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        if (magnitude > limit) {
            return false;
        }
    }
    if (hex) {
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    } else {
        value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                         : static_cast<std::int32_t>(magnitude);
    }
    return true;
}

std::int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key,
                                         std::int32_t defaultValue) {
    std::int32_t value = defaultValue;
    return ParseIniInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key,
                                  std::int32_t value) {
    WriteString(section, key, IntegerText(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key,
                              bool defaultValue) {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, BoolText(value));
}

void TIniBatch::WriteString(const std::string& section, const std::string& key,
                            const std::string& value) {
    FEntries.push_back({section, key, value});
}

void TIniBatch::WriteInteger(const std::string& section, const std::string& key,
                             std::int32_t value) {
    WriteString(section, key, IntegerText(value));
}

void TIniBatch::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, BoolText(value));
}

TIniFile::TIniFile(std::string fileName, TWriteBytes writeBytes)
    : TCustomIniFile(std::move(fileName)), FWriteBytes(std::move(writeBytes)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) {
    std::string result = defaultValue;
    std::string content;
    if (ReadWholeFile(FileName(), content) == TReadResult::Read) {
        const std::vector<TLine> lines = SplitLines(content);
        const TPlace place = Locate(lines, section, key);
        if (place.entry != nullptr) {
            std::string_view text = place.entry->text;
            text = TrimBlanks(text.substr(EntryOf(text)->valueStart));
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
                text = text.substr(1, text.size() - 2);
            }
            result = text;
        }
    }
    if (result.size() > MaxValueLength) {
        result.resize(MaxValueLength);
    }
    return result;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
    TIniBatch batch;
    batch.WriteString(section, key, value);
    WriteBatch(batch);
}

void TIniFile::WriteBatch(const TIniBatch& batch) {
    std::vector<const TIniBatch::TEntry*> stored;
    std::string refused;
    for (const TIniBatch::TEntry& entry : batch.Entries()) {
        if (Storable(entry.section, entry.key, entry.value)) {
            stored.push_back(&entry);
        } else {
            refused.append(refused.empty() ? ": " : "; ")
                .append("key \"" + entry.key + "\" of section \"" + entry.section +
                        "\" holds a line break or a misplaced \"=\", \"[\", \";\" or \"]\"");
        }
    }
    if (!stored.empty()) {
        std::string content;
        if (ReadWholeFile(FileName(), content) == TReadResult::Failed) {
            throw EIniFileError("Unable to write to " + FileName());
        }
        for (const TIniBatch::TEntry* entry : stored) {
            content = WithValue(content, entry->section, entry->key, entry->value);
        }
        if (!ReplaceFileContent(FileName(), content, FWriteBytes)) {
            throw EIniFileError("Unable to write to " + FileName());
        }
    }
    // Reported only now, so that one value the file cannot hold does not
    // cost the others their save.
    if (!refused.empty()) {
        throw EIniFileError("Unable to write to " + FileName() + refused);
    }
}

}  // namespace ziv
