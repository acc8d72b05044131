#pragma once

// Owning handles for the FFmpeg libraries' objects, each freed by the
// library's own function, and the few helpers every step of a conversion uses.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace vidlume::media {

/// Microseconds as a rational: the libraries' AV_TIME_BASE_Q without its C-only compound literal.
inline constexpr AVRational microseconds{1, AV_TIME_BASE};
inline constexpr std::int64_t secondUs = AV_TIME_BASE;

struct InputDeleter
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct OutputDeleter
{
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct CodecDeleter
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerDeleter
{
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct ResamplerDeleter
{
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct FifoDeleter
{
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
struct IoDeleter
{
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoDeleter>;
using IoPtr = std::unique_ptr<AVIOContext, IoDeleter>;

/// The libraries' text for one of their error codes (AVERROR values).
inline std::string libraryErrorText(int error)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(error, text.data(), text.size());
    return text.data();
}

} // namespace vidlume::media
