#pragma once

#include "platform/Paths.h"

#include <string>

namespace vidlume {

/// The part of a local path behind its last folder separator ("/" for Posix;
/// "\", "/" or ":" for Windows); the whole text if it holds none.
std::string fileNameOf(const std::string& path, platform::PathStyle style = platform::nativePathStyle);

/// name inside folder: the two joined by one folder separator ("\" for Windows),
/// or by none when folder already ends in one, so that "/" and "C:\" give no
/// doubled separator.
std::string childPath(const std::string& folder, const std::string& name,
                      platform::PathStyle style = platform::nativePathStyle);

/// A file name without its extension, which starts at the last ".":
/// "my.trip.flv" gives "my.trip", "holiday" stays "holiday".
std::string stemOf(const std::string& name);

/// The name of the new folder that publishing videoName makes, before any
/// "_(new)": the name without its extension. Windows drops the blanks and dots
/// at the end of a folder's name, and keeps the device names (CON, PRN, AUX,
/// NUL, COM0 to COM9, LPT0 to LPT9, CONIN$, CONOUT$, with any extension) for
/// its devices; for Windows those blanks and dots are left out ("_" when
/// nothing else is left) and a device name gets a "_" behind it ("CON_",
/// "nul_.old"), so that the folder made is the folder named.
std::string folderNameFor(const std::string& videoName, platform::PathStyle style = platform::nativePathStyle);

/// The name of the MP4 for browsers beside a video: a final ".flv" (any case)
/// becomes ".mp4"; any other name gets ".mp4" added.
std::string mp4NameFor(const std::string& videoName);

} // namespace vidlume
