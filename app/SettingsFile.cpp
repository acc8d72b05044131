#include "app/SettingsFile.h"

#include "app/IniText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <cerrno>

namespace vidlume {

void SettingsFile::writeString(const std::string& section, const std::string& key,
                               const std::string& value) const
{
    std::string text;
    const int readError = platform::readWholeFile(m_fileName, text);
    if (readError != 0 && readError != ENOENT)
        throw Error("Unable to write to " + m_fileName);
    if (platform::writeWholeFile(m_fileName, setIniValue(text, section, key, value)) != 0)
        throw Error("Unable to write to " + m_fileName);
}

} // namespace vidlume
