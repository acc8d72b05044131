#pragma once

#include <string>
#include <vector>

namespace vidlume {

/// A subtitle file for the HTML5 player, with the language its name gives.
struct CaptionSource
{
    std::string path;
    std::string language; ///< "en", "pt-BR", or "" when the name gives none
};

/// The subtitle files that lie beside a video and belong to it: "<stem>.srt",
/// "<stem>.vtt" and "<stem>.<language>.srt" / ".vtt", the ending in any case,
/// where the stem is the video's name without its ending.
std::vector<CaptionSource> findCaptionFiles(const std::string& videoFile);

/// A subtitle file named by the user; its language is read from the part of its
/// name before the ending ("talk.de.srt" gives "de").
CaptionSource namedCaptionFile(const std::string& path);

struct PlacedCaptions
{
    std::vector<std::string> files;    ///< names written into the folder
    std::vector<std::string> warnings; ///< one line for each file or cue that was not used
};

/// Writes each subtitle file as WebVTT into folder, named after the browser-ready
/// video: "<stem>.vtt" or "<stem>.<language>.vtt" for "<stem>.mp4", and then the
/// caption list "<stem>.captions.js" that the HTML5 player loads: one call
/// vidlumeCaptions([...]) whose argument is JSON, an entry {"file", "lang", "vtt"}
/// per WebVTT file written. The list is written also when no file could be used,
/// so the player finds it in every folder. No file is ever replaced.
PlacedCaptions placeCaptions(const std::vector<CaptionSource>& sources, const std::string& mp4Name,
                             const std::string& folder);

} // namespace vidlume
