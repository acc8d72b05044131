#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vidlume::test {

/// Writes bits, most significant first, and H.264's Exp-Golomb codes.
struct BitWriter
{
    std::vector<unsigned char> bytes;
    int used = 8;
    void bit(unsigned value)
    {
        if (used == 8) {
            bytes.push_back(0);
            used = 0;
        }
        bytes.back() |= static_cast<unsigned char>((value & 1) << (7 - used++));
    }
    void bits(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit(value >> i);
    }
    void golomb(std::uint32_t value)
    {
        const std::uint64_t code = std::uint64_t{value} + 1;
        int length = 0;
        while ((code >> length) > 1)
            ++length;
        bits(0, length);
        for (int i = length; i >= 0; --i)
            bit(static_cast<unsigned>(code >> i));
    }
};

/// An H.264 SPS NAL unit of a High 4:4:4 stream with a picture of the given
/// size in macroblocks, and a scaling matrix to step over on the way.
inline std::string craftedSps(std::uint32_t widthInMacroblocks, std::uint32_t heightInMacroblocks)
{
    BitWriter w;
    w.bits(0x67, 8);  // NAL header: SPS
    w.bits(244, 8);   // profile_idc: High 4:4:4 Predictive
    w.bits(0, 8);     // constraint flags
    w.bits(51, 8);    // level_idc
    w.golomb(0);      // seq_parameter_set_id
    w.golomb(3);      // chroma_format_idc 4:4:4
    w.bit(0);         // separate_colour_plane_flag
    w.golomb(0);      // bit_depth_luma_minus8
    w.golomb(0);      // bit_depth_chroma_minus8
    w.bit(0);         // qpprime_y_zero_transform_bypass_flag
    w.bit(1);         // seq_scaling_matrix_present_flag
    for (int i = 0; i < 12; ++i) {
        w.bit(i == 0); // only the first list is there
        if (i == 0)
            for (int j = 0; j < 16; ++j)
                w.golomb(j == 0 ? 2 : 0); // delta_scale, signed: +1 then 0
    }
    w.golomb(0);      // log2_max_frame_num_minus4
    w.golomb(0);      // pic_order_cnt_type
    w.golomb(0);      // log2_max_pic_order_cnt_lsb_minus4
    w.golomb(1);      // max_num_ref_frames
    w.bit(0);         // gaps_in_frame_num_value_allowed_flag
    w.golomb(widthInMacroblocks - 1);
    w.golomb(heightInMacroblocks - 1);
    w.bit(1);         // frame_mbs_only_flag
    w.bit(1);         // direct_8x8_inference_flag
    w.bit(0);         // frame_cropping_flag
    w.bit(0);         // vui_parameters_present_flag
    w.bit(1);         // rbsp_stop_one_bit
    std::string nal;
    // Emulation prevention: no two zero bytes followed by one of 0 to 3.
    for (unsigned char byte : w.bytes) {
        if (nal.size() >= 2 && nal[nal.size() - 1] == '\0' && nal[nal.size() - 2] == '\0' && byte <= 3)
            nal.push_back(3);
        nal.push_back(static_cast<char>(byte));
    }
    return nal;
}

/// The data of an FLV video tag that is an H.264 sequence header holding the SPS.
inline std::string sequenceHeaderTagData(const std::string& sps)
{
    std::string data = {'\x17', 0, 0, 0, 0, 1, static_cast<char>(244), 0, 51, static_cast<char>(0xFF),
                        static_cast<char>(0xE1), static_cast<char>(sps.size() >> 8), static_cast<char>(sps.size())};
    return data + sps + std::string(1, '\0'); // no PPS
}

} // namespace vidlume::test
