#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace vidlume::platform {

/// True when stream is a terminal (on Windows a console; the NUL device,
/// which the C library takes for one too, is not).
bool isConsole(std::FILE* stream);

/// The width of the terminal that stream writes to, in columns; 80 when it
/// does not say.
std::size_t consoleColumns(std::FILE* stream);

/// Writes UTF-8 text to stream and flushes it; true when all of it arrived,
/// otherwise errno says why. A pipe or a file gets the bytes unchanged. On
/// Windows a console gets the text as UTF-16 characters, so every name shows
/// as it is whatever the console's code page, and whatever pieces the C
/// library would have cut a character into.
bool writeText(std::FILE* stream, std::string_view text);

} // namespace vidlume::platform
