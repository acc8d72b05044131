#include "media/Captions.h"

#include "app/TextCase.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <utility>

namespace vidlume {

namespace {

void appendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string out;
    std::optional<std::uint32_t> highSurrogate;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        const std::uint32_t unit = bigEndian ? (first << 8 | second) : (second << 8 | first);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (highSurrogate)
                appendUtf8(out, 0xFFFD);
            highSurrogate = unit;
            continue;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (highSurrogate)
                appendUtf8(out, 0x10000 + ((*highSurrogate - 0xD800) << 10) + (unit - 0xDC00));
            else
                appendUtf8(out, 0xFFFD);
            highSurrogate.reset();
            continue;
        }
        if (highSurrogate)
            appendUtf8(out, 0xFFFD);
        highSurrogate.reset();
        appendUtf8(out, unit);
    }
    if (highSurrogate)
        appendUtf8(out, 0xFFFD);
    return out;
}

/// The text as UTF-8 without a byte-order mark and with LF line breaks only.
std::string decodeText(std::string_view bytes)
{
    std::string text;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        text = utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
    }
    if (text.empty()) {
        if (isValidUtf8(bytes)) {
            text.assign(bytes);
        } else {
            for (const char c : bytes)
                appendUtf8(text, static_cast<unsigned char>(c));
        }
    }
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] != '\0') {
            lines += text[i];
        }
    }
    return lines;
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool isBlank(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

/// Reads digits at pos; nothing when there are none or more than maxDigits.
std::optional<std::uint64_t> readNumber(std::string_view text, std::size_t& pos, std::size_t maxDigits)
{
    const std::size_t start = pos;
    std::uint64_t value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < maxDigits) {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
        ++pos;
    }
    if (pos == start || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9'))
        return std::nullopt;
    return value;
}

/// A timestamp "H:MM:SS,mmm" (hours may be left out, "." may stand for ",")
/// in milliseconds.
std::optional<std::uint64_t> parseTimestamp(std::string_view text)
{
    std::array<std::uint64_t, 3> parts{};
    std::size_t count = 0;
    std::size_t pos = 0;
    for (;;) {
        const auto part = readNumber(text, pos, count == 0 ? 6 : 2);
        if (!part || count == 3)
            return std::nullopt;
        parts[count++] = *part;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            continue;
        }
        break;
    }
    if (count < 2 || pos >= text.size() || (text[pos] != ',' && text[pos] != '.'))
        return std::nullopt;
    ++pos;
    const std::size_t fractionStart = pos;
    const auto fraction = readNumber(text, pos, 3);
    if (!fraction || pos != text.size())
        return std::nullopt;
    std::uint64_t milliseconds = *fraction;
    for (std::size_t digits = pos - fractionStart; digits < 3; ++digits)
        milliseconds *= 10;
    const std::uint64_t hours = count == 3 ? parts[0] : 0;
    const std::uint64_t minutes = parts[count - 2];
    const std::uint64_t seconds = parts[count - 1];
    if (minutes > 59 || seconds > 59)
        return std::nullopt;
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
}

struct Timing
{
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

/// "start --> end", with anything after the end (SubRip positions) ignored.
std::optional<Timing> parseTiming(std::string_view line)
{
    const std::size_t arrow = line.find("-->");
    if (arrow == std::string_view::npos)
        return std::nullopt;
    std::string_view endPart = trim(line.substr(arrow + 3));
    endPart = endPart.substr(0, endPart.find_first_of(" \t"));
    const auto start = parseTimestamp(trim(line.substr(0, arrow)));
    const auto end = parseTimestamp(endPart);
    if (!start || !end)
        return std::nullopt;
    return Timing{*start, *end};
}

std::string formatTimestamp(std::uint64_t milliseconds)
{
    const std::uint64_t hours = milliseconds / 3600000;
    const auto twoDigits = [](std::uint64_t value) {
        return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
    };
    std::string text = hours < 10 ? "0" + std::to_string(hours) : std::to_string(hours);
    text += ':' + twoDigits(milliseconds / 60000 % 60) + ':' + twoDigits(milliseconds / 1000 % 60) + '.';
    const std::uint64_t rest = milliseconds % 1000;
    text += static_cast<char>('0' + rest / 100);
    text += twoDigits(rest % 100);
    return text;
}

bool isEntity(std::string_view text)
{
    // text starts with '&'
    std::size_t i = 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex)
            ++i;
        const std::size_t digitsStart = i;
        while (i < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[i]))
                                       : std::isdigit(static_cast<unsigned char>(text[i]))))
            ++i;
        return i > digitsStart && i < text.size() && text[i] == ';';
    }
    const std::size_t nameStart = i;
    while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])))
        ++i;
    return i > nameStart && i < text.size() && text[i] == ';';
}

