#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidlume {

/// The codec's name for the user, e.g. 2 gives "Sorenson H.263", 7 "H.264 (AVC)".
std::string flvVideoCodecName(int codecId);

/// The name for the user of a sound codec that the libraries do not know,
/// e.g. 15 gives "device-specific sound".
std::string flvSoundCodecName(int codecId);

/// A stretch of a file: offset and size in bytes.
struct FlvSpan
{
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

/// What a walk over all of an FLV's tag headers found.
struct FlvLayout
{
    bool flv = false; ///< the file starts with an FLV header
    /// The first header and every whole tag, in order: read one after the
    /// other they make a clean FLV. Damaged bytes between tags and the headers
    /// of further FLVs joined behind the first are left out.
    std::vector<FlvSpan> kept;
    int parts = 0;                 ///< FLV headers found: more than one for videos joined one after another
    std::uint64_t damaged = 0;     ///< stretches of damaged bytes left out
    bool endsInTag = false;        ///< the file ends inside its last tag
    int metadataWidth = 0;         ///< the onMetaData's width and height; 0 when it names none
    int metadataHeight = 0;
    int largestCodedWidth = 0;     ///< the largest picture size that an H.264 SPS of a sequence header gives
    int largestCodedHeight = 0;
    /// The video's codec, or its H.264 configuration, changes along the file
    /// (parts made apart and joined): no one configuration describes it all.
    bool videoChanges = false;
    /// The sound's codec, rate, sample size or channels, or its AAC
    /// configuration, changes along the file: its parts' sound cannot be
    /// copied as one track.
    bool soundChanges = false;
};

/// Walks the tags of the FLV open as fd, from its header to its end, reading
/// only the tag headers (and the few tags that hold metadata or H.264 sequence
/// headers). A tag counts when its header is sound and the size after it
/// matches, or the next tag follows where it should; anything else is
/// damage, and the walk goes on at the next tag that counts.
FlvLayout walkFlvTags(int fd);

/// The coded picture size that an H.264 sequence parameter set (a NAL unit,
/// its header byte first, with or without its emulation prevention bytes)
/// gives; false when it cannot be read.
bool h264PictureSize(const std::uint8_t* nal, std::size_t size, int& width, int& height);

/// The largest picture size that the sequence parameter sets carried inside
/// an H.264 packet give: its NAL units each follow their size in lengthSize
/// bytes (1 to 4, big-endian), as FLV and MP4 carry them. False when the
/// packet holds no SPS that can be read; a unit that overruns the packet ends
/// the search.
bool largestPictureInPacket(const std::uint8_t* data, std::size_t size, int lengthSize, int& width, int& height);

} // namespace vidlume
