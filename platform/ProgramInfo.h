#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vidlume::platform {

/// The four numbers of a file version: major.minor.release.build.
struct FileVersion
{
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint16_t release = 0;
    std::uint16_t build = 0;
};

/// Full path of the running program's own file.
std::string programFilePath();

/// Folder of the running program's file, without a trailing separator.
std::string programFolder();

/// The file version of the running program, or nothing when it cannot be read.
std::optional<FileVersion> programFileVersion();

} // namespace vidlume::platform
