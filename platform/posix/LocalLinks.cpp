#include "platform/LocalLinks.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace vidlume::platform {

bool isSymbolicLink(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::optional<std::string> resolvedPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

} // namespace vidlume::platform
