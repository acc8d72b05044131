#pragma once

namespace vidlume {

/// The script elements that a page with the HTML5 player holds right before
/// "</body>": mpegts.js, then our player script, both from the page's own folder.
inline constexpr const char* html5PlayerScripts =
    "<script src=\"mpegts.js\"></script><script src=\"vidlume-html5.js\"></script>";

} // namespace vidlume
