#include "media/GalleryPicture.h"

#include "media/LibraryHandles.h"
#include "media/LibraryLog.h"
#include "media/SourceProbe.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace vidlume::media {

namespace {

/// Frames looked at from each starting point before the next is tried.
constexpr int framesPerTry = 48;
/// Where the frames are looked for, as parts of the length.
constexpr double startingPoints[] = {0.10, 0.25, 0.50, 0.75, 0.0};
/// The spread of brightness below which a frame counts as one colour.
constexpr double plainSpread = 6.0;

std::string metadataValue(const AVFormatContext* context, const char* key)
{
    const AVDictionaryEntry* entry = av_dict_get(context->metadata, key, nullptr, 0);
    return entry && entry->value ? std::string(entry->value).substr(0, 1024) : std::string();
}

/// The size of the picture for a frame of width x height, its aspect kept.
void pictureSize(int width, int height, AVRational sampleAspect, int& outWidth, int& outHeight)
{
    double shown = double(width) * (sampleAspect.num > 0 && sampleAspect.den > 0 ? av_q2d(sampleAspect) : 1.0);
    const double scale = std::min(1.0, double(galleryPictureSide) / std::max(shown, double(height)));
    outWidth = std::max(2, int(std::lround(shown * scale / 2)) * 2);
    outHeight = std::max(2, int(std::lround(height * scale / 2)) * 2);
}

/// The spread of brightness over the picture's luma plane.
double spreadOf(const AVFrame* frame)
{
    double sum = 0;
    double squares = 0;
    std::int64_t count = 0;
    for (int y = 0; y < frame->height; y += 2) {
        const std::uint8_t* row = frame->data[0] + std::int64_t(y) * frame->linesize[0];
        for (int x = 0; x < frame->width; x += 2) {
            sum += row[x];
            squares += double(row[x]) * row[x];
            ++count;
        }
    }
    if (count == 0)
        return 0;
    const double mean = sum / double(count);
    return std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
}

class PictureMaker
{
public:
    PictureMaker(Source& source, int streamIndex, const std::function<bool()>& cancelled)
        : m_source(source), m_stream(source.context->streams[streamIndex]), m_cancelled(cancelled)
    {
    }

    GalleryPicture make(int destinationFd, std::int64_t durationUs)
    {
        GalleryPicture picture;
        const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        const AVCodec* decoder = avcodec_find_decoder(m_stream->codecpar->codec_id);
        if (!encoder) {
            picture.reason = "this converter has no JPEG encoder";
            return picture;
        }
        if (!decoder || !openDecoder(decoder)) {
            picture.reason = "its video cannot be decoded";
            return picture;
        }
        m_packet.reset(av_packet_alloc());
        m_frame.reset(av_frame_alloc());
        m_scaled.reset(av_frame_alloc());
        if (!m_packet || !m_frame || !m_scaled) {
            picture.reason = "out of memory";
            return picture;
        }
        for (const double point : startingPoints) {
            if (m_cancelled && m_cancelled())
                break;
            if (lookFrom(point, durationUs))
                break;
        }
        if (!m_best) {
            picture.reason = "no frame of it could be decoded";
            return picture;
        }
        return encode(encoder, destinationFd);
    }

private:
    bool openDecoder(const AVCodec* decoder)
    {
        m_decoder.reset(avcodec_alloc_context3(decoder));
        if (!m_decoder || avcodec_parameters_to_context(m_decoder.get(), m_stream->codecpar) < 0)
            return false;
        m_decoder->thread_count = 1;
        m_decoder->opaque = nullptr;
        AVDictionary* options = nullptr;
        av_dict_set_int(&options, "max_pixels", largestPicture, 0);
        const int opened = avcodec_open2(m_decoder.get(), decoder, &options);
        av_dict_free(&options);
        return opened >= 0;
    }

    /// Decodes frames from a point of the length on; true once a frame
    /// that is not of one colour was found.
    bool lookFrom(double point, std::int64_t durationUs)
    {
        const std::int64_t startUs = durationUs > 0 ? std::int64_t(double(durationUs) * point) : 0;
        const std::int64_t target = av_rescale_q(startUs, microseconds, m_stream->time_base);
        const std::int64_t base = m_stream->start_time != AV_NOPTS_VALUE ? m_stream->start_time : 0;
        if (av_seek_frame(m_source.context.get(), m_stream->index, base + target, AVSEEK_FLAG_BACKWARD) < 0 &&
            av_seek_frame(m_source.context.get(), -1, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_BYTE) < 0)
            return false;
        avcodec_flush_buffers(m_decoder.get());
        int looked = 0;
        bool ended = false;
        while (looked < framesPerTry && !(m_cancelled && m_cancelled())) {
            int got = avcodec_receive_frame(m_decoder.get(), m_frame.get());
            if (got == AVERROR(EAGAIN) && !ended) {
                const int read = av_read_frame(m_source.context.get(), m_packet.get());
                if (read < 0) {
                    ended = true;
                    avcodec_send_packet(m_decoder.get(), nullptr);
                    continue;
                }
                if (m_packet->stream_index == m_stream->index)
                    avcodec_send_packet(m_decoder.get(), m_packet.get());
                av_packet_unref(m_packet.get());
                continue;
            }
            if (got < 0)
                return false;
            // Frames before the point, decoded on the way from the key frame, are passed over.
            const std::int64_t time = m_frame->best_effort_timestamp;
            if (time != AV_NOPTS_VALUE && time < base + target && looked == 0 && !ended) {
                av_frame_unref(m_frame.get());
                continue;
            }
            ++looked;
            const bool found = consider();
            av_frame_unref(m_frame.get());
            if (found)
                return true;
        }
        return false;
    }

