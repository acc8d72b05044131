#include "media/ConvertToMp4.h"

#include "media/FlvCodec.h"
#include "platform/FileCopy.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume {

namespace {

/// Microseconds as a rational, the libraries' microseconds without its C-only compound literal.
constexpr AVRational microseconds{1, AV_TIME_BASE};

constexpr int ioBufferBytes = 64 * 1024;
// The MP4 is written in large pieces: the muxer's buffer is not flushed after
// every packet, which would make a system call of a few KiB each.
constexpr int writeBufferBytes = 256 * 1024;
constexpr std::uint64_t progressStepBytes = 256 * 1024;
constexpr std::int64_t secondUs = AV_TIME_BASE;

// Containers the converter reads besides FLV. Formats that open further files
// or addresses (playlists, concatenation lists, image sequences) are left out:
// a text file renamed .flv must not make us fetch anything.
const char* const readableFormats = "flv,live_flv,mov,matroska,avi,mpegts,mpeg,asf,ogg,mp3,aac,wav";

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
struct DictionaryDeleter
{
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};

using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using IoPtr = std::unique_ptr<AVIOContext, IoDeleter>;

/// Reads one file through pread at a position of its own, so that two readers
/// (or a reader beside the muxer's writer) can share a descriptor.
struct FileReader
{
    int fd = -1;
    std::int64_t position = 0;
    std::int64_t size = 0;
};

int readFile(void* opaque, std::uint8_t* buffer, int size)
{
    auto* reader = static_cast<FileReader*>(opaque);
    ssize_t got;
    do
        got = ::pread(reader->fd, buffer, static_cast<std::size_t>(size), reader->position);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    if (got == 0)
        return AVERROR_EOF;
    reader->position += got;
    return static_cast<int>(got);
}

std::int64_t fileSizeOf(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : AVERROR(errno);
}

std::int64_t seekFile(std::int64_t& position, int fd, std::int64_t offset, int whence)
{
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return fileSizeOf(fd);
    std::int64_t target = offset;
    if (whence == SEEK_CUR)
        target += position;
    else if (whence == SEEK_END) {
        const std::int64_t size = fileSizeOf(fd);
        if (size < 0)
            return size;
        target += size;
    } else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if (target < 0)
        return AVERROR(EINVAL);
    position = target;
    return target;
}

int64_t seekReader(void* opaque, std::int64_t offset, int whence)
{
    auto* reader = static_cast<FileReader*>(opaque);
    return seekFile(reader->position, reader->fd, offset, whence);
}

/// The muxer's side of the MP4's descriptor.
struct FileWriter
{
    int fd = -1;
    std::int64_t position = 0;
    int error = 0; ///< the first system error of a write
};

int writeFile(void* opaque, std::uint8_t* buffer, int size)
{
    auto* writer = static_cast<FileWriter*>(opaque);
    int written = 0;
    while (written < size) {
        const ssize_t put = ::pwrite(writer->fd, buffer + written, static_cast<std::size_t>(size - written),
                                     writer->position);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            if (writer->error == 0)
                writer->error = errno;
            return AVERROR(errno);
        }
        written += static_cast<int>(put);
        writer->position += put;
    }
    return written;
}

int64_t seekWriter(void* opaque, std::int64_t offset, int whence)
{
    auto* writer = static_cast<FileWriter*>(opaque);
    return seekFile(writer->position, writer->fd, offset, whence);
}

IoPtr makeReaderIo(FileReader* reader)
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(ioBufferBytes));
    if (!buffer)
        return nullptr;
    AVIOContext* io = avio_alloc_context(buffer, ioBufferBytes, 0, reader, readFile, nullptr, seekReader);
    if (!io)
        av_free(buffer);
    return IoPtr(io);
}

// --- FFmpeg's log: kept off the terminal, its errors counted per conversion ---

std::mutex liveConversionsMutex;
std::set<const void*> liveConversions;

struct LogCounter
{
    std::atomic<int> errors{0};
};

void countLoggedErrors(void* context, int level, const char*, va_list)
{
    if (level > AV_LOG_ERROR || !context)
        return;
    const AVClass* type = *static_cast<const AVClass**>(context);
    void* owner = nullptr;
    // Frame threads of a decoder log through copies of its context, which
    // keep the owner's opaque pointer.
    if (type == avcodec_get_class())
        owner = static_cast<AVCodecContext*>(context)->opaque;
    else if (type == avformat_get_class())
        owner = static_cast<AVFormatContext*>(context)->opaque;
    if (!owner)
        return;
    std::lock_guard lock(liveConversionsMutex);
    if (liveConversions.count(owner))
        ++static_cast<LogCounter*>(owner)->errors;
}

void routeLibraryLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(countLoggedErrors); });
}

std::string errorText(int error)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(error, text.data(), text.size());
    return text.data();
}

std::string seconds(std::int64_t microseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(microseconds) / secondUs);
    return text;
}

/// AAC's sample rates that browsers decode; a source rate between two takes
/// the higher one, so nothing of its sound is lost.
int aacSampleRateFor(int sourceRate)
{
    for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        if (sourceRate <= rate)
            return rate;
    return 48000;
}

