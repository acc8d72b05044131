#pragma once

#include "media/ConvertResult.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vidlume {

/// The messages between publishing and the converter program, one line each
/// (docs/converter-protocol.md): a word, numbers, then free text in which a
/// backslash and a line break are escaped.
namespace converter {

/// The converter program's file name, found like the files beside the programs.
inline constexpr const char* programName = "vidlume-convert";

/// The converter's exit status when it ran out of memory.
inline constexpr int exitOutOfMemory = 3;

std::string progressMessage(std::uint64_t done, std::uint64_t total);
std::string warningMessage(std::string_view text);
std::string confinedMessage(std::string_view description);
std::string readyMessage(bool browserReady);
/// The outcome of a conversion: done, unusable, write-failed or cancelled.
std::string outcomeMessage(const ConvertResult& result);
std::string cancelMessage();

/// One message as read.
struct Message
{
    enum class Kind
    {
        Progress,    ///< done and total hold the bytes
        Warning,     ///< text
        Confined,    ///< text: what shuts the converter off
        Ready,       ///< done is 1 when the video plays in browsers as it is
        Outcome,     ///< result holds everything but the warnings
        Cancel,      ///< publishing asks the converter to stop
    };
    Kind kind = Kind::Warning;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::string text;
    ConvertResult result;
};

/// Collects the bytes of a channel and cuts them into messages.
class MessageReader
{
public:
    void add(std::string_view bytes) { m_pending.append(bytes); }

    /// The next complete message; nothing when none is complete yet. A line
    /// that is no message is skipped.
    std::optional<Message> next();

    /// True when more than a line's worth arrived without a line break.
    bool overlong() const;

private:
    std::string m_pending;
};

} // namespace converter

} // namespace vidlume
