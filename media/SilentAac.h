#pragma once

extern "C" {
#include <libavcodec/codec_par.h>
}

#include <cstdint>
#include <vector>

namespace vidlume::media {

/// One AAC frame of silence (1024 samples) that plays in a copied AAC-LC
/// track of these parameters: made by FFmpeg's own encoder at the track's
/// rate and channels. Empty for another kind of AAC (HE-AAC, whose frames
/// carry more than LC does) or when the encoder cannot make it.
std::vector<std::uint8_t> silentAacFrame(const AVCodecParameters& parameters);

} // namespace vidlume::media
