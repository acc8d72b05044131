#include "media/FlvCodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace vidlume {

namespace {

constexpr std::size_t headerSize = 9;
constexpr std::size_t tagHeaderSize = 11;
constexpr std::size_t previousTagSizeField = 4;
constexpr int videoTagType = 9;

// Real files put the first video tag within the first few tags (a script tag
// and perhaps some audio before it); a file without one there is treated as
// holding no video rather than walked to its end.
constexpr int maxTagsWalked = 500;
constexpr std::uint64_t maxOffsetWalked = 8ull << 20;

std::uint32_t bigEndian(const unsigned char* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// Reads exactly count bytes at offset; false when the file has fewer there.
bool readAt(std::ifstream& file, std::uint64_t offset, unsigned char* out, std::size_t count)
{
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return static_cast<std::size_t>(file.gcount()) == count;
}

} // namespace

FlvProbe probeFlvVideoCodec(const std::string& path)
{
    // Only a plain file is read: opening a pipe would wait for its writer, and
    // reading it would take bytes away from the copy of the video.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {FlvProbeStatus::Unreadable};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {FlvProbeStatus::Unreadable};
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    if (end < 0)
        return {FlvProbeStatus::Unreadable};
    const auto fileSize = static_cast<std::uint64_t>(end);

    std::array<unsigned char, headerSize> header{};
    if (!readAt(file, 0, header.data(), header.size()))
        return {fileSize >= 3 && std::equal(header.begin(), header.begin() + 3, "FLV")
                    ? FlvProbeStatus::Truncated
                    : FlvProbeStatus::NotFlv};
    if (header[0] != 'F' || header[1] != 'L' || header[2] != 'V')
        return {FlvProbeStatus::NotFlv};
    const std::uint32_t dataOffset = bigEndian(&header[5], 4);
    if (dataOffset < headerSize)
        return {FlvProbeStatus::NotFlv};

    // The body is PreviousTagSize0, then tags, each followed by its PreviousTagSize.
    std::uint64_t offset = std::uint64_t{dataOffset} + previousTagSizeField;
    for (int tag = 0; tag < maxTagsWalked && offset <= maxOffsetWalked; ++tag) {
        if (offset == fileSize)
            return {FlvProbeStatus::NoVideo};
        std::array<unsigned char, tagHeaderSize> tagHeader{};
        if (!readAt(file, offset, tagHeader.data(), tagHeader.size()))
            return {FlvProbeStatus::Truncated};
        const int type = tagHeader[0] & 0x1F;
        const std::uint32_t dataSize = bigEndian(&tagHeader[1], 3);
        if (type == videoTagType) {
            unsigned char first = 0;
            if (dataSize == 0 || !readAt(file, offset + tagHeaderSize, &first, 1))
                return {FlvProbeStatus::Truncated};
            return {FlvProbeStatus::Video, first & 0x0F};
        }
        offset += tagHeaderSize + dataSize + previousTagSizeField;
        if (offset > fileSize)
            return {FlvProbeStatus::Truncated};
    }
    return {FlvProbeStatus::NoVideo};
}

std::string flvVideoCodecName(int codecId)
{
    switch (codecId) {
    case 2:
        return "Sorenson H.263";
    case 3:
        return "Screen video";
    case 4:
        return "On2 VP6";
    case 5:
        return "On2 VP6 with alpha channel";
    case 6:
        return "Screen video version 2";
    case 7:
        return "H.264 (AVC)";
    case 12:
        return "HEVC";
    default:
        return "unknown codec " + std::to_string(codecId);
    }
}

std::optional<std::string> html5CodecWarning(const FlvProbe& probe, const std::string& videoName)
{
    const std::string cannot = videoName + ": the HTML5 player cannot play this video";
    switch (probe.status) {
    case FlvProbeStatus::Video:
        if (probe.codecId == 7 || probe.codecId == 12)
            return std::nullopt;
        return cannot + "'s codec, " + flvVideoCodecName(probe.codecId) + " (it plays H.264 and HEVC)";
    case FlvProbeStatus::NotFlv:
        return cannot + ": it is not an FLV file";
    case FlvProbeStatus::Truncated:
        return cannot + ": the file ends before its first video frame";
    case FlvProbeStatus::NoVideo:
    case FlvProbeStatus::Unreadable:
        break;
    }
    return std::nullopt;
}

} // namespace vidlume
