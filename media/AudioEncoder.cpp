#include "media/AudioEncoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>

namespace vidlume::media {

namespace {

/// AAC's sample rates that browsers decode; a source rate between two takes
/// the higher one, so nothing of its sound is lost.
int aacSampleRateFor(int sourceRate)
{
    for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        if (sourceRate <= rate)
            return rate;
    return 48000;
}

/// Sound that is off from its time by less than this is taken as it comes:
/// a frame's worth of rounding is no gap.
constexpr std::int64_t toleranceUs = 20'000;
/// Silence goes into the buffer at most this much at a time.
constexpr int silenceBlockSamples = 8192;

/// Damaged sound decodes to samples far beyond full scale, or to no numbers
/// at all; the AAC encoder's search for a quantiser never ends on them.
void keepInFullScale(AVFrame* frame, int samples)
{
    const int channels = frame->ch_layout.nb_channels;
    for (int channel = 0; channel < channels; ++channel) {
        auto* data = reinterpret_cast<float*>(frame->extended_data[channel]);
        for (int i = 0; i < samples; ++i)
            data[i] = std::isfinite(data[i]) ? std::clamp(data[i], -1.0f, 1.0f) : 0.0f;
    }
}

} // namespace

std::unique_ptr<AudioEncoder> AudioEncoder::open(const AVStream* stream, std::int64_t bitRatePerChannel,
                                               void* logOwner, std::function<bool()> cancelled,
                                               std::string& problem)
{
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac) {
        problem = " (no AAC encoder)";
        return nullptr;
    }
    std::unique_ptr<AudioEncoder> audio(new AudioEncoder);
    audio->m_encoder.reset(avcodec_alloc_context3(aac));
    AVCodecContext* encoder = audio->m_encoder.get();
    if (!encoder) {
        problem = " (out of memory)";
        return nullptr;
    }
    const int channels = std::clamp(stream->codecpar->ch_layout.nb_channels, 1, 2);
    av_channel_layout_default(&encoder->ch_layout, channels);
    encoder->sample_rate = aacSampleRateFor(stream->codecpar->sample_rate);
    encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = bitRatePerChannel * channels;
    encoder->time_base = {1, encoder->sample_rate};
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    encoder->opaque = logOwner;
    if (const int opened = avcodec_open2(encoder, aac, nullptr); opened < 0) {
        problem = " (" + libraryErrorText(opened) + ")";
        return nullptr;
    }
    audio->m_fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, encoder->frame_size * 4));
    audio->m_resampled.reset(av_frame_alloc());
    audio->m_chunk.reset(av_frame_alloc());
    audio->m_packet.reset(av_packet_alloc());
    if (!audio->m_fifo || !audio->m_resampled || !audio->m_chunk || !audio->m_packet) {
        problem = " (out of memory)";
        return nullptr;
    }
    audio->m_cancelled = std::move(cancelled);
    return audio;
}

AudioEncoder::~AudioEncoder()
{
    av_channel_layout_uninit(&m_resamplerInput);
}

double AudioEncoder::silenceAdded() const
{
    return static_cast<double>(m_silentSamples) / m_encoder->sample_rate;
}

double AudioEncoder::soundDropped() const
{
    return static_cast<double>(m_droppedSamples) / m_encoder->sample_rate;
}