bool browsersPlayH264Profile(int profile)
{
    switch (profile) {
    case FF_PROFILE_H264_HIGH_10:
    case FF_PROFILE_H264_HIGH_10_INTRA:
    case FF_PROFILE_H264_HIGH_422:
    case FF_PROFILE_H264_HIGH_422_INTRA:
    case FF_PROFILE_H264_HIGH_444:
    case FF_PROFILE_H264_HIGH_444_PREDICTIVE:
    case FF_PROFILE_H264_HIGH_444_INTRA:
    case FF_PROFILE_H264_CAVLC_444:
        return false;
    default:
        return true;
    }
}

/// One stream of the source that goes into the MP4.
struct Track
{
    AVStream* input = nullptr;
    AVStream* output = nullptr;
    bool copy = false;
    CodecPtr decoder;
    CodecPtr encoder;
    std::int64_t lastDts = AV_NOPTS_VALUE; ///< after repair, in the input's time base
    std::int64_t stepUs = 0;               ///< a typical packet's duration
    std::uint64_t packetsWritten = 0;
    std::int64_t endUs = 0; ///< where its last packet ends

    // Video
    bool keyFrameSeen = false;
    std::uint64_t droppedBeforeKeyFrame = 0;
    std::int64_t lastFramePts = AV_NOPTS_VALUE;
    std::int64_t frameStep = 1; ///< one frame in the encoder's time base
    std::unique_ptr<SwsContext, ScalerDeleter> scaler;
    FramePtr scaled;

    // Sound
    std::unique_ptr<SwrContext, ResamplerDeleter> resampler;
    AVChannelLayout resamplerInput{};
    int resamplerFormat = -1;
    int resamplerRate = 0;
    std::unique_ptr<AVAudioFifo, FifoDeleter> fifo;
    FramePtr resampled;
    std::int64_t nextSamplePts = AV_NOPTS_VALUE;

    bool used() const { return input != nullptr; }
};

/// Why a conversion stops early, besides the errors of writing.
struct Stop
{
    ConvertStatus status;
    std::string reason;
};

class Converter : public LogCounter
{
public:
    Converter(const ConvertObserver& observer, const Mp4Settings& settings)
        : m_observer(observer), m_settings(settings)
    {
        routeLibraryLog();
        std::lock_guard lock(liveConversionsMutex);
        liveConversions.insert(static_cast<LogCounter*>(this));
    }
    ~Converter()
    {
        closeCodecs();
        if (m_sourceFd >= 0)
            ::close(m_sourceFd);
        std::lock_guard lock(liveConversionsMutex);
        liveConversions.erase(static_cast<LogCounter*>(this));
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    ConvertResult run(const std::string& source, const std::string& destination)
    {
        if (auto stop = openSource(source))
            return finish(*stop);
        if (auto stop = prepareTracks())
            return finish(*stop);
        m_destination = destination;
        errors = 0; // what probing the source logged is no damage
        const platform::CopyResult written =
            platform::writeNewFileWith(destination, [this](int fd, const std::string& openPath) {
                m_openPath = openPath;
                return writeMp4(fd);
            });
        using platform::CopyFailure;
        switch (written.failure) {
        case CopyFailure::None:
            m_result.bytes = written.bytes;
            addWarnings();
            return m_result;
        case CopyFailure::Cancelled:
            return finish({ConvertStatus::Cancelled, "cancelled"});
        case CopyFailure::DestinationExists:
            return finish({ConvertStatus::DestinationExists, "a file of that name is already there"});
        default:
            if (m_stop)
                return finish(*m_stop);
            m_result.error = written.error;
            return finish({ConvertStatus::WriteFailed, errorText(AVERROR(written.error))});
        }
    }

    /// The same into a file made by the caller, from a file it opened.
    ConvertResult run(const Mp4Files& files)
    {
        if (auto stop = openSource(::fcntl(files.source, F_DUPFD_CLOEXEC, 0)))
            return finish(*stop);
        if (auto stop = prepareTracks())
            return finish(*stop);
        m_destination = "destination.mp4";
        m_destinationReader = files.destinationReader;
        errors = 0; // what probing the source logged is no damage
        const int error = writeMp4(files.destination);
        if (error == ECANCELED)
            return finish({ConvertStatus::Cancelled, "cancelled"});
        if (error != 0) {
            if (m_stop)
                return finish(*m_stop);
            m_result.error = error;
            return finish({ConvertStatus::WriteFailed, errorText(AVERROR(error))});
        }
        const std::int64_t size = fileSizeOf(files.destination);
        m_result.bytes = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        addWarnings();
        return m_result;
    }

    bool browserReadyMp4(int fd)
    {
        if (openSource(fd) || std::string(m_source->iformat->name).rfind("mov,", 0) != 0)
            return false;
        for (unsigned i = 0; i < m_source->nb_streams; ++i) {
            const AVCodecParameters* parameters = m_source->streams[i]->codecpar;
            if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
                (parameters->codec_id != AV_CODEC_ID_H264 || !browsersPlayH264Profile(parameters->profile)))
                return false;
            if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && parameters->codec_id != AV_CODEC_ID_AAC &&
                parameters->codec_id != AV_CODEC_ID_MP3)
                return false;
        }
        return bestStream(AVMEDIA_TYPE_VIDEO) >= 0 || bestStream(AVMEDIA_TYPE_AUDIO) >= 0;
    }

