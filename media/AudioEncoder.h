#pragma once

#include "media/LibraryHandles.h"
#include "media/VideoEncoder.h"

#include <functional>
#include <memory>
#include <string>

namespace vidlume::media {

/// The AAC encoder of a re-encode. Decoded sound of any format, rate and
/// layout goes in with its time; the sound comes out where its time says:
/// a gap before it is filled with silence, what overlaps sound already taken
/// is dropped, so the sound stays in step with the picture.
class AudioEncoder
{
public:
    /// Opens the AAC encoder for the stream's sound; nothing and words for the
    /// user when it cannot. cancelled is asked between the encoder's frames.
    static std::unique_ptr<AudioEncoder> open(const AVStream* stream, std::int64_t bitRatePerChannel,
                                            void* logOwner, std::function<bool()> cancelled,
                                            std::string& problem);

    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    AVCodecContext* context() const { return m_encoder.get(); }

    /// Encodes one decoded frame whose first sample plays at pts (in
    /// timeBase; AV_NOPTS_VALUE: right after the sound before). Packets go to
    /// sink in the encoder's time base. Returns 0 or an AVERROR (AVERROR_EXIT
    /// when cancelled).
    int encode(const AVFrame* frame, std::int64_t pts, AVRational timeBase, const PacketSink& sink);
    /// Encodes what is still buffered, then what the encoder holds.
    int flush(const PacketSink& sink);

    /// Seconds of silence put into gaps, and of sound dropped where it overlapped.
    double silenceAdded() const;
    double soundDropped() const;

private:
    AudioEncoder() = default;
    int prepareResampler(const AVFrame* frame);
    int resample(const AVFrame* frame, int& samples);
    int placeAt(std::int64_t pts, int samples, const PacketSink& sink);
    int addSilence(std::int64_t samples, const PacketSink& sink);
    int encodeBuffered(bool last, const PacketSink& sink);
    int sendToEncoder(AVFrame* frame, const PacketSink& sink);

    CodecPtr m_encoder;
    ResamplerPtr m_resampler;
    AVChannelLayout m_resamplerInput{};
    int m_resamplerFormat = -1;
    int m_resamplerRate = 0;
    FifoPtr m_fifo;
    FramePtr m_resampled;
    FramePtr m_chunk;
    PacketPtr m_packet;
    std::function<bool()> m_cancelled;
    /// Where the sample after the last one buffered plays, in the encoder's time base.
    std::int64_t m_endPts = AV_NOPTS_VALUE;
    std::int64_t m_silentSamples = 0;
    std::int64_t m_droppedSamples = 0;
};

} // namespace vidlume::media
