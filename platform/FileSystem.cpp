#include "platform/FileSystem.h"

#include "platform/Paths.h"

// The services of FileSystem.h that are the same on every system, built on the
// ones that posix/ and win32/ implement.

namespace vidlume::platform {

bool forceDirectories(const std::string& path)
{
    return createDirectories(path) == 0;
}

int createDirectories(const std::string& path, std::string* failedFolder)
{
    std::string folder = path;
    while (!folder.empty() && nativeSeparators.find(folder.back()) != std::string_view::npos &&
           !isRootPath(folder))
        folder.pop_back();
    // A root, an existing folder and an empty path need no creation.
    if (folder.empty() || isRootPath(folder) || directoryExists(folder))
        return 0;
    const auto cut = folder.find_last_of(nativeSeparators);
    if (cut != std::string::npos && cut > 0) {
        if (const int error = createDirectories(folder.substr(0, cut), failedFolder))
            return error;
    }
    const int error = createDirectory(folder);
    if (error == 0 || directoryExists(folder))
        return 0;
    if (failedFolder)
        *failedFolder = folder;
    return error;
}

} // namespace vidlume::platform
