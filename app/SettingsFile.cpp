#include "app/SettingsFile.h"

#include "app/Error.h"
#include "app/IniText.h"
#include "platform/FileSystem.h"
#include "platform/ProfileText.h"

#include <cerrno>

namespace vidlume {

void SettingsFile::writeString(const std::string& section, const std::string& key,
                               const std::string& value) const
{
    std::string bytes;
    const int readError = platform::readWholeFile(m_fileName, bytes);
    if (readError != 0 && readError != ENOENT)
        throw Error("Unable to write to " + m_fileName);
    const std::string text = setIniValue(platform::profileTextFromBytes(bytes), section, key, value);
    if (platform::writeWholeFile(m_fileName, platform::profileBytesFromText(text, bytes)) != 0)
        throw Error("Unable to write to " + m_fileName);
}

std::optional<std::string> SettingsFile::readString(const std::string& section, const std::string& key) const
{
    std::string bytes;
    if (platform::readWholeFile(m_fileName, bytes) != 0)
        return std::nullopt;
    return iniValue(platform::profileTextFromBytes(bytes), section, key);
}

} // namespace vidlume
