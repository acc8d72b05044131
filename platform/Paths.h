#pragma once

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

} // namespace vidlume::platform
