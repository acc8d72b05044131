#pragma once

#include <optional>
#include <string>

namespace vidlume {

/// What a look at the start of a video file found.
enum class FlvProbeStatus
{
    Video,      ///< a video tag was found; codecId holds its codec
    NotFlv,     ///< the file does not start with an FLV header
    NoVideo,    ///< no video tag among the first tags (audio only, or too far in)
    Truncated,  ///< the file ends inside the header or a tag before a video tag
    Unreadable, ///< the file cannot be opened, or is no plain file (a pipe, a device)
};

struct FlvProbe
{
    FlvProbeStatus status = FlvProbeStatus::Unreadable;
    int codecId = 0; ///< the codec id of the first video tag (low four bits of its first data byte)
};

/// Reads the FLV header of the file and walks its tags up to the first video tag.
/// Only the header and the tag headers are read; the walk stops after the first few
/// MiB or a few hundred tags, so the cost does not grow with the file.
FlvProbe probeFlvVideoCodec(const std::string& path);

/// The codec's name for the user, e.g. 2 gives "Sorenson H.263", 7 "H.264 (AVC)".
std::string flvVideoCodecName(int codecId);

/// The line for the generation's warnings when pages with the HTML5 player
/// cannot play the video that the probe looked at; nothing when they can, or
/// when there is nothing to say about it (no video tag, unreadable file).
std::optional<std::string> html5CodecWarning(const FlvProbe& probe, const std::string& videoName);

} // namespace vidlume
