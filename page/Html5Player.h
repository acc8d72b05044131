#pragma once

#include <array>

namespace vidlume {

/// The script elements that a page with the HTML5 player holds right before
/// "</body>": mpegts.js, then our player script, both from the page's own folder.
inline constexpr const char* html5PlayerScripts =
    "<script src=\"mpegts.js\"></script><script src=\"vidlume-html5.js\"></script>";

/// The files that a page with the HTML5 player needs beside it. They lie in the
/// program's folder, as the Flash player file does.
inline constexpr std::array<const char*, 3> html5PlayerFiles{
    "vidlume-html5.js",
    "mpegts.js",
    "mpegts.js.LICENSE.txt",
};

} // namespace vidlume
