#include "platform/Environment.h"

#include <cstdlib>

namespace vidlume::platform {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string userProfileFolder()
{
    return environmentValue("HOME");
}

std::string userSshFile(const std::string& name)
{
    const std::string home = userProfileFolder();
    return home.empty() ? std::string() : home + "/.ssh/" + name;
}

std::string loginName()
{
    const std::string user = environmentValue("USER");
    return user.empty() ? environmentValue("LOGNAME") : user;
}

bool sshAgentMayRun()
{
    return !environmentValue("SSH_AUTH_SOCK").empty();
}

std::string userConfigFolder()
{
    // A relative value is not valid there and is ignored, as other programs do.
    const std::string configHome = environmentValue("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/')
        return configHome;
    return userProfileFolder() + "/.config";
}

} // namespace vidlume::platform