    /// Scales the decoded frame to the picture's size; true when it is good enough.
    bool consider()
    {
        int width = 0;
        int height = 0;
        pictureSize(m_frame->width, m_frame->height, m_frame->sample_aspect_ratio, width, height);
        m_scaler.reset(sws_getCachedContext(m_scaler.release(), m_frame->width, m_frame->height,
                                            AVPixelFormat(m_frame->format), width, height, AV_PIX_FMT_YUVJ420P,
                                            SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!m_scaler)
            return false;
        av_frame_unref(m_scaled.get());
        m_scaled->format = AV_PIX_FMT_YUVJ420P;
        m_scaled->width = width;
        m_scaled->height = height;
        if (av_frame_get_buffer(m_scaled.get(), 0) < 0)
            return false;
        sws_scale(m_scaler.get(), m_frame->data, m_frame->linesize, 0, m_frame->height, m_scaled->data,
                  m_scaled->linesize);
        const double spread = spreadOf(m_scaled.get());
        if (!m_best || spread > m_bestSpread) {
            m_best.reset(av_frame_clone(m_scaled.get()));
            m_bestSpread = spread;
        }
        return spread >= plainSpread;
    }

    GalleryPicture encode(const AVCodec* encoder, int destinationFd)
    {
        GalleryPicture picture;
        CodecPtr context(avcodec_alloc_context3(encoder));
        if (!context) {
            picture.reason = "out of memory";
            return picture;
        }
        context->width = m_best->width;
        context->height = m_best->height;
        context->pix_fmt = AV_PIX_FMT_YUVJ420P;
        context->time_base = {1, 25};
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * 4;
        context->thread_count = 1;
        if (avcodec_open2(context.get(), encoder, nullptr) < 0) {
            picture.reason = "the JPEG encoder cannot be opened";
            return picture;
        }
        m_best->pts = 0;
        m_best->quality = context->global_quality;
        if (avcodec_send_frame(context.get(), m_best.get()) < 0 || avcodec_send_frame(context.get(), nullptr) < 0 ||
            avcodec_receive_packet(context.get(), m_packet.get()) < 0) {
            picture.reason = "the picture cannot be encoded";
            return picture;
        }
        std::int64_t written = 0;
        while (written < m_packet->size) {
            const long long wrote = platform::writeAt(destinationFd, m_packet->data + written,
                                                      std::size_t(m_packet->size - written), std::uint64_t(written));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                picture.reason = "the picture cannot be written";
                return picture;
            }
            written += wrote;
        }
        picture.made = true;
        picture.width = m_best->width;
        picture.height = m_best->height;
        return picture;
    }

    Source& m_source;
    AVStream* m_stream;
    const std::function<bool()>& m_cancelled;
    CodecPtr m_decoder;
    PacketPtr m_packet;
    FramePtr m_frame;
    FramePtr m_scaled;
    FramePtr m_best;
    double m_bestSpread = -1;
    ScalerPtr m_scaler;
};

} // namespace

bool canMakeGalleryPictures()
{
    return avcodec_find_encoder(AV_CODEC_ID_MJPEG) != nullptr;
}

GalleryPicture makeGalleryPicture(int sourceFd, int destinationFd, VideoFacts& facts,
                                  const std::function<bool()>& cancelled)
{
    GalleryPicture picture;
    LogCounter log;
    Source source;
    if (const Step stop = openSource(sourceFd, source, cancelled, log.owner())) {
        facts.reason = stop->reason;
        picture.reason = stop->reason;
        return picture;
    }
    const AVFormatContext* context = source.context.get();
    facts.readable = true;
    facts.title = metadataValue(context, "title");
    facts.created = metadataValue(context, "creationdate");
    if (facts.created.empty())
        facts.created = metadataValue(context, "creation_time");
    facts.durationMs = context->duration > 0 ? context->duration / 1000 : -1;
    const int index = bestStream(context, AVMEDIA_TYPE_VIDEO);
    if (index < 0) {
        picture.reason = "it has no picture";
        return picture;
    }
    facts.width = context->streams[index]->codecpar->width;
    facts.height = context->streams[index]->codecpar->height;
    PictureMaker maker(source, index, cancelled);
    return maker.make(destinationFd, context->duration);
}

} // namespace vidlume::media
