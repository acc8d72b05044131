#pragma once

#include <string>

namespace vidlume::form {

/// Whether a file handed to the window (dropped, or named when it starts) is a
/// video that Vidlume publishes: a Flash Video, by its ".flv" ending (any case)
/// or its "FLV" signature, or an MP4, by the "ftyp" box that opens it. A
/// missing file counts only by its ending; a picture or a text never counts.
bool isPublishableVideo(const std::string& path);

} // namespace vidlume::form
