#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vidlume {

/// A subtitle file turned into WebVTT for the HTML5 player.
struct CaptionConversion
{
    std::string vtt;                   ///< UTF-8 WebVTT text; empty when no cue could be used
    std::size_t cues = 0;              ///< cues kept
    std::vector<std::string> warnings; ///< one line for each cue that was dropped
};

/// Turns SubRip text into WebVTT. The text may be UTF-8 (with or without a
/// byte-order mark) or, when it is not valid UTF-8, Latin-1, converted byte by
/// byte. Line breaks may be LF, CR LF or CR. A cue whose timing line is broken,
/// whose end lies before its start, or which has no text is dropped with a
/// warning; the other cues are kept, ordered by their start time.
CaptionConversion srtToWebVtt(std::string_view srt);

/// Checks WebVTT text: UTF-8 (a Latin-1 file is converted), "WEBVTT" on the
/// first line. The text is kept as it is apart from the byte-order mark, the
/// encoding and the line breaks; a file that is no WebVTT gives no text and
/// one warning.
CaptionConversion normaliseWebVtt(std::string_view vtt);

/// The language code a caption file's name gives after the video's stem:
/// "holiday.en.srt" with the stem "holiday" gives "en", "holiday.pt-BR.vtt"
/// gives "pt-BR", "holiday.srt" gives "". Only a code of two or three letters,
/// optionally followed by a region, counts.
std::string captionLanguage(std::string_view fileName, std::string_view videoStem);

} // namespace vidlume
