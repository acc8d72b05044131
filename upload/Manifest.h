#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vidlume::upload {

/// The name of the manifest in the remote folder: what Vidlume sent there,
/// file by file, with each file's size and SHA-256.
inline constexpr const char* manifestName = ".vidlume-upload";

/// The largest manifest read; a larger one is taken as damaged.
inline constexpr std::size_t manifestMaxBytes = 16u << 20;
inline constexpr std::size_t manifestMaxEntries = 200000;

struct ManifestEntry
{
    std::uint64_t size = 0;
    std::string sha256; // 64 lower-case hexadecimal digits
    bool operator==(const ManifestEntry&) const = default;
};

/// Relative paths ("clips/index.htm", "/" between folders) and their entries.
using Manifest = std::map<std::string, ManifestEntry>;

/// The manifest's text: a first line that names the format, then one line per
/// file, "SHA256 SIZE PATH", the path's "%", carriage returns and line breaks
/// written as %25, %0D and %0A.
std::string writeManifest(const Manifest& manifest);

/// Reads a manifest that came from a server. Anything it does not expect (a
/// foreign format, a bad digest or size, a path that is absolute, empty, has
/// "." or ".." parts or a NUL, the same path twice, too many lines or bytes)
/// gives nothing: the caller then sends everything.
std::optional<Manifest> readManifest(std::string_view text);

/// True for a relative path the manifest may hold: parts separated by single
/// "/", none empty, "." or "..", no NUL, at most 4096 bytes.
bool isSafeRelativePath(std::string_view path);

} // namespace vidlume::upload
