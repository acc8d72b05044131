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

} // namespace vidlume
