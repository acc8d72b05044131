#pragma once

#include "media/ConvertResult.h"

#include <cstdint>
#include <string>

namespace vidlume {

/// The encoder settings of a re-encode. The defaults are the ones pages get;
/// tests lower nothing but may look at them.
struct Mp4Settings
{
    std::string x264Preset = "veryfast";
    int x264Crf = 23;
    std::string x264Profile = "high";
    std::int64_t aacBitRatePerChannel = 64000;
    /// Threads of the decoder and of the encoder each; 0: the libraries'
    /// choice, one per processor. Each thread costs memory, so a caller
    /// under a memory bound chooses the number.
    int threads = 0;
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

/// The open files of a conversion that opens no file by name (the converter
/// program, shut off from the file system). The caller keeps them open and
/// closes them afterwards.
struct Mp4Files
{
    int source = -1;            ///< the video, open for reading
    int destination = -1;       ///< the new, empty MP4, open for writing
    int destinationReader = -1; ///< the same file open for reading: the index is moved to the front through it
};

/// convertToMp4 into a file that its caller made and names: the status is never
/// DestinationExists, and on failure or cancel the destination holds rubbish
/// that the caller throws away.
ConvertResult convertToMp4(const Mp4Files& files, const ConvertObserver& observer = {},
                           const Mp4Settings& settings = {});

/// True when the file already is an MP4 or QuickTime file whose video is
/// H.264 and whose sound is AAC or MP3: browsers play it as it is.
bool isBrowserReadyMp4(const std::string& path);

/// The same for a file open for reading.
bool isBrowserReadyMp4(int fd);

} // namespace vidlume
