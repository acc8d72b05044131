#pragma once

#include "media/LibraryHandles.h"

#include <functional>
#include <memory>
#include <string>

namespace vidlume::media {

/// Takes an encoded packet, its times in the encoder's time base; returns 0 or an AVERROR.
using PacketSink = std::function<int(AVPacket* packet)>;

/// The H.264 encoder of a re-encode: decoded pictures of any format and size
/// in, yuv420p pictures of the first picture's size (made even) out, in the
/// source's time base.
class VideoEncoder
{
public:
    struct Settings
    {
        std::string preset;
        int crf = 23;
        std::string profile;
        int threads = 0; ///< 0: one per processor
    };

    /// Opens libx264 for pictures of the stream's size at frameRate; nothing
    /// and the reason for the user when it cannot. logOwner goes into the
    /// encoder's opaque pointer (LogCounter::owner).
    static std::unique_ptr<VideoEncoder> open(const AVStream* stream, AVRational frameRate, const Settings& settings,
                                            void* logOwner, std::string& reason);

    AVCodecContext* context() const { return m_encoder.get(); }

    /// Encodes one decoded picture whose time is pts (the source's time base;
    /// AV_NOPTS_VALUE when it has none). Returns 0 or an AVERROR.
    int encode(AVFrame* frame, std::int64_t pts, const PacketSink& sink);
    /// Encodes what the encoder still holds.
    int flush(const PacketSink& sink);

    /// Where a picture of width x height goes in a box, scaled to fill it
    /// with its shape kept: an even place and size, centred.
    struct Fit
    {
        int x, y, width, height;
    };
    static Fit fitInside(int width, int height, int boxWidth, int boxHeight);

private:
    /// The picture as the encoder takes it: frame itself, or a scaled copy.
    AVFrame* fitted(AVFrame* frame, int& error);
    int receivePackets(const PacketSink& sink);

    CodecPtr m_encoder;
    ScalerPtr m_scaler;
    FramePtr m_scaled;
    PacketPtr m_packet;
    std::int64_t m_lastPts = AV_NOPTS_VALUE;
    std::int64_t m_frameStep = 1; ///< one frame in the encoder's time base
};

} // namespace vidlume::media
