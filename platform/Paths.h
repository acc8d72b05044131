#pragma once

#include <string>
#include <string_view>

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
/// Every character that ends a folder part of a local path.
inline constexpr std::string_view nativeSeparators = "\\/";
#else
inline constexpr PathStyle nativePathStyle = PathStyle::Posix;
inline constexpr char nativeSeparator = '/';
inline constexpr std::string_view nativeSeparators = "/";
#endif

/// Whether path names a root, which no folder holds: "/" on POSIX systems; a
/// drive ("C:", "C:\") or a share ("\\server\share") on Windows.
inline bool isRootPath(const std::string& path)
{
    if constexpr (nativePathStyle == PathStyle::Windows) {
        const auto isSeparator = [](char c) { return nativeSeparators.find(c) != std::string_view::npos; };
        if (path.size() <= 3 && path.size() >= 2 && path[1] == ':')
            return path.size() == 2 || isSeparator(path[2]);
        if (path.size() > 2 && isSeparator(path[0]) && isSeparator(path[1])) {
            const auto server = path.find_first_of(nativeSeparators, 2);
            return server == std::string::npos ||
                   path.find_first_of(nativeSeparators, server + 1) == std::string::npos;
        }
        return false;
    } else {
        return path == "/";
    }
}

/// The folder part of a local path: "." when it names no folder; a name right
/// under the root keeps the root's separator ("/").
inline std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of(nativeSeparators);
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace vidlume::platform
