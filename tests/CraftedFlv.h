#pragma once

// Hostile FLVs made byte by byte, for the tests and the benchmarks.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vidlume::test {

/// Writes H.264 bits: fixed-width fields and the exp-Golomb codes of
/// parameter sets and slice headers.
class BitWriter
{
public:
    void bits(int count, unsigned value)
    {
        for (int i = count - 1; i >= 0; --i)
            m_bits.push_back((value >> i) & 1);
    }
    void ue(unsigned value)
    {
        const unsigned coded = value + 1;
        int width = 0;
        while ((coded >> width) > 1)
            ++width;
        bits(width, 0);
        bits(width + 1, coded);
    }
    /// The bytes with the stop bit, as a NAL unit's payload with emulation prevention.
    std::string nal(unsigned char header)
    {
        m_bits.push_back(1);
        while (m_bits.size() % 8)
            m_bits.push_back(0);
        std::string out(1, static_cast<char>(header));
        int zeros = 0;
        for (std::size_t i = 0; i < m_bits.size(); i += 8) {
            unsigned char byte = 0;
            for (int b = 0; b < 8; ++b)
                byte = static_cast<unsigned char>(byte << 1 | m_bits[i + b]);
            if (zeros >= 2 && byte <= 3) {
                out += '\3';
                zeros = 0;
            }
            out += static_cast<char>(byte);
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    std::vector<int> m_bits;
};

inline std::string bigEndian(std::uint64_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((value >> (8 * i)) & 0xff);
    return out;
}

inline std::string flvTag(int type, std::uint32_t time, const std::string& data)
{
    return std::string(1, static_cast<char>(type)) + bigEndian(data.size(), 3) + bigEndian(time & 0xffffff, 3) +
           static_cast<char>(time >> 24) + bigEndian(0, 3) + data + bigEndian(data.size() + 11, 4);
}

inline std::string amfNumber(const std::string& key, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bigEndian(key.size(), 2) + key + '\0' + bigEndian(bits, 8);
}

/// An FLV of H.264 4:4:4 whose parameter set and metadata both say
/// width x height (the metadata may say otherwise), with a second of damaged key frames: small on disk, but
/// decoding and encoding it again take memory in proportion to the picture.
inline std::string craftedH264Flv(unsigned width, unsigned height, unsigned metadataWidth = 0,
                                  unsigned metadataHeight = 0)
{
    BitWriter sps;
    sps.bits(8, 244); // High 4:4:4 Predictive
    sps.bits(8, 0);
    sps.bits(8, 51);
    sps.ue(0);        // its id
    sps.ue(3);        // 4:4:4
    sps.bits(1, 0);
    sps.ue(0);
    sps.ue(0);
    sps.bits(2, 0);
    sps.ue(0);        // frame numbers of 4 bits
    sps.ue(2);        // picture order from the frame numbers
    sps.ue(1);
    sps.bits(1, 0);
    sps.ue(width / 16 - 1);
    sps.ue(height / 16 - 1);
    sps.bits(4, 0b1100); // frames only, direct 8x8, no cropping, no VUI
    BitWriter pps;
    for (unsigned value : {0u, 0u})
        pps.ue(value);
    pps.bits(2, 0);
    for (unsigned value : {0u, 0u, 0u})
        pps.ue(value);
    pps.bits(3, 0);
    for (unsigned value : {0u, 0u, 0u})
        pps.ue(value);
    pps.bits(3, 0b100);
    const std::string spsNal = sps.nal(0x67), ppsNal = pps.nal(0x68);
    const std::string avcc = std::string("\1\xf4\0\x33\xff\xe1", 6) + bigEndian(spsNal.size(), 2) + spsNal + '\1' +
                             bigEndian(ppsNal.size(), 2) + ppsNal;
    const std::string metadata = std::string("\2", 1) + bigEndian(10, 2) + "onMetaData" + '\x08' + bigEndian(3, 4) +
                                 amfNumber("width", metadataWidth ? metadataWidth : width) +
                                 amfNumber("height", metadataHeight ? metadataHeight : height) +
                                 amfNumber("framerate", 25) + std::string("\0\0\x09", 3);
    std::string flv = std::string("FLV\1\1\0\0\0\x09\0\0\0\0", 13) + flvTag(18, 0, metadata) +
                      flvTag(9, 0, std::string("\x17\0\0\0\0", 5) + avcc);
    for (std::uint32_t frame = 0; frame < 25; ++frame) {
        BitWriter slice;
        for (unsigned value : {0u, 7u, 0u}) // first block, an I slice, its parameter set
            slice.ue(value);
        slice.bits(4, 0); // frame number
        slice.ue(0);      // key frame id
        slice.bits(2, 0); // reference marking
        slice.ue(0);      // no change of quantiser
        slice.ue(0);      // deblocking on
        const std::string nal = slice.nal(0x65) + std::string(200, '\0');
        flv += flvTag(9, frame * 40, std::string("\x17\1\0\0\0", 5) + bigEndian(nal.size(), 4) + nal);
    }
    return flv;
}


} // namespace vidlume::test