private:
    ConvertResult finish(const Stop& stop)
    {
        m_result.status = stop.status;
        m_result.reason = stop.reason;
        m_result.video = m_result.audio = StreamHandling::None;
        m_result.warnings.clear();
        return m_result;
    }

    void closeCodecs()
    {
        for (Track* track : {&m_video, &m_audio}) {
            track->decoder.reset();
            track->encoder.reset();
            av_channel_layout_uninit(&track->resamplerInput);
        }
    }

    bool cancelled() const { return m_observer.cancelRequested && m_observer.cancelRequested(); }

    static int interruptCallback(void* opaque)
    {
        return static_cast<Converter*>(opaque)->cancelled() ? 1 : 0;
    }

    /// Nested opens from the source's demuxer: none at all.
    static int refuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
    {
        return AVERROR(EPERM);
    }

    std::optional<Stop> openSource(const std::string& source)
    {
        return openSource(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    }

    /// Reads the source from fd, which the converter then owns.
    std::optional<Stop> openSource(int fd)
    {
        m_sourceFd = fd;
        if (m_sourceFd < 0)
            return Stop{ConvertStatus::Unusable, "it cannot be read: " + errorText(AVERROR(errno))};
        struct stat info;
        if (::fstat(m_sourceFd, &info) != 0 || !S_ISREG(info.st_mode))
            return Stop{ConvertStatus::Unusable, "it is not a plain file"};
        if (info.st_size == 0)
            return Stop{ConvertStatus::Unusable, "the file is empty"};
        m_reader.fd = m_sourceFd;
        m_reader.size = info.st_size;

        m_sourceIo = makeReaderIo(&m_reader);
        AVFormatContext* context = avformat_alloc_context();
        if (!m_sourceIo || !context) {
            avformat_free_context(context);
            return Stop{ConvertStatus::Unusable, "out of memory"};
        }
        context->pb = m_sourceIo.get();
        context->flags |= AVFMT_FLAG_CUSTOM_IO;
        context->opaque = static_cast<LogCounter*>(this);
        context->io_open = refuseOpen;
        context->interrupt_callback = {interruptCallback, this};
        AVDictionary* options = nullptr;
        av_dict_set(&options, "format_whitelist", readableFormats, 0);
        const int opened = avformat_open_input(&context, nullptr, nullptr, &options);
        av_dict_free(&options);
        if (opened < 0) // context is freed by the failed open
            return unreadable(opened);
        m_source.reset(context);
        if (cancelled())
            return Stop{ConvertStatus::Cancelled, "cancelled"};
        const int found = avformat_find_stream_info(context, nullptr);
        if (cancelled())
            return Stop{ConvertStatus::Cancelled, "cancelled"};
        if (found < 0 && context->nb_streams == 0)
            return unreadable(found);
        return std::nullopt;
    }

    Stop unreadable(int error) const
    {
        if (cancelled())
            return {ConvertStatus::Cancelled, "cancelled"};
        char start[3] = {};
        const bool flv = ::pread(m_sourceFd, start, 3, 0) == 3 && std::equal(start, start + 3, "FLV");
        return {ConvertStatus::Unusable, flv ? "its FLV data cannot be read (" + errorText(error) + ")"
                                             : std::string("it is not an FLV file")};
    }

    static std::string codecName(const AVStream* stream, bool flv)
    {
        if (stream->codecpar->codec_id == AV_CODEC_ID_NONE && flv)
            return flvVideoCodecName(static_cast<int>(stream->codecpar->codec_tag));
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
        return descriptor ? descriptor->long_name : "an unknown codec";
    }

    int bestStream(AVMediaType type) const
    {
        const int index = av_find_best_stream(m_source.get(), type, -1, -1, nullptr, 0);
        if (index < 0)
            return -1;
        // A cover picture beside the sound is no video.
        if (m_source->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)
            return -1;
        return index;
    }

    std::optional<Stop> prepareTracks()
    {
        const bool flv = std::string(m_source->iformat->name).find("flv") != std::string::npos;
        // FLV files are often joined from several, each part's timestamps
        // starting again at zero.
        m_discontinuous = flv || (m_source->iformat->flags & AVFMT_TS_DISCONT) != 0;
        if (m_source->start_time != AV_NOPTS_VALUE)
            m_shiftUs = -m_source->start_time;

        const int videoIndex = bestStream(AVMEDIA_TYPE_VIDEO);
        const int audioIndex = bestStream(AVMEDIA_TYPE_AUDIO);
        if (videoIndex < 0 && audioIndex < 0)
            return Stop{ConvertStatus::Unusable, "it holds no video or sound"};

        if (videoIndex >= 0) {
            AVStream* stream = m_source->streams[videoIndex];
            const AVCodecParameters* parameters = stream->codecpar;
            m_video.input = stream;
            m_video.copy = parameters->codec_id == AV_CODEC_ID_H264 &&
                           browsersPlayH264Profile(parameters->profile) &&
                           (parameters->extradata_size > 0 || !flv);
            AVRational rate = av_guess_frame_rate(m_source.get(), stream, nullptr);
            if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) < 1 || av_q2d(rate) > 240)
                rate = {25, 1};
            m_frameRate = rate;
            m_video.stepUs = av_rescale_q(1, av_inv_q(rate), microseconds);
            if (!m_video.copy) {
                if (auto stop = openVideoCodecs(codecName(stream, flv)))
                    return stop;
            }
            m_result.video = m_video.copy ? StreamHandling::Copied : StreamHandling::Reencoded;
        }
        if (audioIndex >= 0) {
            AVStream* stream = m_source->streams[audioIndex];
            const AVCodecID id = stream->codecpar->codec_id;
            m_audio.input = stream;
            // AAC is copied; MP3 is encoded to AAC as well: inside an MP4,
            // Chromium plays it but does not report a file cut short, so a
            // page's player would wait for ever instead of saying so.
            m_audio.copy = id == AV_CODEC_ID_AAC && stream->codecpar->extradata_size > 0;
            m_audio.stepUs = secondUs / 50;
            if (!m_audio.copy) {
                if (auto problem = openAudioCodecs()) {
                    m_audio = Track{};
                    if (!m_video.used())
                        return Stop{ConvertStatus::Unusable,
                                    "its sound's codec, " + codecName(stream, flv) + ", cannot be converted"};
                    m_result.warnings.push_back("its sound (" + codecName(stream, flv) +
                                                ") cannot be converted and was left out" + *problem);
                }
            }
            if (m_audio.used())
                m_result.audio = m_audio.copy ? StreamHandling::Copied : StreamHandling::Reencoded;
        }
        return std::nullopt;
    }

    CodecPtr openDecoder(const AVStream* stream) const
    {
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return nullptr;
        CodecPtr decoder(avcodec_alloc_context3(codec));
        if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
            return nullptr;
        decoder->pkt_timebase = stream->time_base;
        decoder->opaque = const_cast<LogCounter*>(static_cast<const LogCounter*>(this));
        decoder->thread_count = 0; // one per core
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return nullptr;
        return decoder;
    }

    std::optional<Stop> openVideoCodecs(const std::string& sourceCodec)
    {
        const AVStream* stream = m_video.input;
        m_video.decoder = openDecoder(stream);
        if (!m_video.decoder)
            return Stop{ConvertStatus::Unusable, "its video codec, " + sourceCodec + ", cannot be converted"};
        const int width = stream->codecpar->width;
        const int height = stream->codecpar->height;
        if (width <= 0 || height <= 0)
            return Stop{ConvertStatus::Unusable, "the size of its picture is not known"};
        const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
        if (!x264)
            return Stop{ConvertStatus::Unusable, "the H.264 encoder is not installed"};
        CodecPtr encoder(avcodec_alloc_context3(x264));
        if (!encoder)
            return Stop{ConvertStatus::Unusable, "out of memory"};
        // An odd column or row is cut off rather than the picture scaled.
        encoder->width = std::max(2, width & ~1);
        encoder->height = std::max(2, height & ~1);
        encoder->pix_fmt = AV_PIX_FMT_YUV420P;
        encoder->time_base = stream->time_base;
        encoder->framerate = m_frameRate;
        encoder->sample_aspect_ratio = stream->codecpar->sample_aspect_ratio;
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        encoder->thread_count = 0;
        encoder->opaque = static_cast<LogCounter*>(this);
        AVDictionary* options = nullptr;
        av_dict_set(&options, "preset", m_settings.x264Preset.c_str(), 0);
        av_dict_set(&options, "crf", std::to_string(m_settings.x264Crf).c_str(), 0);
        av_dict_set(&options, "profile", m_settings.x264Profile.c_str(), 0);
        const int opened = avcodec_open2(encoder.get(), x264, &options);
        av_dict_free(&options);
        if (opened < 0)
            return Stop{ConvertStatus::Unusable, "the H.264 encoder refused it: " + errorText(opened)};
        m_video.frameStep =
            std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(m_frameRate), encoder->time_base));
        m_video.encoder = std::move(encoder);
        m_video.scaled.reset(av_frame_alloc());
        return std::nullopt;
    }

    /// Nothing, or words to add to the warning about sound left out.
    std::optional<std::string> openAudioCodecs()
    {
        const AVStream* stream = m_audio.input;
        m_audio.decoder = openDecoder(stream);
        if (!m_audio.decoder)
            return "";
        const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
        CodecPtr encoder(aac ? avcodec_alloc_context3(aac) : nullptr);
        if (!encoder)
            return " (no AAC encoder)";
        const int channels = std::clamp(stream->codecpar->ch_layout.nb_channels, 1, 2);
        av_channel_layout_default(&encoder->ch_layout, channels);
        encoder->sample_rate = aacSampleRateFor(stream->codecpar->sample_rate);
        encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder->bit_rate = m_settings.aacBitRatePerChannel * channels;
        encoder->time_base = {1, encoder->sample_rate};
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        encoder->opaque = static_cast<LogCounter*>(this);
        if (const int opened = avcodec_open2(encoder.get(), aac, nullptr); opened < 0)
            return " (" + errorText(opened) + ")";
        m_audio.fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, channels, encoder->frame_size * 4));
        m_audio.resampled.reset(av_frame_alloc());
        if (!m_audio.fifo || !m_audio.resampled)
            return " (out of memory)";
        m_audio.encoder = std::move(encoder);
        return std::nullopt;
    }

    // --- Writing the MP4 ---

    static int serveSecondPass(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                               AVDictionary**)
    {
        // The muxer's faststart pass opens the file it writes once more, by
        // its name, to read it while moving the index to the front.
        auto* self = static_cast<Converter*>(static_cast<LogCounter*>(context->opaque));
        if ((flags & AVIO_FLAG_WRITE) || !url || self->m_destination != url)
            return AVERROR(EPERM);
        // The file being written is open for writing only; its open path
        // reaches it for reading until the conversion returns.
        auto reader = std::make_unique<FileReader>();
        reader->fd = self->m_destinationReader >= 0
                         ? ::fcntl(self->m_destinationReader, F_DUPFD_CLOEXEC, 0)
                         : ::open(self->m_openPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (reader->fd < 0)
            return AVERROR(errno);
        IoPtr readerIo = makeReaderIo(reader.get());
        if (!readerIo) {
            ::close(reader->fd);
            return AVERROR(ENOMEM);
        }
        reader.release();
        *io = readerIo.release();
        return 0;
    }

    static int closeSecondPass(AVFormatContext*, AVIOContext* io)
    {
        auto* reader = static_cast<FileReader*>(io->opaque);
        ::close(reader->fd);
        delete reader;
        IoDeleter()(io);
        return 0;
    }

    int writeMp4(int fd)
    {
        m_writer.fd = fd;
        AVFormatContext* output = nullptr;
        if (avformat_alloc_output_context2(&output, nullptr, "mp4", nullptr) < 0)
            return ENOMEM;
        m_output.reset(output);
        output->url = av_strdup(m_destination.c_str());
        output->opaque = static_cast<LogCounter*>(this);
        output->io_open = serveSecondPass;
        output->io_close2 = closeSecondPass;
        output->flush_packets = 0;
        auto* buffer = static_cast<unsigned char*>(av_malloc(writeBufferBytes));
        m_outputIo.reset(buffer ? avio_alloc_context(buffer, writeBufferBytes, 1, &m_writer, nullptr,
                                                     writeFile, seekWriter)
                                : nullptr);
        if (!m_outputIo) {
            av_free(buffer);
            return ENOMEM;
        }
        output->pb = m_outputIo.get();

        for (Track* track : {&m_video, &m_audio}) {
            if (!track->used())
                continue;
            track->output = avformat_new_stream(output, nullptr);
            if (!track->output)
                return ENOMEM;
            if (track->copy) {
                avcodec_parameters_copy(track->output->codecpar, track->input->codecpar);
                track->output->codecpar->codec_tag = 0;
                track->output->time_base = track->input->time_base;
            } else {
                avcodec_parameters_from_context(track->output->codecpar, track->encoder.get());
                track->output->time_base = track->encoder->time_base;
            }
            track->output->sample_aspect_ratio = track->input->sample_aspect_ratio;
        }
        AVDictionary* options = nullptr;
        av_dict_set(&options, "movflags", "+faststart", 0);
        int status = avformat_write_header(output, &options);
        av_dict_free(&options);
        if (status < 0)
            return failure(status);

        if (const int error = copyPackets())
            return error;
        for (Track* track : {&m_video, &m_audio})
            if (track->used() && !track->copy)
                if (const int error = drain(*track))
                    return error;
        if (m_video.packetsWritten + m_audio.packetsWritten == 0) {
            m_stop = Stop{ConvertStatus::Unusable, "not one frame of it could be read"};
            return EIO;
        }
        status = av_write_trailer(output);
        avio_flush(output->pb);
        if (status < 0 || output->pb->error < 0)
            return failure(status < 0 ? status : output->pb->error);
        return 0;
    }

    /// The system error for a failed library call; a cause that is not the
    /// disk is kept for the user.
    int failure(int error)
    {
        if (m_writer.error)
            return m_writer.error;
        if (error == AVERROR_EXIT || cancelled())
            return ECANCELED;
        if (!m_stop)
            m_stop = Stop{ConvertStatus::Unusable, "converting it failed: " + errorText(error)};
        return EIO;
    }

    int copyPackets()
    {
        PacketPtr packet(av_packet_alloc());
        if (!packet)
            return ENOMEM;
        int errorsInARow = 0;
        std::uint64_t reported = 0;
        for (;;) {
            if (cancelled())
                return ECANCELED;
            const int read = av_read_frame(m_source.get(), packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0) {
                if (read == AVERROR_EXIT)
                    return ECANCELED;
                // A damaged tag: the demuxer looks for the next one. A file that
                // only fails from here on ends the conversion.
                ++m_damagedPackets;
                if (avio_feof(m_source->pb) || ++errorsInARow > 1000)
                    break;
                continue;
            }
            errorsInARow = 0;
            Track* track = trackOf(packet->stream_index);
            int status = 0;
            m_endsInPacket = false;
            if (packet->flags & AV_PKT_FLAG_CORRUPT) {
                // Short at the end of the file: it was cut short. Elsewhere: damage.
                if (avio_feof(m_source->pb))
                    m_endsInPacket = true;
                else
                    ++m_damagedPackets;
            }
            if (track) {
                status = track->copy ? copyPacket(*track, packet.get()) : decode(*track, packet.get());
            }
            av_packet_unref(packet.get());
            if (status)
                return status;
            const auto done = static_cast<std::uint64_t>(std::min(m_reader.position, m_reader.size));
            if (m_observer.onProgress && done >= reported + progressStepBytes) {
                reported = done;
                m_observer.onProgress(done, static_cast<std::uint64_t>(m_reader.size));
            }
        }
        if (m_observer.onProgress)
            m_observer.onProgress(static_cast<std::uint64_t>(m_reader.size),
                                  static_cast<std::uint64_t>(m_reader.size));
        return 0;
    }

    Track* trackOf(int index)
    {
        for (Track* track : {&m_video, &m_audio})
            if (track->used() && track->input->index == index)
                return track;
        return nullptr;
    }

    /// Puts the packet's timestamps in order: the source's start at zero,
    /// jumps of a discontinuous source (an FLV joined from two) closed, and
    /// every decoding time after the one before.
    bool repairTimestamps(Track& track, AVPacket* packet)
    {
        const AVRational base = track.input->time_base;
        if (packet->dts == AV_NOPTS_VALUE)
            packet->dts = packet->pts;
        const std::int64_t presentationDelay = packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE
                                                   ? std::max<std::int64_t>(0, packet->pts - packet->dts)
                                                   : 0;
        std::int64_t dts;
        if (packet->dts == AV_NOPTS_VALUE) {
            dts = track.lastDts == AV_NOPTS_VALUE
                      ? 0
                      : track.lastDts +
                            std::max<std::int64_t>(1, av_rescale_q(track.stepUs, microseconds, base));
        } else {
            dts = packet->dts + av_rescale_q(m_shiftUs, microseconds, base);
            if (m_discontinuous && track.lastDts != AV_NOPTS_VALUE) {
                const std::int64_t jumpUs = av_rescale_q(dts - track.lastDts, base, microseconds);
                if (jumpUs < -secondUs || jumpUs > 10 * secondUs) {
                    m_shiftUs -= jumpUs - track.stepUs;
                    dts = packet->dts + av_rescale_q(m_shiftUs, microseconds, base);
                    ++m_timestampJumps;
                }
            }
        }
        if (track.lastDts != AV_NOPTS_VALUE && dts <= track.lastDts) {
            dts = track.lastDts + 1;
            ++m_timestampsReordered;
        }
        track.lastDts = dts;
        packet->dts = dts;
        packet->pts = dts + presentationDelay;
        packet->pos = -1;
        // The MP4's edit list ends with the last packet's duration: without
        // one, players would leave the last frame out.
        if (packet->duration <= 0)
            packet->duration = packetDuration(track, packet, base);
        return true;
    }

    std::int64_t packetDuration(const Track& track, const AVPacket* packet, AVRational base) const
    {
        if (&track == &m_video)
            return std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(m_frameRate), base));
        const AVCodecParameters* parameters = track.input->codecpar;
        const int samples = av_get_audio_frame_duration2(track.input->codecpar, packet->size);
        if (samples > 0 && parameters->sample_rate > 0)
            return av_rescale_q(samples, {1, parameters->sample_rate}, base);
        return 0;
    }

    /// False for a video packet before the first key frame: nothing can be
    /// shown from it.
    bool wanted(Track& track, const AVPacket* packet)
    {
        if (&track != &m_video || track.keyFrameSeen)
            return true;
        if (!(packet->flags & AV_PKT_FLAG_KEY)) {
            ++track.droppedBeforeKeyFrame;
            return false;
        }
        track.keyFrameSeen = true;
        return true;
    }

    int copyPacket(Track& track, AVPacket* packet)
    {
        if (!wanted(track, packet))
            return 0;
        repairTimestamps(track, packet);
        return write(track, packet, track.input->time_base);
    }

    int write(Track& track, AVPacket* packet, AVRational from)
    {
        const std::int64_t end = packet->pts + std::max<std::int64_t>(0, packet->duration);
        track.endUs = std::max(track.endUs, av_rescale_q(end, from, microseconds));
        av_packet_rescale_ts(packet, from, track.output->time_base);
        packet->stream_index = track.output->index;
        const int status = av_interleaved_write_frame(m_output.get(), packet);
        if (status < 0)
            return failure(status);
        ++track.packetsWritten;
        return 0;
    }

    int decode(Track& track, AVPacket* packet)
    {
        if (packet) {
            if (!wanted(track, packet))
                return 0;
            repairTimestamps(track, packet);
        }
        const int sent = avcodec_send_packet(track.decoder.get(), packet);
        if (sent < 0 && sent != AVERROR_EOF) {
            ++m_damagedPackets; // the decoder goes on with the next packet
            return 0;
        }
        FramePtr frame(av_frame_alloc());
        if (!frame)
            return ENOMEM;
        for (;;) {
            const int received = avcodec_receive_frame(track.decoder.get(), frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return 0;
            if (received < 0) {
                ++m_damagedPackets;
                return 0;
            }
            const int status = &track == &m_video ? encodeVideo(frame.get()) : encodeAudio(frame.get());
            av_frame_unref(frame.get());
            if (status)
                return status;
        }
    }

    int encodeVideo(AVFrame* frame)
    {
        Track& track = m_video;
        AVCodecContext* encoder = track.encoder.get();
        std::int64_t pts = frame->best_effort_timestamp;
        if (pts == AV_NOPTS_VALUE)
            pts = track.lastFramePts == AV_NOPTS_VALUE ? 0 : track.lastFramePts + track.frameStep;
        if (track.lastFramePts != AV_NOPTS_VALUE && pts <= track.lastFramePts)
            pts = track.lastFramePts + track.frameStep;
        track.lastFramePts = pts;

        AVFrame* picture = frame;
        const bool evenCut = (frame->width & ~1) == encoder->width && (frame->height & ~1) == encoder->height;
        if (frame->format == AV_PIX_FMT_YUV420P && evenCut) {
            // Cutting the odd column and row off a 4:2:0 picture moves no byte.
            frame->width = encoder->width;
            frame->height = encoder->height;
        } else {
            const int sourceWidth = evenCut ? encoder->width : frame->width;
            const int sourceHeight = evenCut ? encoder->height : frame->height;
            track.scaler.reset(sws_getCachedContext(
                track.scaler.release(), sourceWidth, sourceHeight, static_cast<AVPixelFormat>(frame->format),
                encoder->width, encoder->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
            if (!track.scaler)
                return failure(AVERROR(EINVAL));
            AVFrame* scaled = track.scaled.get();
            av_frame_unref(scaled);
            scaled->format = AV_PIX_FMT_YUV420P;
            scaled->width = encoder->width;
            scaled->height = encoder->height;
            if (av_frame_get_buffer(scaled, 0) < 0)
                return ENOMEM;
            sws_scale(track.scaler.get(), frame->data, frame->linesize, 0, sourceHeight, scaled->data,
                      scaled->linesize);
            picture = scaled;
        }
        picture->pts = pts;
        picture->pict_type = AV_PICTURE_TYPE_NONE;
        picture->sample_aspect_ratio = encoder->sample_aspect_ratio;
        return encode(track, picture);
    }

    int encode(Track& track, AVFrame* frame)
    {
        const int sent = avcodec_send_frame(track.encoder.get(), frame);
        if (sent < 0 && sent != AVERROR_EOF)
            return failure(sent);
        PacketPtr packet(av_packet_alloc());
        if (!packet)
            return ENOMEM;
        for (;;) {
            const int received = avcodec_receive_packet(track.encoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return 0;
            if (received < 0)
                return failure(received);
            if (packet->duration <= 0 && &track == &m_video)
                packet->duration = track.frameStep;
            if (const int status = write(track, packet.get(), track.encoder->time_base))
                return status;
        }
    }

    int prepareResampler(const AVFrame* frame)
    {
        Track& track = m_audio;
        AVChannelLayout layout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
            av_channel_layout_default(&layout, std::max(1, frame->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&layout, &frame->ch_layout);
        if (track.resampler && track.resamplerFormat == frame->format &&
            track.resamplerRate == frame->sample_rate &&
            av_channel_layout_compare(&layout, &track.resamplerInput) == 0) {
            av_channel_layout_uninit(&layout);
            return 0;
        }
        SwrContext* resampler = nullptr;
        AVCodecContext* encoder = track.encoder.get();
        int status = swr_alloc_set_opts2(
            &resampler, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate, &layout,
            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        track.resampler.reset(resampler);
        if (status >= 0)
            status = swr_init(resampler);
        av_channel_layout_uninit(&track.resamplerInput);
        track.resamplerInput = layout;
        track.resamplerFormat = frame->format;
        track.resamplerRate = frame->sample_rate;
        return status < 0 ? failure(status) : 0;
    }

    int encodeAudio(AVFrame* frame)
    {
        Track& track = m_audio;
        const AVCodecContext* encoder = track.encoder.get();
        if (frame) {
            if (frame->sample_rate <= 0 || frame->nb_samples <= 0)
                return 0;
            if (const int status = prepareResampler(frame))
                return status;
            if (track.nextSamplePts == AV_NOPTS_VALUE)
                track.nextSamplePts = frame->best_effort_timestamp == AV_NOPTS_VALUE
                                          ? 0
                                          : av_rescale_q(frame->best_effort_timestamp, track.input->time_base,
                                                         encoder->time_base);
        }
        if (!track.resampler)
            return 0;
        const int room = swr_get_out_samples(track.resampler.get(), frame ? frame->nb_samples : 0);
        if (room > 0) {
            AVFrame* resampled = track.resampled.get();
            av_frame_unref(resampled);
            resampled->format = encoder->sample_fmt;
            resampled->nb_samples = room;
            av_channel_layout_copy(&resampled->ch_layout, &encoder->ch_layout);
            if (av_frame_get_buffer(resampled, 0) < 0)
                return ENOMEM;
            const int got =
                swr_convert(track.resampler.get(), resampled->data, room,
                            frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                            frame ? frame->nb_samples : 0);
            if (got < 0)
                return failure(got);
            if (got > 0 &&
                av_audio_fifo_write(track.fifo.get(), reinterpret_cast<void**>(resampled->data), got) < got)
                return ENOMEM;
        }
        return encodeBufferedSound(frame == nullptr);
    }

    int encodeBufferedSound(bool last)
    {
        Track& track = m_audio;
        const AVCodecContext* encoder = track.encoder.get();
        for (;;) {
            const int buffered = av_audio_fifo_size(track.fifo.get());
            if (buffered == 0 || (!last && buffered < encoder->frame_size))
                return 0;
            FramePtr chunk(av_frame_alloc());
            if (!chunk)
                return ENOMEM;
            chunk->format = encoder->sample_fmt;
            chunk->nb_samples = std::min(buffered, encoder->frame_size);
            chunk->sample_rate = encoder->sample_rate;
            av_channel_layout_copy(&chunk->ch_layout, &encoder->ch_layout);
            if (av_frame_get_buffer(chunk.get(), 0) < 0)
                return ENOMEM;
            av_audio_fifo_read(track.fifo.get(), reinterpret_cast<void**>(chunk->data), chunk->nb_samples);
            chunk->pts = track.nextSamplePts;
            track.nextSamplePts += chunk->nb_samples;
            if (const int status = encode(track, chunk.get()))
                return status;
        }
    }

    int drain(Track& track)
    {
        if (const int status = decode(track, nullptr))
            return status;
        if (&track == &m_audio)
            if (const int status = encodeAudio(nullptr))
                return status;
        return encode(track, nullptr);
    }

    void addWarnings()
    {
        auto& warnings = m_result.warnings;
        if (m_damagedPackets > 0)
            warnings.push_back("it holds damaged data; " + std::to_string(m_damagedPackets) +
                               " damaged packets were skipped");
        else if (errors > 0)
            warnings.push_back("it holds damaged data, which was skipped or patched over");
        if (m_video.droppedBeforeKeyFrame > 0)
            warnings.push_back("its first " + std::to_string(m_video.droppedBeforeKeyFrame) +
                               " video frames come before its first key frame and were left out");
        if (m_timestampJumps > 0)
            warnings.push_back("its timestamps jump " + std::to_string(m_timestampJumps) +
                               " times; the MP4 plays straight across");
        if (m_timestampsReordered > 0)
            warnings.push_back(std::to_string(m_timestampsReordered) +
                               " of its packets had timestamps out of order, which were corrected");
        // A file cut short: it ends inside a packet, or its header announced
        // more than there was.
        const std::int64_t converted = std::max(m_video.endUs, m_audio.endUs);
        if (m_endsInPacket)
            warnings.push_back(
                "it ends in the middle of a packet, so it seems cut short; the MP4 holds the " +
                seconds(converted) + " that are there");
        else if (m_source->duration > 0 &&
                 m_source->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE &&
                 converted + std::max<std::int64_t>(secondUs / 2, m_source->duration / 50) <
                     m_source->duration)
            warnings.push_back("it ends after " + seconds(converted) + " of the " +
                               seconds(m_source->duration) +
                               " its header announces; the MP4 holds what is there");
    }

    const ConvertObserver& m_observer;
    const Mp4Settings& m_settings;
    ConvertResult m_result;
    std::optional<Stop> m_stop;

    int m_sourceFd = -1;
    FileReader m_reader;
    IoPtr m_sourceIo;
    std::unique_ptr<AVFormatContext, InputDeleter> m_source;
    bool m_discontinuous = false;
    std::int64_t m_shiftUs = 0;
    AVRational m_frameRate{25, 1};

    Track m_video;
    Track m_audio;

    std::string m_destination;
    std::string m_openPath; ///< where the MP4 being written can be opened once more
    int m_destinationReader = -1; ///< or the MP4 open for reading, handed by the caller
    FileWriter m_writer;
    IoPtr m_outputIo;
    std::unique_ptr<AVFormatContext, OutputDeleter> m_output;

    std::uint64_t m_damagedPackets = 0;
    bool m_endsInPacket = false;
    std::uint64_t m_timestampJumps = 0;
    std::uint64_t m_timestampsReordered = 0;
};

} // namespace

ConvertResult convertToMp4(const std::string& source, const std::string& destination,
                           const ConvertObserver& observer, const Mp4Settings& settings)
{
    Converter converter(observer, settings);
    return converter.run(source, destination);
}

ConvertResult convertToMp4(const Mp4Files& files, const ConvertObserver& observer, const Mp4Settings& settings)
{
    Converter converter(observer, settings);
    return converter.run(files);
}

bool isBrowserReadyMp4(int fd)
{
    const ConvertObserver observer;
    const Mp4Settings settings;
    Converter converter(observer, settings);
    return converter.browserReadyMp4(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

bool isBrowserReadyMp4(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool ready = isBrowserReadyMp4(fd);
    ::close(fd);
    return ready;
}

} // namespace vidlume
