#include "media/FlvCodec.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume {

namespace {

constexpr std::uint64_t headerSize = 9;
constexpr std::uint64_t tagHeaderSize = 11;
constexpr std::uint64_t previousTagSizeField = 4;
constexpr int audioTagType = 8;
constexpr int videoTagType = 9;
constexpr int scriptTagType = 18;
/// Tags whose data the walk reads are no larger than this.
constexpr std::uint32_t largestReadTag = 64 * 1024;
/// The walk looks for the next sound tag in pieces of this size.
constexpr std::size_t resyncWindow = 64 * 1024;

std::uint32_t bigEndian(const std::uint8_t* bytes, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

/// Reads up to count bytes at offset; how many it got.
std::size_t readAt(int fd, std::uint64_t offset, std::uint8_t* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const long long got = platform::readAt(fd, out + done, count - done, offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

/// The walk's reads: a tag header, the size field and header behind the tag,
/// a sequence header's first bytes. Each small read is served from a piece of
/// the file read once, so a walk makes about one system call per tag rather
/// than three or four.
class PieceReader
{
public:
    explicit PieceReader(int fd) : m_fd(fd) {}

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t count)
    {
        if (count == 0)
            return 0;
        if (count > pieceSize / 2)
            return readAt(m_fd, offset, out, count);
        if (offset < m_start || offset + count > m_start + m_length) {
            m_start = offset;
            m_length = readAt(m_fd, offset, m_piece.data(), m_piece.size());
        }
        const std::size_t available = offset >= m_start && offset < m_start + m_length
                                          ? static_cast<std::size_t>(m_start + m_length - offset)
                                          : 0;
        const std::size_t got = std::min(count, available);
        if (got > 0)
            std::memcpy(out, m_piece.data() + (offset - m_start), got);
        return got;
    }

private:
    // Enough for a sound tag or two of a typical file; larger tags are skipped
    // over, and each read of a piece copies no more than this.
    static constexpr std::size_t pieceSize = 2048;
    int m_fd;
    std::array<std::uint8_t, pieceSize> m_piece{};
    std::uint64_t m_start = 0;
    std::uint64_t m_length = 0;
};

bool isFlvHeader(const std::uint8_t* bytes)
{
    return bytes[0] == 'F' && bytes[1] == 'L' && bytes[2] == 'V' && bytes[3] == 1 &&
           bigEndian(bytes + 5, 4) >= headerSize;
}

/// A tag header that could be one: a known type, no reserved bits, stream id 0.
bool soundTagHeader(const std::uint8_t* header)
{
    const int type = header[0];
    return (type == audioTagType || type == videoTagType || type == scriptTagType) &&
           bigEndian(header + 8, 3) == 0;
}

/// Reads bits of an H.264 NAL unit's payload, its emulation prevention bytes removed.
class BitReader
{
public:
    BitReader(const std::uint8_t* data, std::size_t size)
    {
        for (std::size_t i = 0; i < size; ++i) {
            if (i >= 2 && data[i] == 3 && data[i - 1] == 0 && data[i - 2] == 0)
                continue;
            m_bytes.push_back(data[i]);
        }
    }
    bool failed() const { return m_failed; }
    std::uint32_t bits(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_position >= m_bytes.size() * 8) {
                m_failed = true;
                return 0;
            }
            value = (value << 1) | ((m_bytes[m_position / 8] >> (7 - m_position % 8)) & 1);
            ++m_position;
        }
        return value;
    }
    std::uint32_t unsignedGolomb()
    {
        int zeros = 0;
        while (!m_failed && bits(1) == 0)
            if (++zeros > 31) {
                m_failed = true;
                return 0;
            }
        return zeros == 0 ? 0 : (1u << zeros) - 1 + bits(zeros);
    }
    std::int32_t signedGolomb()
    {
        const std::uint32_t code = unsignedGolomb();
        return code & 1 ? static_cast<std::int32_t>((code + 1) / 2) : -static_cast<std::int32_t>(code / 2);
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_failed = false;
};

void skipScalingList(BitReader& reader, int size)
{
    int last = 8;
    int next = 8;
    for (int i = 0; i < size && !reader.failed(); ++i) {
        // A damaged delta can be any 32-bit value: add in 64 bits, keep the value in 0..255.
        if (next != 0)
            next = static_cast<int>(((last + static_cast<std::int64_t>(reader.signedGolomb())) % 256 + 256) % 256);
        last = next == 0 ? last : next;
    }
}

/// The number that follows key in AMF0 data ("\0\5width\0" and a big-endian double); 0 when none.
int amfNumber(const std::uint8_t* data, std::size_t size, const std::string& key)
{
    std::string pattern;
    pattern += static_cast<char>(0);
    pattern += static_cast<char>(key.size());
    pattern += key;
    pattern += static_cast<char>(0); // number
    const auto* end = data + size;
    const auto* found = std::search(data, end, pattern.begin(), pattern.end(),
                                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (end - found < static_cast<std::ptrdiff_t>(pattern.size() + 8))
        return 0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = (bits << 8) | found[pattern.size() + i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) && value >= 1 && value < 1e6 ? static_cast<int>(value) : 0;
}

class TagWalk
{
public:
    TagWalk(int fd, std::uint64_t size) : m_reader(fd), m_size(size) {}

    FlvLayout run()
    {
        std::array<std::uint8_t, headerSize> header{};
        if (m_size < headerSize || m_reader.read(0, header.data(), headerSize) < headerSize ||
            !isFlvHeader(header.data()))
            return m_layout;
        m_layout.flv = true;
        m_layout.parts = 1;
        const std::uint64_t body = std::min<std::uint64_t>(m_size, bigEndian(&header[5], 4) + previousTagSizeField);
        keep(0, body);
        walkFrom(body);
        return m_layout;
    }

private:
    void keep(std::uint64_t offset, std::uint64_t size)
    {
        if (!m_layout.kept.empty() && m_layout.kept.back().offset + m_layout.kept.back().size == offset)
            m_layout.kept.back().size += size;
        else
            m_layout.kept.push_back({offset, size});
    }

    void walkFrom(std::uint64_t position)
    {
        std::array<std::uint8_t, tagHeaderSize> header{};
        while (position < m_size) {
            const std::size_t got = m_reader.read(position, header.data(), header.size());
            if (got >= headerSize && isFlvHeader(header.data())) {
                // A further FLV joined behind: its header and PreviousTagSize0 go.
                ++m_layout.parts;
                position += bigEndian(&header[5], 4) + previousTagSizeField;
                continue;
            }
            if (got < tagHeaderSize) {
                // The rest is too short for a tag: a file cut short.
                keep(position, m_size - position);
                m_layout.endsInTag = true;
                return;
            }
            const std::uint64_t end = position + tagHeaderSize + bigEndian(&header[1], 3);
            if (soundTagHeader(header.data()) && end == m_size) {
                look(header.data(), position);
                keep(position, m_size - position);
                return;
            }
            if (soundTagHeader(header.data()) && end > m_size) {
                // The last tag of a file cut short, or a size field damaged
                // in the middle of a file: then whole tags follow.
                const std::uint64_t next = nextTagAfter(position);
                if (next < m_size) {
                    ++m_layout.damaged;
                    position = next;
                    continue;
                }
                keep(position, m_size - position);
                m_layout.endsInTag = true;
                return;
            }
            if (tagCounts(position)) {
                look(header.data(), position);
                const std::uint64_t next = std::min(end + previousTagSizeField, m_size);
                keep(position, next - position);
                position = next;
                continue;
            }
            ++m_layout.damaged;
            position = nextTagAfter(position);
        }
    }

    /// True when a sound tag header is at position and its size is confirmed:
    /// by the PreviousTagSize after it, or by a sound tag header, a joined FLV
    /// or the file's end right after that.
    bool tagCounts(std::uint64_t position) const
    {
        std::array<std::uint8_t, tagHeaderSize> header{};
        if (m_reader.read(position, header.data(), header.size()) < tagHeaderSize || !soundTagHeader(header.data()))
            return false;
        const std::uint32_t dataSize = bigEndian(&header[1], 3);
        const std::uint64_t end = position + tagHeaderSize + dataSize;
        if (end > m_size)
            return false;
        std::array<std::uint8_t, previousTagSizeField + tagHeaderSize> after{};
        const std::size_t got = m_reader.read(end, after.data(), after.size());
        if (got < previousTagSizeField)
            return end == m_size || got == m_size - end;
        if (bigEndian(after.data(), 4) == tagHeaderSize + dataSize)
            return true;
        if (got == previousTagSizeField)
            return false;
        const std::uint8_t* next = after.data() + previousTagSizeField;
        return (got == after.size() && soundTagHeader(next)) || (got >= previousTagSizeField + headerSize && isFlvHeader(next));
    }

    /// The first position after position where a counting tag or a joined FLV
    /// starts; the file's size when there is none.
    std::uint64_t nextTagAfter(std::uint64_t position) const
    {
        std::vector<std::uint8_t> window(resyncWindow + tagHeaderSize);
        for (std::uint64_t start = position + 1; start < m_size; start += resyncWindow) {
            const std::size_t got = m_reader.read(start, window.data(), window.size());
            for (std::size_t i = 0; i + headerSize <= got && i < resyncWindow; ++i) {
                const std::uint8_t* at = window.data() + i;
                if (isFlvHeader(at))
                    return start + i;
                if (i + tagHeaderSize <= got && soundTagHeader(at) && tagCounts(start + i))
                    return start + i;
            }
        }
        return m_size;
    }

    /// Takes the picture sizes from the tags that name them.
    void look(const std::uint8_t* header, std::uint64_t position)
    {
        const int type = header[0];
        const std::uint32_t dataSize = bigEndian(header + 1, 3);
        std::array<std::uint8_t, 2> start{};
        if (type == videoTagType && dataSize >= 1 && m_reader.read(position + tagHeaderSize, start.data(), 1) == 1)
            lookAtCodec(start[0]);
        if (type == audioTagType && dataSize >= 1)
            lookAtSound(position, dataSize);
        if ((type != scriptTagType && type != videoTagType) || dataSize > largestReadTag)
            return;
        if (type == videoTagType &&
            (m_reader.read(position + tagHeaderSize, start.data(), 2) < 2 || (start[0] & 0x0F) != 7 || start[1] != 0))
            return; // not an H.264 sequence header
        if (type == scriptTagType && m_metadataRead)
            return;
        std::vector<std::uint8_t> data(dataSize);
        data.resize(m_reader.read(position + tagHeaderSize, data.data(), data.size()));
        if (type == scriptTagType) {
            m_metadataRead = true;
            m_layout.metadataWidth = amfNumber(data.data(), data.size(), "width");
            m_layout.metadataHeight = amfNumber(data.data(), data.size(), "height");
            return;
        }
        lookAtSequenceHeader(data);
    }

    /// The codec of a video tag, from its first byte; a frame of commands
    /// (type 5) carries no picture.
    void lookAtCodec(std::uint8_t first)
    {
        if (first >> 4 == 5)
            return;
        const int codec = first & 0x0F;
        if (m_videoCodec < 0)
            m_videoCodec = codec;
        else if (codec != m_videoCodec)
            m_layout.videoChanges = true;
    }

    /// A sound tag's first byte (codec, rate, sample size, channels) and, in
    /// an AAC sequence header, the configuration after it.
    void lookAtSound(std::uint64_t position, std::uint32_t dataSize)
    {
        std::array<std::uint8_t, 2> start{};
        const std::size_t wanted = std::min<std::uint32_t>(2, dataSize);
        if (m_reader.read(position + tagHeaderSize, start.data(), wanted) < wanted)
            return;
        if (!m_soundFormat)
            m_soundFormat = start[0];
        else if (start[0] != *m_soundFormat)
            m_layout.soundChanges = true;
        constexpr int aac = 10;
        if (start[0] >> 4 != aac || dataSize < 2 || start[1] != 0 || dataSize > largestReadTag)
            return;
        std::vector<std::uint8_t> config(dataSize - 2);
        config.resize(m_reader.read(position + tagHeaderSize + 2, config.data(), config.size()));
        if (!m_firstSoundConfig)
            m_firstSoundConfig = config;
        else if (config != *m_firstSoundConfig)
            m_layout.soundChanges = true;
    }

    /// The SPSs of an AVCDecoderConfigurationRecord, behind the video tag's 5 bytes.
    void lookAtSequenceHeader(const std::vector<std::uint8_t>& data)
    {
        // Another configuration than the first one's: pictures that one
        // decoder configuration in an MP4 cannot describe.
        const std::vector<std::uint8_t> record(data.begin() + std::min<std::size_t>(5, data.size()), data.end());
        if (!m_firstRecord)
            m_firstRecord = record;
        else if (record != *m_firstRecord)
            m_layout.videoChanges = true;

        std::size_t at = 5 + 5;
        if (data.size() <= at)
            return;
        const int count = data[at++] & 0x1F;
        for (int i = 0; i < count && at + 2 <= data.size(); ++i) {
            const std::size_t length = bigEndian(&data[at], 2);
            at += 2;
            if (at + length > data.size())
                return;
            int width = 0;
            int height = 0;
            if (h264PictureSize(&data[at], length, width, height)) {
                m_layout.largestCodedWidth = std::max(m_layout.largestCodedWidth, width);
                m_layout.largestCodedHeight = std::max(m_layout.largestCodedHeight, height);
            }
            at += length;
        }
    }

    mutable PieceReader m_reader; // the const checks read too
    std::uint64_t m_size;
    bool m_metadataRead = false;
    int m_videoCodec = -1;
    std::optional<std::vector<std::uint8_t>> m_firstRecord;
    std::optional<std::uint8_t> m_soundFormat;
    std::optional<std::vector<std::uint8_t>> m_firstSoundConfig;
    FlvLayout m_layout;
};

} // namespace

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

std::string flvSoundCodecName(int codecId)
{
    return codecId == 15 ? "device-specific sound" : "unknown codec " + std::to_string(codecId);
}

FlvLayout walkFlvTags(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return TagWalk(fd, static_cast<std::uint64_t>(info.st_size)).run();
}

bool h264PictureSize(const std::uint8_t* escapedNal, std::size_t escapedSize, int& width, int& height)
{
    if (escapedSize < 4 || (escapedNal[0] & 0x1F) != 7)
        return false;
    // The fields lie in the unit's payload, without the 3 that keeps 00 00 0x
    // from looking like a start code; a parameter set this long is no real one.
    std::vector<std::uint8_t> payload;
    payload.reserve(std::min<std::size_t>(escapedSize, 4096));
    int zeros = 0;
    for (std::size_t i = 0; i < escapedSize && payload.size() < 4096; ++i) {
        if (zeros >= 2 && escapedNal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = escapedNal[i] == 0 ? zeros + 1 : 0;
        payload.push_back(escapedNal[i]);
    }
    const std::uint8_t* nal = payload.data();
    const std::size_t size = payload.size();
    BitReader reader(nal + 1, size - 1);
    const std::uint32_t profile = reader.bits(8);
    reader.bits(16); // constraint flags, level
    reader.unsignedGolomb(); // seq_parameter_set_id
    int chromaFormat = 1;
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135:
        chromaFormat = static_cast<int>(reader.unsignedGolomb());
        if (chromaFormat == 3)
            reader.bits(1); // separate_colour_plane_flag
        reader.unsignedGolomb(); // bit depths
        reader.unsignedGolomb();
        reader.bits(1); // qpprime_y_zero_transform_bypass_flag
        if (reader.bits(1)) // seq_scaling_matrix_present_flag
            for (int i = 0; i < (chromaFormat == 3 ? 12 : 8); ++i)
                if (reader.bits(1))
                    skipScalingList(reader, i < 6 ? 16 : 64);
        break;
    default:
        break;
    }
    reader.unsignedGolomb(); // log2_max_frame_num_minus4
    const std::uint32_t orderType = reader.unsignedGolomb();
    if (orderType == 0) {
        reader.unsignedGolomb();
    } else if (orderType == 1) {
        reader.bits(1);
        reader.signedGolomb();
        reader.signedGolomb();
        const std::uint32_t cycle = std::min<std::uint32_t>(reader.unsignedGolomb(), 255);
        for (std::uint32_t i = 0; i < cycle && !reader.failed(); ++i)
            reader.signedGolomb();
    }
    reader.unsignedGolomb(); // max_num_ref_frames
    reader.bits(1);          // gaps_in_frame_num_value_allowed_flag
    const std::uint64_t widthInMacroblocks = std::uint64_t{reader.unsignedGolomb()} + 1;
    const std::uint64_t heightInMapUnits = std::uint64_t{reader.unsignedGolomb()} + 1;
    const std::uint64_t frameMbsOnly = reader.bits(1);
    if (reader.failed())
        return false;
    const std::uint64_t w = widthInMacroblocks * 16;
    const std::uint64_t h = heightInMapUnits * 16 * (2 - frameMbsOnly);
    width = static_cast<int>(std::min<std::uint64_t>(w, 1u << 30));
    height = static_cast<int>(std::min<std::uint64_t>(h, 1u << 30));
    return true;
}

bool largestPictureInPacket(const std::uint8_t* data, std::size_t size, int lengthSize, int& width, int& height)
{
    if (lengthSize < 1 || lengthSize > 4)
        return false;
    bool found = false;
    std::size_t at = 0;
    while (size - at > std::size_t(lengthSize)) {
        std::size_t length = 0;
        for (int i = 0; i < lengthSize; ++i)
            length = length << 8 | data[at + i];
        at += std::size_t(lengthSize);
        if (length > size - at)
            break;
        int unitWidth = 0;
        int unitHeight = 0;
        if (length > 0 && h264PictureSize(data + at, length, unitWidth, unitHeight)) {
            width = found ? std::max(width, unitWidth) : unitWidth;
            height = found ? std::max(height, unitHeight) : unitHeight;
            found = true;
        }
        at += length;
    }
    return found;
}

} // namespace vidlume
