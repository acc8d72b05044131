// Subtitle files as they come: the conversion must give WebVTT whose every
// cue has a timing line and text, whatever the bytes.
#include "media/Captions.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const vidlume::CaptionConversion srt = vidlume::srtToWebVtt(text);
    if (srt.vtt.empty() != (srt.cues == 0))
        std::abort();
    if (!srt.vtt.empty() && !srt.vtt.starts_with("WEBVTT\n\n"))
        std::abort();
    // No cue text line can be read as a timing line or hold markup other than i, b, u.
    std::size_t arrows = 0;
    for (std::size_t pos = srt.vtt.find("-->"); pos != std::string_view::npos; pos = srt.vtt.find("-->", pos + 3))
        ++arrows;
    if (arrows != srt.cues)
        std::abort();

    const vidlume::CaptionConversion vtt = vidlume::normaliseWebVtt(text);
    if (!vtt.vtt.empty() && !vtt.vtt.starts_with("WEBVTT"))
        std::abort();
    (void)vidlume::captionLanguage(text, text.substr(0, size / 2));
    return 0;
}
