#pragma once

#include <array>

namespace vidlume {

/// The Flash player file that every page embeds; it lies in the program's folder.
inline constexpr const char* flashPlayerFileName = "flvplayer1.swf";

/// Our HTML5 player's script, which a page with the HTML5 player loads from
/// its own folder right before "</body>".
inline constexpr const char* html5PlayerScriptName = "vidlume-html5.js";

/// The files that a page with the HTML5 player needs beside it. They lie in the
/// program's folder, as the Flash player file does.
inline constexpr std::array<const char*, 1> html5PlayerFiles{html5PlayerScriptName};

} // namespace vidlume
