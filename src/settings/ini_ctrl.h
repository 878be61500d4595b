#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "settings/ini_file.h"

namespace ziv {

// The directory the settings file lies in.
enum TLMDPathPrefix { ppWindows, ppSystem, ppProgram, ppFixed };

// Storage target. There is no registry here, so every target stores in
// the INI file.
enum TLMDIniTarget { itIniFile, itRegistry, itAuto };

// Typed access to the settings file by section and key. Every operation
// works out the file's path anew, opens the file, performs one read or
// one write and lets go of it again: nothing is cached, each read sees
// the file as it is now, and each write has reached the file (synced) when
// it returns. Reads never fail; a failed write raises EIniFileError
// "Unable to write to <full path>". A batch of writes is one write: one
// replace of the file, with the outcomes of TIniFile::WriteBatch.
class TLMDIniCtrl {
public:
    TLMDIniCtrl() = default;

    // File name of the settings file. A name without an extension gets
    // ".INI"; any other name is kept as given. Left empty, the first
    // operation sets it, for good, to the executable's path with its
    // extension replaced by ".INI".
    const std::string& IniFile() const { return FIniFile; }
    void SetIniFile(const std::string& value);

    // ppProgram: the executable's directory, whatever the working directory
    // is; ppFixed: IniFile as it stands. ppWindows and ppSystem, which
    // the program does not use, stand on POSIX for the user's configuration
    // directory ($XDG_CONFIG_HOME or ~/.config) and /etc, on Windows for
    // the Windows and the system folder. Except with ppFixed only the
    // file-name part of IniFile counts.
    TLMDPathPrefix IniPrefix() const { return FIniPrefix; }
    void SetIniPrefix(TLMDPathPrefix value) { FIniPrefix = value; }

    TLMDIniTarget Target() const { return FTarget; }
    void SetTarget(TLMDIniTarget value) { FTarget = value; }

    // Section names are used as passed in. (Per-user section naming does
    // not exist here, so false behaves as true.)
    bool Common() const { return FCommon; }
    void SetCommon(bool value) { FCommon = value; }

    // Full path of the running executable, ExecutablePath() unless set.
    // Tests set it to place the "executable" in a temporary directory.
    std::string ProgramPath() const;
    void SetProgramPath(std::string value) { FProgramPath = std::move(value); }

    // Replaces the byte writer of every later write (a test seam).
    void SetWriteBytes(TWriteBytes value) { FWriteBytes = std::move(value); }

    // The full path the next operation uses.
    std::string FileName();

    // The section name of the latest operation; empty before the first.
    const std::string& LatestSection() const { return FLatestSection; }

    // A blank section name (empty or only blanks) stands for the section of
    // the latest operation, or "Common" before the first one.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue);
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t defaultValue);
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue);
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // Blank sections are mapped entry by entry, in order, as if each entry
    // were its own write.
    void WriteBatch(const TIniBatch& batch);

private:
    std::string MapSection(const std::string& section);
    TIniFile OpenFile() { return TIniFile(FileName(), FWriteBytes); }

    std::string FIniFile;
    TLMDPathPrefix FIniPrefix = ppWindows;
    TLMDIniTarget FTarget = itAuto;
    bool FCommon = true;
    std::optional<std::string> FProgramPath;
    TWriteBytes FWriteBytes;
    std::string FLatestSection;
};

// Full path of the running executable, or empty when the system cannot
// tell: /proc/self/exe on Linux; on Windows GetModuleFileNameW's path in
// the ANSI code page with "/" between its parts, as every settings path
// is held there (ansi_path_win32.h).
std::string ExecutablePath();

}  // namespace ziv
