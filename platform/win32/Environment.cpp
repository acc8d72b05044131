#include "platform/Environment.h"

#include "platform/win32/WinText.h"

#include <windows.h>

namespace vidlume::platform {

std::string environmentValue(const char* name)
{
    const std::wstring wideName = win32::toWide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), DWORD(value.size()));
        if (length == 0)
            return {};
        if (length < value.size())
            return win32::toUtf8(std::wstring_view(value.data(), length));
        value.resize(length);
    }
}

std::string userProfileFolder()
{
    return environmentValue("USERPROFILE");
}

std::string userSshFile(const std::string& name)
{
    const std::string profile = userProfileFolder();
    return profile.empty() ? std::string() : profile + "\\.ssh\\" + name;
}

std::string loginName()
{
    return environmentValue("USERNAME");
}

bool sshAgentMayRun()
{
    return true;
}

std::string userConfigFolder()
{
    // The roaming application data folder, where programs keep a user's settings.
    const std::string appData = environmentValue("APPDATA");
    if (!appData.empty())
        return appData;
    return userProfileFolder() + "\\AppData\\Roaming";
}

} // namespace vidlume::platform
