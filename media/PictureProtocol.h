#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vidlume::converter {

// The converter's picture mode for a site's gallery (docs/converter-protocol.md):
//   vidlume-convert picture --files=SOURCE,DESTINATION,CHANNEL
// reads the video's facts and writes a small JPEG of a representative frame.
// Its lines, in the form of the other messages (a word, numbers, free text):
//   facts DURATION_MS WIDTH HEIGHT   the length (-1 unknown as 0) and picture size
//   title TEXT                       the FLV's own title
//   created TEXT                     the FLV's own creation date, as written there
//   picture WIDTH HEIGHT             the JPEG is complete (the last line)
//   no-picture TEXT                  none was made, TEXT says why (the last line)
//   unusable TEXT                    the video cannot be read at all (the last line)

std::string factsMessage(std::int64_t durationMs, int width, int height);
std::string titleMessage(std::string_view title);
std::string createdMessage(std::string_view created);
std::string pictureMessage(int width, int height);
std::string noPictureMessage(std::string_view reason);
std::string pictureUnusableMessage(std::string_view reason);

/// One line of the picture mode as read.
struct PictureMessage
{
    enum class Kind
    {
        Facts,
        Title,
        Created,
        Picture,
        NoPicture,
        Unusable,
    };
    Kind kind = Kind::Facts;
    std::int64_t durationMs = -1;
    int width = 0;
    int height = 0;
    std::string text;
};

/// Reads one line (without its line break); nothing when it is no such message.
std::optional<PictureMessage> parsePictureMessage(std::string_view line);

} // namespace vidlume::converter
