#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vidlume {

/// What a conversion reports while it runs. Both may be empty.
struct ConvertObserver
{
    /// Bytes of the source read so far, and the source's size.
    std::function<void(std::uint64_t done, std::uint64_t total)> onProgress;
    /// Polled between packets; true stops the conversion.
    std::function<bool()> cancelRequested;
};

enum class ConvertStatus
{
    Done,
    Cancelled,
    Unusable,          ///< the source cannot be converted: unreadable, no stream, an unknown codec
    DestinationExists, ///< an entry of the destination's name is already there
    WriteFailed,       ///< the MP4 could not be written (disk full, no right to write)
};

/// What became of one stream of the source.
enum class StreamHandling
{
    None,      ///< the source has no such stream, or it was left out
    Copied,    ///< its packets were copied as they are
    Reencoded, ///< decoded and encoded again (H.264 or AAC)
};

struct ConvertResult
{
    ConvertStatus status = ConvertStatus::Done;
    std::string reason;                ///< why, for the user, when the status is not Done
    int error = 0;                     ///< the system error of WriteFailed, when there is one
    std::vector<std::string> warnings; ///< what was repaired or left out on the way
    StreamHandling video = StreamHandling::None;
    StreamHandling audio = StreamHandling::None;
    std::uint64_t bytes = 0; ///< size of the MP4 written

    bool ok() const { return status == ConvertStatus::Done; }
};

/// The encoder settings of a re-encode. The defaults are the ones pages get;
/// tests lower nothing but may look at them.
struct Mp4Settings
{
    std::string x264Preset = "veryfast";
    int x264Crf = 23;
    std::string x264Profile = "high";
    std::int64_t aacBitRatePerChannel = 64000;
};

/// Turns a video file (an FLV, or anything else the FFmpeg libraries read) into
/// an MP4 that browsers play in a plain video element, with its index at the
/// front. H.264 video and AAC sound are copied as they are; any other video is
/// encoded to H.264 (yuv420p, even size, the source's frame rate), any other
/// sound (MP3 included) to AAC. The MP4 is written like every file of a generation:
/// under destination only when complete, never replacing an entry, nothing
/// left on failure or cancel. Only a plain file is read as the source.
ConvertResult convertToMp4(const std::string& source, const std::string& destination,
                           const ConvertObserver& observer = {}, const Mp4Settings& settings = {});

/// True when the file already is an MP4 or QuickTime file whose video is
/// H.264 and whose sound is AAC or MP3: browsers play it as it is.
bool isBrowserReadyMp4(const std::string& path);

/// The MP4's name for a video name: a final ".flv" (any case) becomes ".mp4";
/// any other name gets ".mp4" added.
std::string mp4NameFor(const std::string& videoName);

} // namespace vidlume
