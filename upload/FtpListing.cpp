#include "upload/FtpListing.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace vidlume::upload {

namespace {

constexpr std::size_t largestLine = 8192;

bool isMonth(std::string_view word)
{
    static const std::array<std::string_view, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (word.size() != 3)
        return false;
    for (std::string_view month : months) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i)
            same = same && (word[i] | 0x20) == month[i];
        if (same)
            return true;
    }
    return false;
}

std::optional<std::uint64_t> number(std::string_view word)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || error != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

/// The line's words up to count, and where the text after the last of them starts.
std::vector<std::string_view> words(std::string_view line, std::size_t count, std::size_t& rest)
{
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (found.size() < count) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        if (at == line.size())
            break;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        found.push_back(line.substr(start, at - start));
    }
    // One blank separates the date from the name; a name may start with more.
    rest = at < line.size() ? at + 1 : at;
    return found;
}

bool acceptableName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

std::optional<RemoteEntry> unixLine(std::string_view line)
{
    // type+permissions, links, owner, group, size, month, day, time or year, name;
    // some servers leave out the group.
    for (const std::size_t fields : {std::size_t(8), std::size_t(7)}) {
        std::size_t rest = 0;
        const auto found = words(line, fields, rest);
        if (found.size() != fields || found[0].size() < 10 || !isMonth(found[fields - 3]))
            continue;
        const auto size = number(found[fields - 4]);
        if (!size)
            continue;
        RemoteEntry entry;
        entry.name = std::string(line.substr(rest));
        const char type = found[0][0];
        entry.isFolder = type == 'd';
        entry.isFile = type == '-';
        if (type == 'l') {
            const auto arrow = entry.name.find(" -> ");
            if (arrow != std::string::npos)
                entry.name.resize(arrow);
        }
        entry.size = entry.isFile ? *size : 0;
        if (!acceptableName(entry.name))
            return std::nullopt;
        return entry;
    }
    return std::nullopt;
}

std::optional<RemoteEntry> windowsLine(std::string_view line)
{
    std::size_t rest = 0;
    const auto found = words(line, 3, rest);
    if (found.size() != 3 || found[0].size() < 8 || found[0][2] != '-' || found[1].size() < 5 ||
        found[1][2] != ':')
        return std::nullopt;
    while (rest < line.size() && line[rest] == ' ')
        ++rest;
    RemoteEntry entry;
    entry.name = std::string(line.substr(rest));
    if (found[2] == "<DIR>") {
        entry.isFolder = true;
    } else {
        const auto size = number(found[2]);
        if (!size)
            return std::nullopt;
        entry.isFile = true;
        entry.size = *size;
    }
    if (!acceptableName(entry.name))
        return std::nullopt;
    return entry;
}

} // namespace

std::vector<RemoteEntry> parseFtpListing(std::string_view text)
{
    std::vector<RemoteEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > largestLine)
            continue;
        if (auto entry = unixLine(line))
            entries.push_back(std::move(*entry));
        else if (auto entry = windowsLine(line))
            entries.push_back(std::move(*entry));
    }
    return entries;
}

} // namespace vidlume::upload