/// One line of SubRip cue text as WebVTT cue text: the italic, bold and
/// underline tags stay, font tags and {\...} override blocks go, and every
/// other "<", ">" or "&" is written as a character reference, so no line can
/// be read as markup or as a timing line.
std::string cueTextLine(std::string_view line)
{
    std::string out;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '{' && i + 1 < line.size() && line[i + 1] == '\\') {
            const std::size_t close = line.find('}', i);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
        }
        if (c == '<') {
            const std::size_t close = line.find('>', i);
            if (close != std::string_view::npos) {
                std::string tag = lowerAscii(line.substr(i + 1, close - i - 1));
                const bool closing = !tag.empty() && tag.front() == '/';
                if (closing)
                    tag.erase(0, 1);
                const std::string name = tag.substr(0, tag.find_first_of(" \t"));
                if (name == "i" || name == "b" || name == "u") {
                    out += closing ? "</" + name + ">" : "<" + name + ">";
                    i = close + 1;
                    continue;
                }
                if (name == "font") {
                    i = close + 1;
                    continue;
                }
            }
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            out += isEntity(line.substr(i)) ? "&" : "&amp;";
        } else {
            out += c;
        }
        ++i;
    }
    return out;
}

struct Cue
{
    Timing timing;
    std::string text;
};

std::string cueWarning(std::size_t lineNumber, std::string_view why)
{
    return "The caption cue at line " + std::to_string(lineNumber) + " was left out: " + std::string(why) +
           ".";
}

} // namespace

CaptionConversion srtToWebVtt(std::string_view srt)
{
    const std::string text = decodeText(srt);
    const std::vector<std::string_view> lines = splitLines(text);
    CaptionConversion result;
    std::vector<Cue> cues;

    std::size_t i = 0;
    while (i < lines.size()) {
        if (isBlank(lines[i])) {
            ++i;
            continue;
        }
        // One block: the lines up to the next blank line.
        const std::size_t blockStart = i;
        while (i < lines.size() && !isBlank(lines[i]))
            ++i;
        const std::size_t blockEnd = i;

        std::size_t timingLine = blockStart;
        const std::string_view first = trim(lines[blockStart]);
        const bool numbered = !first.empty() && std::all_of(first.begin(), first.end(),
                                                            [](char c) { return c >= '0' && c <= '9'; });
        if (numbered)
            timingLine = blockStart + 1;
        if (timingLine >= blockEnd || lines[timingLine].find("-->") == std::string_view::npos) {
            result.warnings.push_back(cueWarning(blockStart + 1, "it has no timing line"));
            continue;
        }
        const auto timing = parseTiming(lines[timingLine]);
        if (!timing) {
            result.warnings.push_back(cueWarning(
                timingLine + 1, "the timing \"" + std::string(trim(lines[timingLine])) + "\" is broken"));
            continue;
        }
        if (timing->end < timing->start) {
            result.warnings.push_back(cueWarning(timingLine + 1, "it ends before it starts"));
            continue;
        }
        Cue cue{*timing, {}};
        for (std::size_t k = timingLine + 1; k < blockEnd; ++k) {
            if (!cue.text.empty())
                cue.text += '\n';
            cue.text += cueTextLine(trim(lines[k]));
        }
        if (cue.text.empty()) {
            result.warnings.push_back(cueWarning(timingLine + 1, "it has no text"));
            continue;
        }
        cues.push_back(std::move(cue));
    }

    if (cues.empty())
        return result;
    std::stable_sort(cues.begin(), cues.end(),
                     [](const Cue& a, const Cue& b) { return a.timing.start < b.timing.start; });
    result.vtt = "WEBVTT\n";
    for (const Cue& cue : cues) {
        result.vtt += '\n' + formatTimestamp(cue.timing.start) + " --> " + formatTimestamp(cue.timing.end) +
                      '\n' + cue.text + '\n';
    }
    result.cues = cues.size();
    return result;
}

CaptionConversion normaliseWebVtt(std::string_view vtt)
{
    CaptionConversion result;
    std::string text = decodeText(vtt);
    const std::string_view firstLine = std::string_view(text).substr(0, text.find('\n'));
    const bool header = firstLine == "WEBVTT" ||
                        (firstLine.starts_with("WEBVTT") && (firstLine[6] == ' ' || firstLine[6] == '\t'));
    if (!header) {
        result.warnings.push_back("It is not a WebVTT file (its first line is not \"WEBVTT\").");
        return result;
    }
    std::size_t arrows = 0;
    for (std::size_t pos = text.find("-->"); pos != std::string::npos; pos = text.find("-->", pos + 3))
        ++arrows;
    if (arrows == 0) {
        result.warnings.push_back("It holds no cues.");
        return result;
    }
    if (text.back() != '\n')
        text += '\n';
    result.vtt = std::move(text);
    result.cues = arrows;
    return result;
}

std::string captionLanguage(std::string_view fileName, std::string_view videoStem)
{
    if (fileName.size() <= videoStem.size() + 1 || !fileName.starts_with(videoStem) ||
        fileName[videoStem.size()] != '.')
        return {};
    std::string_view rest = fileName.substr(videoStem.size() + 1);
    const std::size_t extension = rest.rfind('.');
    if (extension == std::string_view::npos)
        return {};
    rest = rest.substr(0, extension);
    const std::size_t dash = rest.find_first_of("-_");
    const std::string_view language = rest.substr(0, dash);
    const auto allLetters = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(),
                           [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
    };
    if (language.size() < 2 || language.size() > 3 || !allLetters(language))
        return {};
    if (dash == std::string_view::npos)
        return lowerAscii(language);
    const std::string_view region = rest.substr(dash + 1);
    const bool regionOk = region.size() >= 2 && region.size() <= 8 &&
                          std::all_of(region.begin(), region.end(),
                                      [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
    if (!regionOk)
        return {};
    std::string code = lowerAscii(language) + '-';
    for (const char c : region)
        code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return code;
}

} // namespace vidlume
