#pragma once

#include "page/PageInputs.h"
#include "platform/Paths.h"

#include <string>

namespace vidlume {

/// The text of the player page (index.htm) for the given inputs: CR LF line breaks,
/// eleven lines, no final line break. Local paths are read in the given style.
/// With inputs.html5 the page also loads the HTML5 player's scripts right before
/// "</body>" (our player script, html5PlayerScriptName); nothing else changes.
/// Throws Error("List index out of bounds (1)") for a size text without a lower-case "x".
std::string BuildPlayerPage(const PageInputs& inputs,
                            platform::PathStyle style = platform::nativePathStyle);

} // namespace vidlume
