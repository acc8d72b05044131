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

} // namespace vidlume::platform
