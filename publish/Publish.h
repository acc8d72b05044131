#pragma once

#include "page/PageInputs.h"
#include "platform/FileCopy.h"
#include "publish/RunConverter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vidlume {

/// A file that a generation meant to place in the new folder but left out.
struct LeftOutFile
{
    LeftOutFile() = default;
    LeftOutFile(std::string name, std::string reason, std::string servedBy = {})
        : name(std::move(name)), reason(std::move(reason)), servedBy(std::move(servedBy))
    {
    }

    /// A file the generation makes rather than copies (the MP4 for browsers).
    static LeftOutFile unmade(std::string name, std::string reason)
    {
        LeftOutFile file(std::move(name), std::move(reason));
        file.made = true;
        return file;
    }

    std::string name;   // name in the new folder, e.g. "flvplayer1.swf"
    std::string reason; // why, in words for the user
    /// The role of the file that took the name instead ("the logo image"),
    /// so that the page's reference still finds a file; empty when none did.
    std::string servedBy;
    bool made = false; // "was not made" rather than "was not copied"
};

/// What a generation is doing.
enum class PublishPhase
{
    Copying,    ///< copying a file into the new folder
    Converting, ///< making the MP4 for browsers
};

/// How far a generation is in its phase: each phase counts its own bytes.
struct PublishProgress
{
    std::string fileName;        // the file being copied, or the video being converted
    std::uint64_t bytesDone = 0; // copying: over all copies; converting: of the video it reads
    std::uint64_t bytesTotal = 0;
    PublishPhase phase = PublishPhase::Copying;
};

/// What a generation is doing, in words: "Copying holiday.flv",
/// "Converting holiday.flv for browsers".
std::string progressLabel(const PublishProgress& progress);

/// What the caller lets a generation know and ask while it runs. Both may be empty.
struct PublishControl
{
    /// Called from the publishing thread as the copies advance.
    std::function<void(const PublishProgress&)> onProgress;
    /// Polled between copy chunks and between the packets of a conversion;
    /// true stops the generation.
    std::function<bool()> cancelRequested;
    /// How the copies run; tests use it to slow a copy down or force a method.
    platform::CopyTuning copyTuning;
    /// What the converter program may use; tests lower its memory.
    ConverterBounds converterBounds;
    /// An MP4 for browsers made earlier from the same video by the same
    /// converter (a site whose page options alone changed): when set, it is
    /// copied in instead of converting the video again.
    std::string earlierBrowserCopy;
};

struct PublishResult
{
    std::string folder;                // the new folder
    std::vector<LeftOutFile> leftOut;  // empty when every file was placed
    std::vector<std::string> warnings; // other lines for the user, e.g. a codec that pages cannot play
};

/// Thrown when a generation was cancelled; the new folder is gone again.
class PublishCancelled : public std::exception
{
public:
    const char* what() const noexcept override { return "Cancelled"; }
};

/// Builds the page, creates a new folder for it inside inputs.outputDir, copies
/// the video, the player file and the chosen images into it, and writes
/// index.htm. A video or chosen image that is a folder, a device or a socket is
/// refused with an Error before anything is created. With inputs.html5 it also
/// copies the HTML5 player's files and makes an MP4 of the video that browsers
/// play (a file left out when it cannot be made) with the converter program
/// found by platform::helperProgram. The player's files lie
/// beside the program whose executable is in programFolder
/// (platform::besideProgram: that folder, or its installed files folder).
/// The folder is filled under a hidden name and gets its final name only
/// when it is whole; a generation that fails, is cancelled or is killed leaves
/// no folder under a final name (a killed one's hidden folder is removed by
/// the next generation into the same output folder).
/// Throws Error when the generation cannot complete.
PublishResult publishGeneration(const PageInputs& inputs, const std::string& programFolder,
                                const PublishControl& control = {});

/// One line for the user about a file that was left out.
std::string describeLeftOut(const LeftOutFile& file);

} // namespace vidlume
