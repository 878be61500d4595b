#include "settings/ini_ctrl.h"

#include <string_view>

#include "base/path_rules.h"
#include "settings/settings_system.h"

namespace ziv {

namespace {

bool IsBlankText(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > ' ') {
            return false;
        }
    }
    return true;
}

std::string PrefixDirectory(TLMDPathPrefix prefix, const std::string& programPath) {
    return prefix == ppProgram ? DirectoryPart(programPath) : PrefixFolder(prefix);
}

}  // namespace

void TLMDIniCtrl::SetIniFile(const std::string& value) {
    FIniFile = IsBlankText(ExtensionOf(value)) ? value + ".INI" : value;
}

std::string TLMDIniCtrl::ProgramPath() const {
    return FProgramPath ? *FProgramPath : ExecutablePath();
}

std::string TLMDIniCtrl::FileName() {
    if (FIniFile.empty()) {
        const std::string program = ProgramPath();
        const std::string extension = ExtensionOf(program);
        FIniFile = program.substr(0, program.size() - extension.size()) + ".INI";
    }
    if (FIniPrefix == ppFixed) {
        return FIniFile;
    }
    return JoinPath(PrefixDirectory(FIniPrefix, ProgramPath()), FileNamePart(FIniFile));
}

std::string TLMDIniCtrl::MapSection(const std::string& section) {
    if (IsBlankText(section)) {
        if (FLatestSection.empty()) {
            FLatestSection = "Common";
        }
    } else {
        FLatestSection = section;
    }
    return FLatestSection;
}

std::string TLMDIniCtrl::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) {
    TIniFile file = OpenFile();
    return file.ReadString(MapSection(section), key, defaultValue);
}

std::int32_t TLMDIniCtrl::ReadInteger(const std::string& section, const std::string& key,
                                      std::int32_t defaultValue) {
    TIniFile file = OpenFile();
    return file.ReadInteger(MapSection(section), key, defaultValue);
}

bool TLMDIniCtrl::ReadBool(const std::string& section, const std::string& key, bool defaultValue) {
    TIniFile file = OpenFile();
    return file.ReadBool(MapSection(section), key, defaultValue);
}

void TLMDIniCtrl::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
    TIniFile file = OpenFile();
    file.WriteString(MapSection(section), key, value);
}

void TLMDIniCtrl::WriteInteger(const std::string& section, const std::string& key,
                               std::int32_t value) {
    TIniFile file = OpenFile();
    file.WriteInteger(MapSection(section), key, value);
}

void TLMDIniCtrl::WriteBool(const std::string& section, const std::string& key, bool value) {
    TIniFile file = OpenFile();
    file.WriteBool(MapSection(section), key, value);
}

void TLMDIniCtrl::WriteBatch(const TIniBatch& batch) {
    TIniFile file = OpenFile();
    TIniBatch mapped;
    for (const TIniBatch::TEntry& entry : batch.Entries()) {
        mapped.WriteString(MapSection(entry.section), entry.key, entry.value);
    }
    file.WriteBatch(mapped);
}

}  // namespace ziv
