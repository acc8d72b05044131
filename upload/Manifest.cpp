#include "upload/Manifest.h"

#include <charconv>

namespace vidlume::upload {

namespace {

constexpr std::string_view firstLine = "vidlume-upload-manifest 1";
// Sizes past 2^53 bytes are no file anybody uploads; a larger number is damage.
constexpr std::uint64_t largestSize = std::uint64_t(1) << 53;

std::string escaped(const std::string& path)
{
    std::string text;
    for (const char c : path) {
        if (c == '%')
            text += "%25";
        else if (c == '\n')
            text += "%0A";
        else if (c == '\r')
            text += "%0D";
        else
            text += c;
    }
    return text;
}

std::optional<std::string> unescaped(std::string_view text)
{
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            path += text[i];
            continue;
        }
        const std::string_view code = text.substr(i + 1, 2);
        if (code == "25")
            path += '%';
        else if (code == "0A")
            path += '\n';
        else if (code == "0D")
            path += '\r';
        else
            return std::nullopt;
        i += 2;
    }
    return path;
}

bool isDigest(std::string_view text)
{
    if (text.size() != 64)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::optional<std::uint64_t> sizeOf(std::string_view text)
{
    if (text.empty() || text.size() > 16 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > largestSize)
        return std::nullopt;
    return value;
}

} // namespace

bool isSafeRelativePath(std::string_view path)
{
    if (path.empty() || path.size() > 4096 || path.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

std::string writeManifest(const Manifest& manifest)
{
    std::string text = std::string(firstLine) + "\n";
    for (const auto& [path, entry] : manifest)
        text += entry.sha256 + " " + std::to_string(entry.size) + " " + escaped(path) + "\n";
    return text;
}

std::optional<Manifest> readManifest(std::string_view text)
{
    if (text.size() > manifestMaxBytes)
        return std::nullopt;
    if (text.substr(0, firstLine.size() + 1) != std::string(firstLine) + "\n")
        return std::nullopt;
    text.remove_prefix(firstLine.size() + 1);
    Manifest manifest;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt; // cut short: the last line has no line break
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t first = line.find(' ');
        const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos)
            return std::nullopt;
        const std::string_view digest = line.substr(0, first);
        const auto size = sizeOf(line.substr(first + 1, second - first - 1));
        const auto path = unescaped(line.substr(second + 1));
        if (!isDigest(digest) || !size || !path || !isSafeRelativePath(*path))
            return std::nullopt;
        if (manifest.size() >= manifestMaxEntries ||
            !manifest.emplace(*path, ManifestEntry{*size, std::string(digest)}).second)
            return std::nullopt;
    }
    return manifest;
}

} // namespace vidlume::upload
