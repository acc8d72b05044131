#include "media/VideoEncoder.h"

#include <algorithm>
#include <cstring>

namespace vidlume::media {

std::unique_ptr<VideoEncoder> VideoEncoder::open(const AVStream* stream, AVRational frameRate,
                                               const Settings& settings, void* logOwner, std::string& reason)
{
    const int width = stream->codecpar->width;
    const int height = stream->codecpar->height;
    if (width <= 0 || height <= 0) {
        reason = "the size of its picture is not known";
        return nullptr;
    }
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    if (!x264) {
        reason = "the H.264 encoder is not installed";
        return nullptr;
    }
    auto video = std::make_unique<VideoEncoder>();
    video->m_encoder.reset(avcodec_alloc_context3(x264));
    video->m_scaled.reset(av_frame_alloc());
    video->m_packet.reset(av_packet_alloc());
    AVCodecContext* encoder = video->m_encoder.get();
    if (!encoder || !video->m_scaled || !video->m_packet) {
        reason = "out of memory";
        return nullptr;
    }
    // An odd column or row is cut off rather than the picture scaled.
    encoder->width = std::max(2, width & ~1);
    encoder->height = std::max(2, height & ~1);
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->time_base = stream->time_base;
    encoder->framerate = frameRate;
    encoder->sample_aspect_ratio = stream->codecpar->sample_aspect_ratio;
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    encoder->thread_count = settings.threads;
    encoder->opaque = logOwner;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", settings.preset.c_str(), 0);
    av_dict_set(&options, "crf", std::to_string(settings.crf).c_str(), 0);
    av_dict_set(&options, "profile", settings.profile.c_str(), 0);
    const int opened = avcodec_open2(encoder, x264, &options);
    av_dict_free(&options);
    if (opened < 0) {
        reason = "the H.264 encoder refused it: " + libraryErrorText(opened);
        return nullptr;
    }
    video->m_frameStep = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(frameRate), encoder->time_base));
    return video;
}

VideoEncoder::Fit VideoEncoder::fitInside(int width, int height, int boxWidth, int boxHeight)
{
    if (width <= 0 || height <= 0)
        return {0, 0, boxWidth, boxHeight};
    Fit fit{0, 0, boxWidth, boxHeight};
    // Even sizes and places, as 4:2:0 halves them for its colour planes.
    if (std::int64_t{width} * boxHeight > std::int64_t{boxWidth} * height)
        fit.height = std::max(2, int(std::int64_t{boxWidth} * height / width) & ~1);
    else
        fit.width = std::max(2, int(std::int64_t{boxHeight} * width / height) & ~1);
    fit.x = ((boxWidth - fit.width) / 2) & ~1;
    fit.y = ((boxHeight - fit.height) / 2) & ~1;
    return fit;
}

AVFrame* VideoEncoder::fitted(AVFrame* frame, int& error)
{
    const AVCodecContext* encoder = m_encoder.get();
    const bool evenCut = (frame->width & ~1) == encoder->width && (frame->height & ~1) == encoder->height;
    if (frame->format == AV_PIX_FMT_YUV420P && evenCut) {
        // Cutting the odd column and row off a 4:2:0 picture moves no byte.
        frame->width = encoder->width;
        frame->height = encoder->height;
        return frame;
    }
    const int sourceWidth = evenCut ? encoder->width : frame->width;
    const int sourceHeight = evenCut ? encoder->height : frame->height;
    // A picture of another size (a later part of joined videos) is scaled to
    // fit, its shape kept, with black bars on two sides where shapes differ.
    const Fit fit = evenCut ? Fit{0, 0, encoder->width, encoder->height}
                            : fitInside(sourceWidth, sourceHeight, encoder->width, encoder->height);
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), sourceWidth, sourceHeight,
                                        static_cast<AVPixelFormat>(frame->format), fit.width, fit.height,
                                        AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!m_scaler) {
        error = AVERROR(EINVAL);
        return nullptr;
    }
    AVFrame* scaled = m_scaled.get();
    av_frame_unref(scaled);
    scaled->format = AV_PIX_FMT_YUV420P;
    scaled->width = encoder->width;
    scaled->height = encoder->height;
    if ((error = av_frame_get_buffer(scaled, 0)) < 0)
        return nullptr;
    std::uint8_t* planes[3] = {scaled->data[0], scaled->data[1], scaled->data[2]};
    if (fit.width != encoder->width || fit.height != encoder->height) {
        // Black in the limited range that H.264 players expect.
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? encoder->height : encoder->height / 2;
            const int columns = plane == 0 ? encoder->width : encoder->width / 2;
            for (int row = 0; row < rows; ++row)
                std::memset(scaled->data[plane] + std::ptrdiff_t(row) * scaled->linesize[plane], plane == 0 ? 16 : 128,
                            std::size_t(columns));
        }
        planes[0] += std::ptrdiff_t(fit.y) * scaled->linesize[0] + fit.x;
        for (int plane = 1; plane < 3; ++plane)
            planes[plane] += std::ptrdiff_t(fit.y / 2) * scaled->linesize[plane] + fit.x / 2;
    }
    sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, sourceHeight, planes, scaled->linesize);
    return scaled;
}

int VideoEncoder::encode(AVFrame* frame, std::int64_t pts, const PacketSink& sink)
{
    // Every picture comes after the one before: the MP4 shows each once.
    if (pts == AV_NOPTS_VALUE)
        pts = m_lastPts == AV_NOPTS_VALUE ? 0 : m_lastPts + m_frameStep;
    if (m_lastPts != AV_NOPTS_VALUE && pts <= m_lastPts)
        pts = m_lastPts + m_frameStep;
    m_lastPts = pts;

    int error = 0;
    AVFrame* picture = fitted(frame, error);
    if (!picture)
        return error;
    picture->pts = pts;
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    picture->sample_aspect_ratio = m_encoder->sample_aspect_ratio;
    const int sent = avcodec_send_frame(m_encoder.get(), picture);
    if (sent < 0)
        return sent;
    return receivePackets(sink);
}

int VideoEncoder::flush(const PacketSink& sink)
{
    const int sent = avcodec_send_frame(m_encoder.get(), nullptr);
    if (sent < 0 && sent != AVERROR_EOF)
        return sent;
    return receivePackets(sink);
}

int VideoEncoder::receivePackets(const PacketSink& sink)
{
    AVPacket* packet = m_packet.get();
    for (;;) {
        const int received = avcodec_receive_packet(m_encoder.get(), packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return 0;
        if (received < 0)
            return received;
        if (packet->duration <= 0)
            packet->duration = m_frameStep;
        const int status = sink(packet);
        av_packet_unref(packet);
        if (status < 0)
            return status;
    }
}

} // namespace vidlume::media
