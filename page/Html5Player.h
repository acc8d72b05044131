#pragma once

namespace vidlume {

/// The script element that a page with the HTML5 player holds right before
/// "</body>": our player script, from the page's own folder.
inline constexpr const char* html5PlayerScripts = "<script src=\"vidlume-html5.js\"></script>";

} // namespace vidlume