int AudioEncoder::prepareResampler(const AVFrame* frame)
{
    AVChannelLayout layout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
        av_channel_layout_default(&layout, std::max(1, frame->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&layout, &frame->ch_layout);
    if (m_resampler && m_resamplerFormat == frame->format && m_resamplerRate == frame->sample_rate &&
        av_channel_layout_compare(&layout, &m_resamplerInput) == 0) {
        av_channel_layout_uninit(&layout);
        return 0;
    }
    SwrContext* resampler = nullptr;
    AVCodecContext* encoder = m_encoder.get();
    int status = swr_alloc_set_opts2(&resampler, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate,
                                     &layout, static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                     nullptr);
    m_resampler.reset(resampler);
    if (status >= 0)
        status = swr_init(resampler);
    av_channel_layout_uninit(&m_resamplerInput);
    m_resamplerInput = layout;
    m_resamplerFormat = frame->format;
    m_resamplerRate = frame->sample_rate;
    if (status < 0)
        m_resampler.reset();
    return status < 0 ? status : 0;
}

/// Converts the frame (or, without one, what the resampler holds) into
/// m_resampled; samples tells how many came out.
int AudioEncoder::resample(const AVFrame* frame, int& samples)
{
    samples = 0;
    const int room = swr_get_out_samples(m_resampler.get(), frame ? frame->nb_samples : 0);
    if (room <= 0)
        return 0;
    const AVCodecContext* encoder = m_encoder.get();
    AVFrame* resampled = m_resampled.get();
    av_frame_unref(resampled);
    resampled->format = encoder->sample_fmt;
    resampled->nb_samples = room;
    av_channel_layout_copy(&resampled->ch_layout, &encoder->ch_layout);
    if (const int status = av_frame_get_buffer(resampled, 0); status < 0)
        return status;
    const int got = swr_convert(m_resampler.get(), resampled->data, room,
                                frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                                frame ? frame->nb_samples : 0);
    if (got < 0)
        return got;
    keepInFullScale(resampled, got);
    samples = got;
    return 0;
}

int AudioEncoder::encode(const AVFrame* frame, std::int64_t pts, AVRational timeBase, const PacketSink& sink)
{
    if (frame->sample_rate <= 0 || frame->nb_samples <= 0)
        return 0;
    if (const int status = prepareResampler(frame))
        return status;
    int samples = 0;
    if (const int status = resample(frame, samples))
        return status;
    const std::int64_t at = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE
                                                  : av_rescale_q(pts, timeBase, m_encoder->time_base);
    return placeAt(at, samples, sink);
}

/// Puts the samples in m_resampled into the buffer so that the first plays at
/// pts: after silence when the sound before ended earlier, without the ones
/// that overlap the sound before.
int AudioEncoder::placeAt(std::int64_t pts, int samples, const PacketSink& sink)
{
    if (m_endPts == AV_NOPTS_VALUE)
        m_endPts = pts == AV_NOPTS_VALUE ? 0 : pts;
    int skip = 0;
    if (pts != AV_NOPTS_VALUE) {
        const std::int64_t tolerance = av_rescale(toleranceUs, m_encoder->sample_rate, AV_TIME_BASE);
        const std::int64_t early = m_endPts - pts;
        if (early < -tolerance) {
            if (const int status = addSilence(-early, sink))
                return status;
        } else if (early > tolerance) {
            skip = static_cast<int>(std::min<std::int64_t>(early, samples));
            m_droppedSamples += skip;
        }
    }
    if (samples > skip) {
        void* data[AV_NUM_DATA_POINTERS] = {};
        for (int channel = 0; channel < m_encoder->ch_layout.nb_channels; ++channel)
            data[channel] = reinterpret_cast<float*>(m_resampled->extended_data[channel]) + skip;
        if (av_audio_fifo_write(m_fifo.get(), data, samples - skip) < samples - skip)
            return AVERROR(ENOMEM);
        m_endPts += samples - skip;
    }
    return encodeBuffered(false, sink);
}

int AudioEncoder::addSilence(std::int64_t samples, const PacketSink& sink)
{
    AVFrame* silence = m_resampled.get();
    av_frame_unref(silence);
    silence->format = m_encoder->sample_fmt;
    silence->nb_samples = silenceBlockSamples;
    av_channel_layout_copy(&silence->ch_layout, &m_encoder->ch_layout);
    if (const int status = av_frame_get_buffer(silence, 0); status < 0)
        return status;
    av_samples_set_silence(silence->extended_data, 0, silenceBlockSamples, silence->ch_layout.nb_channels,
                           static_cast<AVSampleFormat>(silence->format));
    while (samples > 0) {
        const int block = static_cast<int>(std::min<std::int64_t>(samples, silenceBlockSamples));
        if (av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(silence->extended_data), block) < block)
            return AVERROR(ENOMEM);
        m_endPts += block;
        m_silentSamples += block;
        samples -= block;
        if (const int status = encodeBuffered(false, sink))
            return status;
    }
    return 0;
}

int AudioEncoder::encodeBuffered(bool last, const PacketSink& sink)
{
    const int frameSize = m_encoder->frame_size;
    for (;;) {
        const int buffered = av_audio_fifo_size(m_fifo.get());
        if (buffered == 0 || (!last && buffered < frameSize))
            return 0;
        if (m_cancelled && m_cancelled())
            return AVERROR_EXIT;
        AVFrame* chunk = m_chunk.get();
        av_frame_unref(chunk);
        chunk->format = m_encoder->sample_fmt;
        chunk->nb_samples = std::min(buffered, frameSize);
        chunk->sample_rate = m_encoder->sample_rate;
        av_channel_layout_copy(&chunk->ch_layout, &m_encoder->ch_layout);
        if (const int status = av_frame_get_buffer(chunk, 0); status < 0)
            return status;
        av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(chunk->data), chunk->nb_samples);
        chunk->pts = m_endPts - buffered;
        if (const int status = sendToEncoder(chunk, sink))
            return status;
    }
}

int AudioEncoder::sendToEncoder(AVFrame* frame, const PacketSink& sink)
{
    const int sent = avcodec_send_frame(m_encoder.get(), frame);
    if (sent < 0 && sent != AVERROR_EOF)
        return sent;
    AVPacket* packet = m_packet.get();
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder.get(), packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return 0;
        if (received < 0)
            return received;
        const int status = sink(packet);
        av_packet_unref(packet);
        if (status < 0)
            return status;
    }
}

int AudioEncoder::flush(const PacketSink& sink)
{
    if (m_resampler) {
        int samples = 0;
        if (const int status = resample(nullptr, samples))
            return status;
        if (const int status = placeAt(AV_NOPTS_VALUE, samples, sink))
            return status;
    }
    if (const int status = encodeBuffered(true, sink))
        return status;
    return sendToEncoder(nullptr, sink);
}

} // namespace vidlume::media
