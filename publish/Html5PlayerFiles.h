#pragma once

#include <array>

namespace vidlume {

/// The files that a page with the HTML5 player needs beside it. They lie in the
/// program's folder, as the Flash player file does.
inline constexpr std::array<const char*, 1> html5PlayerFiles{
    "vidlume-html5.js",
};

} // namespace vidlume
