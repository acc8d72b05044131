#include "app/IniText.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace vidlume {

namespace {

struct Line
{
    std::string content;
    std::string ending; // "\n", "\r\n" or empty for a last line without a break
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    while (!text.empty()) {
        const auto lf = text.find('\n');
        if (lf == std::string_view::npos) {
            lines.push_back({std::string(text), {}});
            break;
        }
        const bool crlf = lf > 0 && text[lf - 1] == '\r';
        const auto contentLength = crlf ? lf - 1 : lf;
        lines.push_back({std::string(text.substr(0, contentLength)), crlf ? "\r\n" : "\n"});
        text.remove_prefix(lf + 1);
    }
    return lines;
}

std::string_view trimmed(std::string_view text)
{
    // A carriage return left by mixed line breaks is blank space, not part of a name.
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

/// The name of a section header line ("[name]"), or nothing for other lines.
std::optional<std::string_view> sectionName(std::string_view line)
{
    line = trimmed(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return trimmed(line.substr(0, line.find(']')));
}

bool isHeaderOf(std::string_view line, std::string_view section)
{
    const auto name = sectionName(line);
    return name && sameName(*name, section);
}

/// The key of a "key=value" line, or nothing for other lines.
std::optional<std::string_view> keyName(std::string_view line)
{
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(0, equals));
}

std::string joinLines(const std::vector<Line>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += line.content + line.ending;
    return text;
}

} // namespace

std::string setIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value)
{
    // A UTF-8 byte order mark stays at the start and is no part of the first line.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
        return std::string(byteOrderMark) +
               setIniValue(text.substr(byteOrderMark.size()), section, key, value);

    const std::string lineBreak = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::vector<Line> lines = splitLines(text);
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    // Only the first section of that name counts, as with the system's profile calls.
    std::size_t index = 0;
    while (index < lines.size() && !isHeaderOf(lines[index].content, section))
        ++index;

    if (index == lines.size()) {
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = lineBreak;
        lines.push_back({"[" + std::string(section) + "]", lineBreak});
        lines.push_back({keyLine, lineBreak});
        return joinLines(lines);
    }

    // A new key goes after the section's last non-blank line, before any blank
    // lines that separate it from the next section.
    std::size_t insertAfter = index;
    for (std::size_t i = index + 1; i < lines.size() && !sectionName(lines[i].content); ++i) {
        const auto name = keyName(lines[i].content);
        if (name && sameName(*name, key)) {
            lines[i].content = std::string(*name) + "=" + std::string(value);
            return joinLines(lines);
        }
        if (!trimmed(lines[i].content).empty())
            insertAfter = i;
    }
    if (lines[insertAfter].ending.empty())
        lines[insertAfter].ending = lineBreak;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAfter) + 1, Line{keyLine, lineBreak});
    return joinLines(lines);
}

std::optional<std::string> iniValue(std::string_view text, std::string_view section, std::string_view key)
{
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    // Every byte order mark at the start is passed over, as setIniValue() does.
    while (text.substr(0, byteOrderMark.size()) == byteOrderMark)
        text.remove_prefix(byteOrderMark.size());
    const std::vector<Line> lines = splitLines(text);
    std::size_t index = 0;
    while (index < lines.size() && !isHeaderOf(lines[index].content, section))
        ++index;
    for (std::size_t i = index + 1; i < lines.size() && !sectionName(lines[i].content); ++i) {
        const auto name = keyName(lines[i].content);
        if (!name || !sameName(*name, key))
            continue;
        std::string_view value = trimmed(std::string_view(lines[i].content).substr(lines[i].content.find('=') + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

} // namespace vidlume
