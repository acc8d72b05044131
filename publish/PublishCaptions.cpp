#include "publish/PublishCaptions.h"

#include "app/ErrorText.h"
#include "app/TextCase.h"
#include "media/Captions.h"
#include "page/PathNames.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

namespace vidlume {

namespace {

/// Subtitle files are text: anything larger is no subtitle file.
constexpr std::size_t maxCaptionBytes = 16 * 1024 * 1024;
/// Cue warnings shown for one file before they are only counted.
constexpr std::size_t maxCueWarnings = 5;

std::string endingOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : lowerAscii(name.substr(dot));
}

bool isCaptionEnding(const std::string& ending)
{
    return ending == ".srt" || ending == ".vtt";
}

/// The length of the well-formed UTF-8 sequence at text[i] and its code point;
/// 0 when the bytes there are not one.
std::size_t utf8Sequence(const std::string& text, std::size_t i, char32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size())
        return 0;
    codePoint = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(k) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void appendEscape(std::string& out, unsigned unit)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
    out += escaped;
}

/// The text as a JSON string in plain ASCII: a page that names no character
/// set loads the list in whatever encoding the browser guesses, so every
/// other character is written as a \u escape (a byte that is not UTF-8 as
/// U+FFFD). That covers the line and paragraph separators too, at which older
/// script engines end a string.
std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            char32_t codePoint = 0xFFFD;
            const std::size_t length = utf8Sequence(text, i, codePoint);
            if (length == 0)
                codePoint = 0xFFFD;
            if (codePoint >= 0x10000) {
                appendEscape(out, 0xD800 + ((codePoint - 0x10000) >> 10));
                appendEscape(out, 0xDC00 + ((codePoint - 0x10000) & 0x3FF));
            } else {
                appendEscape(out, unsigned(codePoint));
            }
            i += length == 0 ? 0 : length - 1;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
                appendEscape(out, c);
            else
                out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string notUsed(const std::string& path, const std::string& why)
{
    return "The caption file \"" + path + "\" was not used: " + why + ".";
}

/// Reads and converts one subtitle file; nothing and a warning when it cannot be used.
CaptionConversion convert(const CaptionSource& source, std::vector<std::string>& warnings)
{
    std::string bytes;
    const int error = platform::readSmallFile(source.path, maxCaptionBytes, bytes);
    if (error != 0) {
        std::string why = error == ENOENT || error == ENOTDIR ? "it does not exist"
                          : error == EINVAL                   ? "it is not a file"
                          : error == EFBIG                    ? "it is larger than 16 MiB"
                                                              : "it cannot be read: " + errorDescription(error);
        warnings.push_back(notUsed(source.path, why));
        return {};
    }
    CaptionConversion conversion =
        endingOf(source.path) == ".vtt" ? normaliseWebVtt(bytes) : srtToWebVtt(bytes);
    const std::string name = fileNameOf(source.path);
    for (std::size_t i = 0; i < conversion.warnings.size() && i < maxCueWarnings; ++i)
        warnings.push_back("\"" + name + "\": " + conversion.warnings[i]);
    if (conversion.warnings.size() > maxCueWarnings)
        warnings.push_back("\"" + name +
                           "\": " + std::to_string(conversion.warnings.size() - maxCueWarnings) +
                           " more cues were left out.");
    if (conversion.vtt.empty())
        warnings.push_back(notUsed(source.path, "it holds no cue that could be used"));
    return conversion;
}

} // namespace

std::vector<CaptionSource> findCaptionFiles(const std::string& videoFile)
{
    const std::string videoName = fileNameOf(videoFile);
    const std::string stem = stemOf(videoName);
    std::vector<CaptionSource> found;
    if (stem.empty())
        return found;
    const auto entries = platform::listDirectory(platform::folderOf(videoFile));
    if (!entries)
        return found;
    for (const platform::DirectoryEntry& entry : *entries) {
        const std::string& name = entry.name;
        if (!isCaptionEnding(endingOf(name)) || !name.starts_with(stem + "."))
            continue;
        const std::string language = captionLanguage(name, stem);
        // "<stem>.srt" or "<stem>.<language>.srt": other names only share the beginning.
        if (language.empty() && stemOf(name) != stem)
            continue;
        found.push_back({childPath(platform::folderOf(videoFile), name), language});
    }
    std::sort(found.begin(), found.end(), [](const CaptionSource& a, const CaptionSource& b) {
        // One track per language: a WebVTT file goes before a SubRip file of the same language.
        if (a.language != b.language)
            return a.language < b.language;
        const bool aVtt = endingOf(a.path) == ".vtt";
        const bool bVtt = endingOf(b.path) == ".vtt";
        if (aVtt != bVtt)
            return aVtt;
        return a.path < b.path;
    });
    return found;
}

CaptionSource namedCaptionFile(const std::string& path)
{
    const std::string name = fileNameOf(path);
    const std::string base = stemOf(name);
    const std::size_t dot = base.rfind('.');
    return {path, dot == std::string::npos ? std::string() : captionLanguage(name, base.substr(0, dot))};
}

PlacedCaptions placeCaptions(const std::vector<CaptionSource>& sources, const std::string& mp4Name,
                             const std::string& folder)
{
    PlacedCaptions placed;
    const std::string stem = stemOf(mp4Name);
    std::set<std::string> tracks;
    std::string entries;
    for (const CaptionSource& source : sources) {
        const std::string name = stem + (source.language.empty() ? "" : "." + source.language) + ".vtt";
        if (tracks.count(name) != 0) {
            placed.warnings.push_back(
                notUsed(source.path, "another caption file gives the track \"" + name + "\""));
            continue;
        }
        const CaptionConversion conversion = convert(source, placed.warnings);
        if (conversion.vtt.empty())
            continue;
        const platform::CopyResult written = platform::writeNewFile(childPath(folder, name), conversion.vtt);
        if (!written.ok()) {
            placed.warnings.push_back(notUsed(
                source.path, written.failure == platform::CopyFailure::DestinationExists
                                 ? "a file named \"" + name + "\" is already in the folder"
                                 : "\"" + name + "\" cannot be written: " + errorDescription(written.error)));
            continue;
        }
        tracks.insert(name);
        placed.files.push_back(name);
        entries += std::string(entries.empty() ? "\n" : ",\n") + "    {\"file\": " + jsonString(name) +
                   ", \"lang\": " + jsonString(source.language) + ", \"vtt\": " + jsonString(conversion.vtt) +
                   "}";
    }
    const std::string listName = stem + ".captions.js";
    const std::string list = "vidlumeCaptions([" + entries + (entries.empty() ? "" : "\n") + "]);\n";
    const platform::CopyResult written = platform::writeNewFile(childPath(folder, listName), list);
    if (written.ok())
        placed.files.push_back(listName);
    else
        placed.warnings.push_back("The caption list \"" + listName + "\" was not written: " +
                                  (written.failure == platform::CopyFailure::DestinationExists
                                       ? std::string("a file of that name is already in the folder")
                                       : errorDescription(written.error)) +
                                  ".");
    return placed;
}

} // namespace vidlume
