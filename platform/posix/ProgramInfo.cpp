#include "platform/ProgramInfo.h"

#include <climits>
#include <unistd.h>

namespace vidlume::platform {

std::string programFilePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string programFolder()
{
    const std::string path = programFilePath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash);
}

std::optional<FileVersion> programFileVersion()
{
    // An ELF file has no version resource: the build compiles the project
    // version in, which is what a Windows build reads from its resource.
#if defined(VIDLUME_VERSION_MAJOR) && defined(VIDLUME_VERSION_MINOR) && defined(VIDLUME_VERSION_PATCH) &&         \
    defined(VIDLUME_VERSION_TWEAK)
    return FileVersion{VIDLUME_VERSION_MAJOR, VIDLUME_VERSION_MINOR, VIDLUME_VERSION_PATCH, VIDLUME_VERSION_TWEAK};
#else
    return std::nullopt;
#endif
}

} // namespace vidlume::platform
