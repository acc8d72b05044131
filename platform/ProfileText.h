#pragma once

#include <string>

namespace vidlume::platform {

/// The text of a settings (INI) file from its bytes, as UTF-8. Here the file
/// holds the file system's bytes and they are taken as they are. On Windows
/// the file is in the system's single-byte code page, as the system's profile
/// functions write it, or UTF-16 with a byte-order mark, which they also read.
std::string profileTextFromBytes(const std::string& bytes);

/// The bytes of a settings file that holds text, written the way its old bytes
/// were. On Windows: the system's single-byte code page while every character
/// has a place in it; UTF-16 with a byte-order mark when one has not (a folder
/// named in another script) or when the file was UTF-16 already, so that
/// nothing is lost.
std::string profileBytesFromText(const std::string& text, const std::string& oldBytes);

} // namespace vidlume::platform
