#pragma once

#include <optional>
#include <string>

namespace vidlume {

/// A settings (INI) file, bound to its path. Binding touches no file.
class SettingsFile
{
public:
    explicit SettingsFile(std::string fileName) : m_fileName(std::move(fileName)) {}

    const std::string& fileName() const { return m_fileName; }

    /// Writes key=value into section with the rules of setIniValue(); the file is
    /// created when missing, as platform::writeWholeFile() writes it: a file that
    /// this user may not write is refused whatever its folder allows.
    /// Throws Error("Unable to write to <fileName>") when the file cannot be read or written.
    void writeString(const std::string& section, const std::string& key, const std::string& value) const;

    /// The value of key in section (iniValue's rules); nothing when the file,
    /// section or key is missing or the file cannot be read.
    std::optional<std::string> readString(const std::string& section, const std::string& key) const;

private:
    std::string m_fileName;
};

} // namespace vidlume
