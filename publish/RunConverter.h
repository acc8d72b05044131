#pragma once

#include "media/ConvertResult.h"
#include "platform/FileCopy.h"

#include <cstdint>
#include <string>

namespace vidlume {

/// What the converter program may use, and how long it gets to stop.
struct ConverterBounds
{
    /// Threads of the decoder and of the encoder each; 0: one per processor,
    /// at most 16.
    int threads = 0;
    /// Address space: memoryBytes for a conversion of up to two threads and
    /// memoryPerThreadBytes more for each further one, as each thread holds
    /// pictures in flight (a 4K 10-bit video needs about that much a thread).
    std::uint64_t memoryBytes = 2ull << 30;
    std::uint64_t memoryPerThreadBytes = 384ull << 20;
    /// Work without progress: a converter that reports no progress while it
    /// uses this much processor time (all its threads; ten times as much on
    /// the clock) is stuck on its video and is killed. An honest conversion
    /// reports progress many times a second, however small the file and
    /// however long the video; a sanitized build gets five times as long.
    double stallSeconds = 4;
    /// Processor time over all its threads, the system's own backstop in
    /// case the publisher cannot watch: generous, as a small file may hold
    /// hours of video.
    std::uint64_t cpuSecondsBase = 4 * 3600;
    std::uint64_t cpuSecondsPerMiB = 40;
    /// How long a converter asked to stop may take before it is killed.
    int stopGraceMs = 300;
};

/// Why a conversion in the converter program gave no outcome of its own.
enum class ConverterTrouble
{
    None,       ///< the converter reported its outcome
    NotStarted, ///< the program is missing or could not be started
    Stopped,    ///< it crashed, was killed, ran over a limit or broke off
};

struct ConverterOutcome
{
    ConvertResult result;
    ConverterTrouble trouble = ConverterTrouble::None;
    std::string troubleReason; ///< for the user, when there was trouble
};

/// Makes the MP4 at destination from source with the converter program: opens
/// the source, creates the destination the way every file of a generation is
/// created (platform::writeNewFileWith: complete under its name or not there),
/// hands both to the converter and relays its progress and warnings. A cancel
/// asks the converter to stop and kills it when it has not within the grace
/// time; the result is then Cancelled, whatever the converter did. On any
/// other trouble the result is Unusable and nothing is left at destination.
ConverterOutcome convertInConverter(const std::string& program, const std::string& source,
                                    const std::string& destination, const ConvertObserver& observer,
                                    const ConverterBounds& bounds = {}, const platform::CopyTuning& tuning = {});

/// isBrowserReadyMp4 asked of the converter program; false when it cannot tell.
bool browserReadyInConverter(const std::string& program, const std::string& path,
                             const ConverterBounds& bounds = {});

} // namespace vidlume
