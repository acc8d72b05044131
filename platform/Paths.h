#pragma once

#include <string>

namespace vidlume::platform {

/// How local paths are written: which characters end a folder part of a path.
enum class PathStyle
{
    Posix,   ///< "/" separates folders
    Windows, ///< "\" separates folders, ":" ends a drive letter
};

#ifdef _WIN32
inline constexpr PathStyle nativePathStyle = PathStyle::Windows;
inline constexpr char nativeSeparator = '\\';
#else
inline constexpr PathStyle nativePathStyle = PathStyle::Posix;
inline constexpr char nativeSeparator = '/';
#endif

/// The folder part of a Posix path: "." when it names no folder, "/" for a
/// name right under the root.
inline std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace vidlume::platform
