#include "media/ConvertToMp4.h"

#include "media/AudioEncoder.h"
#include "media/ConvertStop.h"
#include "media/FdIo.h"
#include "media/FlvCodec.h"
#include "media/LibraryHandles.h"
#include "media/LibraryLog.h"
#include "media/SilentAac.h"
#include "media/SourceProbe.h"
#include "media/TimestampRepair.h"
#include "media/VideoEncoder.h"
#include "platform/FileCopy.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume {

namespace {

using namespace media;

/// Progress goes out no more often than this: a fast stream copy reads many
/// thousand packets a second, and each report wakes the publisher. It goes
/// out that often even when the share read stays the same (a small file that
/// decodes to many frames): the publisher takes each report as a sign of work
/// done and stops a converter that does none.
constexpr std::chrono::milliseconds progressInterval{50};

/// Silence put into gaps of copied sound is worth a warning from this much on:
/// less is the rounding of a frame or two where joined parts meet.
constexpr std::int64_t audibleGapUs = 50'000;

std::string seconds(std::int64_t microseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(microseconds) / secondUs);
    return text;
}

/// One stream of the source that goes into the MP4.
struct Track
{
    AVStream* input = nullptr;
    AVStream* output = nullptr;
    bool copy = false;
    int clock = -1; ///< its number in the timestamp repair
    std::int64_t stepUs = 0;
    CodecPtr decoder;
    std::uint64_t packetsWritten = 0;
    std::int64_t endUs = 0; ///< where its last packet ends
    bool keyFrameSeen = false;
    std::uint64_t droppedBeforeKeyFrame = 0;
    std::int64_t nextDts = AV_NOPTS_VALUE; ///< where a copied packet after the last one belongs
    AVCodecContext* lastDecoder = nullptr; ///< of a re-encode: the one that decoded the last packet

    bool used() const { return input != nullptr; }
};

/// One conversion: the source's packets read in their order, each copied or
/// decoded and encoded again, and written to the MP4.
class Converter
{
public:
    Converter(const ConvertObserver& observer, const Mp4Settings& settings)
        : m_observer(observer), m_settings(settings)
    {
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    /// Converts the source on sourceFd (owned from here on) into a new file
    /// made by writeNewFileWith under destination.
    ConvertResult run(int sourceFd, const std::string& destination)
    {
        if (Step stop = prepare(sourceFd))
            return finish(*stop);
        Step stop;
        const platform::CopyResult written =
            platform::writeNewFileWith(destination, [&](int fd, const std::string& openPath) {
                stop = writeMp4(fd, destination, openPath, -1);
                return stop ? systemErrorFor(*stop) : 0;
            });
        if (stop)
            return finish(*stop);
        using platform::CopyFailure;
        switch (written.failure) {
        case CopyFailure::None:
            break;
        case CopyFailure::Cancelled:
            return finish({ConvertStatus::Cancelled, "cancelled"});
        case CopyFailure::DestinationExists:
            return finish({ConvertStatus::DestinationExists, "a file of that name is already there"});
        default:
            return finish({ConvertStatus::WriteFailed, libraryErrorText(AVERROR(written.error)), written.error});
        }
        m_result.bytes = written.bytes;
        addWarnings();
        return m_result;
    }

    /// The same into a file made by the caller, from a file it opened.
    ConvertResult run(const Mp4Files& files)
    {
        if (Step stop = prepare(platform::duplicateFile(files.source)))
            return finish(*stop);
        if (Step stop = writeMp4(files.destination, "destination.mp4", {}, files.destinationReader))
            return finish(*stop);
        struct stat info;
        m_result.bytes = ::fstat(files.destination, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
        addWarnings();
        return m_result;
    }

private:
    ConvertResult finish(const Stop& stop)
    {
        m_result.status = stop.status;
        m_result.reason = stop.reason;
        m_result.error = stop.error;
        m_result.video = m_result.audio = StreamHandling::None;
        m_result.warnings.clear();
        return m_result;
    }

    /// The errno that tells writeNewFileWith how the writing ended.
    static int systemErrorFor(const Stop& stop)
    {
        if (stop.status == ConvertStatus::Cancelled)
            return ECANCELED;
        return stop.error ? stop.error : EIO;
    }

    bool cancelled() const { return m_observer.cancelRequested && m_observer.cancelRequested(); }

    /// The stop for a failed library call: the disk's error when writing
    /// failed, a cancel, or the library's reason.
    Stop failed(int error) const
    {
        if (m_writer.error)
            return {ConvertStatus::WriteFailed, libraryErrorText(AVERROR(m_writer.error)), m_writer.error};
        if (error == AVERROR_EXIT || cancelled())
            return {ConvertStatus::Cancelled, "cancelled"};
        if (error == AVERROR(ENOMEM))
            return {ConvertStatus::Unusable, "converting it needs more memory than there is"};
        return {ConvertStatus::Unusable, "converting it failed: " + libraryErrorText(error)};
    }

    Step prepare(int sourceFd)
    {
        m_cancelled = [this] { return cancelled(); };
        if (Step stop = openSource(sourceFd, m_source, m_cancelled, m_log.owner()))
            return stop;
        if (Step stop = prepareTracks())
            return stop;
        m_log.reset(); // what probing the source logged is no damage
        return std::nullopt;
    }

    Step prepareTracks()
    {
        AVFormatContext* context = m_source.context.get();
        // FLV files are often joined from several, each part's timestamps
        // starting again at zero.
        m_repair.emplace(m_source.flv || (context->iformat->flags & AVFMT_TS_DISCONT) != 0, context->start_time);

        const int videoIndex = firstPartStream(AVMEDIA_TYPE_VIDEO);
        const int audioIndex = firstPartStream(AVMEDIA_TYPE_AUDIO);
        if (videoIndex < 0 && audioIndex < 0)
            return Stop{ConvertStatus::Unusable, "it holds no video or sound"};
        if (videoIndex >= 0)
            if (Step stop = prepareVideo(context->streams[videoIndex]))
                return stop;
        if (audioIndex >= 0)
            if (Step stop = prepareAudio(context->streams[audioIndex]))
                return stop;
        return std::nullopt;
    }

    /// The stream of the type that the conversion takes. An FLV has a second
    /// stream of a type only where a joined part brings another codec: its
    /// first one is where the video or sound starts.
    int firstPartStream(AVMediaType type) const
    {
        const AVFormatContext* context = m_source.context.get();
        const int best = bestStream(context, type);
        if (m_source.flv && best >= 0)
            for (unsigned i = 0; i < context->nb_streams; ++i)
                if (context->streams[i]->codecpar->codec_type == type)
                    return int(i);
        return best;
    }

    Step prepareVideo(AVStream* stream)
    {
        const AVCodecParameters* parameters = stream->codecpar;
        m_video.input = stream;
        // Joined parts of other settings or codecs cannot share one track's
        // configuration: they are decoded and encoded again as one video.
        m_video.copy = parameters->codec_id == AV_CODEC_ID_H264 && browsersPlayH264Profile(parameters->profile) &&
                       (parameters->extradata_size > 0 || !m_source.flv) && !m_source.layout.videoChanges;
        AVRational rate = av_guess_frame_rate(m_source.context.get(), stream, nullptr);
        if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) < 1 || av_q2d(rate) > 240)
            rate = {25, 1};
        m_frameRate = rate;
        m_video.stepUs = av_rescale_q(1, av_inv_q(rate), microseconds);
        m_video.clock = m_repair->addTrack(stream->time_base, m_video.stepUs);
        if (!m_video.copy) {
            const std::string sourceCodec = codecName(stream, m_source.flv);
            m_video.decoder = openDecoder(stream);
            if (!m_video.decoder)
                return Stop{ConvertStatus::Unusable, "its video codec, " + sourceCodec + ", cannot be converted"};
            std::string reason;
            m_videoEncoder = VideoEncoder::open(
                stream, m_frameRate, {m_settings.x264Preset, m_settings.x264Crf, m_settings.x264Profile, m_settings.threads},
                m_log.owner(), reason);
            if (!m_videoEncoder)
                return Stop{ConvertStatus::Unusable, reason};
        }
        m_result.video = m_video.copy ? StreamHandling::Copied : StreamHandling::Reencoded;
        return std::nullopt;
    }

    Step prepareAudio(AVStream* stream)
    {
        m_audio.input = stream;
        // AAC is copied; MP3 is encoded to AAC as well: inside an MP4,
        // Chromium plays it but does not report a file cut short, so a
        // page's player would wait for ever instead of saying so. Joined
        // parts whose sound differs in codec or settings cannot share one
        // track's configuration: all of it is decoded and encoded again.
        m_audio.copy = stream->codecpar->codec_id == AV_CODEC_ID_AAC && stream->codecpar->extradata_size > 0 &&
                       !m_source.layout.soundChanges;
        m_audio.stepUs = secondUs / 50;
        if (!m_audio.copy) {
            std::string problem;
            m_audio.decoder = openDecoder(stream);
            if (m_audio.decoder)
                m_audioEncoder = AudioEncoder::open(stream, m_settings.aacBitRatePerChannel, m_log.owner(),
                                                    m_cancelled, problem);
            if (!m_audioEncoder) {
                m_audio = Track{};
                const std::string codec = codecName(stream, m_source.flv);
                if (!m_video.used())
                    return Stop{ConvertStatus::Unusable, "its sound's codec, " + codec + ", cannot be converted"};
                m_result.warnings.push_back("its sound (" + codec + ") cannot be converted and was left out" +
                                            problem);
                return std::nullopt;
            }
        }
        m_audio.clock = m_repair->addTrack(stream->time_base, m_audio.stepUs);
        m_result.audio = m_audio.copy ? StreamHandling::Copied : StreamHandling::Reencoded;
        return std::nullopt;
    }

    CodecPtr openDecoder(const AVStream* stream)
    {
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        if (!codec)
            return nullptr;
        CodecPtr decoder(avcodec_alloc_context3(codec));
        if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
            return nullptr;
        decoder->pkt_timebase = stream->time_base;
        decoder->max_pixels = largestPicture; // a size changed later in the stream too
        decoder->opaque = m_log.owner();
        decoder->thread_count = m_settings.threads; // 0: one per core
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return nullptr;
        return decoder;
    }

    // --- Writing the MP4 ---

    /// Opens the muxer on fd; name is what it calls the file, and what its
    /// second look at it asks for.
    Step openOutput(int fd, const std::string& name, const std::string& openPath, int readerFd)
    {
        m_writer = Mp4Writer{fd, name, openPath, readerFd};
        AVFormatContext* output = nullptr;
        if (avformat_alloc_output_context2(&output, nullptr, "mp4", nullptr) < 0)
            return failed(AVERROR(ENOMEM));
        m_output.reset(output);
        output->url = av_strdup(name.c_str());
        output->opaque = m_log.owner();
        output->io_open = openMp4ForReading;
        output->io_close2 = closeMp4ForReading;
        output->flush_packets = 0;
        m_outputIo = makeWriterIo(m_writer);
        if (!m_outputIo)
            return failed(AVERROR(ENOMEM));
        output->pb = m_outputIo.get();

        for (Track* track : {&m_video, &m_audio}) {
            if (!track->used())
                continue;
            track->output = avformat_new_stream(output, nullptr);
            if (!track->output)
                return failed(AVERROR(ENOMEM));
            if (track->copy) {
                avcodec_parameters_copy(track->output->codecpar, track->input->codecpar);
                track->output->codecpar->codec_tag = 0;
                track->output->time_base = track->input->time_base;
            } else {
                const AVCodecContext* encoder =
                    track == &m_video ? m_videoEncoder->context() : m_audioEncoder->context();
                avcodec_parameters_from_context(track->output->codecpar, encoder);
                track->output->time_base = encoder->time_base;
            }
            track->output->sample_aspect_ratio = track->input->sample_aspect_ratio;
        }
        AVDictionary* options = nullptr;
        av_dict_set(&options, "movflags", "+faststart", 0);
        const int status = avformat_write_header(output, &options);
        av_dict_free(&options);
        return status < 0 ? Step(failed(status)) : std::nullopt;
    }

    Step writeMp4(int fd, const std::string& name, const std::string& openPath, int readerFd)
    {
        if (Step stop = openOutput(fd, name, openPath, readerFd))
            return stop;
        if (Step stop = convertPackets())
            return stop;
        if (Step stop = drain())
            return stop;
        if (m_video.packetsWritten + m_audio.packetsWritten == 0)
            return Stop{ConvertStatus::Unusable, "not one frame of it could be read"};
        const int status = av_write_trailer(m_output.get());
        avio_flush(m_output->pb);
        if (status < 0 || m_output->pb->error < 0)
            return failed(status < 0 ? status : m_output->pb->error);
        return std::nullopt;
    }

    Step convertPackets()
    {
        PacketPtr packet(av_packet_alloc());
        if (!packet)
            return failed(AVERROR(ENOMEM));
        AVFormatContext* source = m_source.context.get();
        int errorsInARow = 0;
        for (;;) {
            if (cancelled())
                return failed(AVERROR_EXIT);
            const int read = av_read_frame(source, packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0) {
                if (read == AVERROR_EXIT)
                    return failed(read);
                // A damaged tag: the demuxer looks for the next one. A file that
                // only fails from here on ends the conversion.
                ++m_damagedPackets;
                if (avio_feof(source->pb) || ++errorsInARow > 1000)
                    break;
                continue;
            }
            errorsInARow = 0;
            m_endsInPacket = false;
            if (packet->flags & AV_PKT_FLAG_CORRUPT) {
                // Short at the end of the file: it was cut short. Elsewhere: damage.
                if (avio_feof(source->pb))
                    m_endsInPacket = true;
                else
                    ++m_damagedPackets;
            }
            int status = 0;
            Track* track = trackOf(packet->stream_index);
            if (!track)
                track = laterPartTrack(packet->stream_index);
            if (track == &m_video)
                if (Step stop = checkParameterSetsIn(*packet))
                    return stop;
            if (track)
                status = track->copy ? copyPacket(*track, packet.get()) : decode(*track, packet.get());
            av_packet_unref(packet.get());
            if (m_partRefusal)
                return m_partRefusal;
            if (status < 0)
                return failed(status);
            reportProgress();
        }
        if (m_observer.onProgress)
            m_observer.onProgress(static_cast<std::uint64_t>(m_source.fileSize),
                                  static_cast<std::uint64_t>(m_source.fileSize));
        return std::nullopt;
    }

    /// A parameter set inside an H.264 packet may announce another picture size
    /// than the sequence header did: it is held to the same limits.
    Step checkParameterSetsIn(const AVPacket& packet) const
    {
        const AVCodecParameters* parameters = m_video.input->codecpar;
        if (parameters->codec_id != AV_CODEC_ID_H264 || !packet.data)
            return std::nullopt;
        // The size of each unit's length, from the configuration record; 4 without one.
        int lengthSize = 4;
        if (parameters->extradata_size >= 5 && parameters->extradata[0] == 1)
            lengthSize = (parameters->extradata[4] & 3) + 1;
        int width = 0;
        int height = 0;
        if (!largestPictureInPacket(packet.data, std::size_t(packet.size), lengthSize, width, height))
            return std::nullopt;
        return checkPictureSize(width, height, m_source.layout.metadataWidth, m_source.layout.metadataHeight);
    }

    void reportProgress()
    {
        if (!m_observer.onProgress)
            return;
        // What the reader shows of the file may be less than the file: the
        // share read stands for the share of the file.
        const FileReader& reader = *m_source.reader;
        const auto done = static_cast<std::uint64_t>(
            reader.size() > 0 ? av_rescale(std::min(reader.position(), reader.size()), m_source.fileSize, reader.size())
                              : 0);
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastProgress >= progressInterval) {
            m_lastProgress = now;
            m_observer.onProgress(done, static_cast<std::uint64_t>(m_source.fileSize));
        }
    }

    Track* trackOf(int index)
    {
        for (Track* track : {&m_video, &m_audio})
            if (track->used() && track->input->index == index)
                return track;
        return nullptr;
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

    void repairTimestamps(Track& track, AVPacket* packet)
    {
        const PacketTimes times = m_repair->repair(track.clock, {packet->dts, packet->pts});
        packet->dts = times.dts;
        packet->pts = times.pts;
        packet->pos = -1;
        // The MP4's edit list ends with the last packet's duration: without
        // one, players would leave the last frame out.
        if (packet->duration <= 0)
            packet->duration = packetDuration(track, packet);
    }

    std::int64_t packetDuration(const Track& track, const AVPacket* packet) const
    {
        const AVRational base = track.input->time_base;
        if (&track == &m_video)
            return std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(m_frameRate), base));
        const AVCodecParameters* parameters = track.input->codecpar;
        const int samples = av_get_audio_frame_duration2(track.input->codecpar, packet->size);
        if (samples > 0 && parameters->sample_rate > 0)
            return av_rescale_q(samples, {1, parameters->sample_rate}, base);
        return 0;
    }

    int copyPacket(Track& track, AVPacket* packet)
    {
        if (!wanted(track, packet))
            return 0;
        repairTimestamps(track, packet);
        if (&track == &m_audio)
            if (const int status = fillSoundGapBefore(packet); status < 0)
                return status;
        track.nextDts = packet->dts + std::max<std::int64_t>(0, packet->duration);
        return write(track, packet, track.input->time_base);
    }

    /// A gap in copied sound would be one long sample in the MP4, which
    /// players stretch or skip, losing the time: it is filled with frames
    /// of silence instead, where the sound is AAC-LC.
    int fillSoundGapBefore(const AVPacket* packet)
    {
        const AVCodecParameters* parameters = m_audio.input->codecpar;
        if (m_audio.nextDts == AV_NOPTS_VALUE || parameters->sample_rate <= 0)
            return 0;
        const AVRational base = m_audio.input->time_base;
        const std::int64_t frame = av_rescale_q(1024, {1, parameters->sample_rate}, base);
        if (frame <= 0 || packet->dts - m_audio.nextDts < 2 * frame)
            return 0;
        if (!m_silenceMade) {
            m_silence = silentAacFrame(*parameters);
            m_silenceMade = true;
        }
        if (m_silence.empty())
            return 0;
        PacketPtr silent(av_packet_alloc());
        if (!silent)
            return AVERROR(ENOMEM);
        for (std::int64_t at = m_audio.nextDts; at + frame <= packet->dts; at += frame) {
            if (av_new_packet(silent.get(), int(m_silence.size())) < 0)
                return AVERROR(ENOMEM);
            std::copy(m_silence.begin(), m_silence.end(), silent->data);
            silent->dts = silent->pts = at;
            silent->duration = frame;
            silent->flags |= AV_PKT_FLAG_KEY;
            const int status = write(m_audio, silent.get(), base);
            av_packet_unref(silent.get());
            if (status < 0)
                return status;
            m_silenceFilledUs += av_rescale_q(frame, base, microseconds);
        }
        return 0;
    }

    /// Writes one packet whose times are in the time base from.
    int write(Track& track, AVPacket* packet, AVRational from)
    {
        if (cancelled())
            return AVERROR_EXIT;
        const std::int64_t end = packet->pts + std::max<std::int64_t>(0, packet->duration);
        track.endUs = std::max(track.endUs, av_rescale_q(end, from, microseconds));
        av_packet_rescale_ts(packet, from, track.output->time_base);
        packet->stream_index = track.output->index;
        const int status = av_interleaved_write_frame(m_output.get(), packet);
        if (status < 0)
            return status;
        ++track.packetsWritten;
        // The encoders' last frames come out at the end, after the last read.
        reportProgress();
        return 0;
    }

    PacketSink sinkFor(Track& track)
    {
        const AVCodecContext* encoder = &track == &m_video ? m_videoEncoder->context() : m_audioEncoder->context();
        return [this, &track, base = encoder->time_base](AVPacket* packet) { return write(track, packet, base); };
    }

    /// The re-encoded track that a stream of an FLV belongs to when it begins
    /// where a joined part of another codec begins: the demuxer gives each
    /// codec a stream of its own. Nothing for any other stream.
    Track* laterPartTrack(int index)
    {
        const AVFormatContext* source = m_source.context.get();
        if (!m_source.flv || index < 0 || index >= int(source->nb_streams))
            return nullptr;
        const AVMediaType type = source->streams[index]->codecpar->codec_type;
        Track* track = type == AVMEDIA_TYPE_VIDEO ? &m_video : type == AVMEDIA_TYPE_AUDIO ? &m_audio : nullptr;
        if (!track || !track->used() || track->copy || index == track->input->index)
            return nullptr;
        return track;
    }

    /// The decoder of a packet: the track's own, or one of its own for a later
    /// part of another codec. Nothing (and m_partRefusal set) when that codec
    /// cannot be decoded.
    AVCodecContext* decoderFor(Track& track, const AVPacket* packet)
    {
        if (packet->stream_index == track.input->index)
            return track.decoder.get();
        CodecPtr& decoder = m_partDecoders[packet->stream_index];
        if (!decoder) {
            const AVStream* stream = m_source.context->streams[packet->stream_index];
            decoder = openDecoder(stream);
            if (!decoder) {
                m_partRefusal = Stop{ConvertStatus::Unusable, "a part of it joined on later has " +
                                                                  std::string(&track == &m_video ? "video" : "sound") +
                                                                  " in " + codecName(stream, m_source.flv) +
                                                                  ", which cannot be converted"};
                return nullptr;
            }
            decoder->pkt_timebase = track.input->time_base;
        }
        return decoder.get();
    }

    int decode(Track& track, AVPacket* packet)
    {
        if (!wanted(track, packet))
            return 0;
        AVCodecContext* decoder = decoderFor(track, packet);
        if (!decoder)
            return AVERROR(ENOSYS);
        const AVRational from = m_source.context->streams[packet->stream_index]->time_base;
        av_packet_rescale_ts(packet, from, track.input->time_base);
        // The part before ends where this one begins: its last pictures or sound first.
        if (track.lastDecoder && track.lastDecoder != decoder) {
            avcodec_send_packet(track.lastDecoder, nullptr);
            if (const int status = encodeDecoded(track, track.lastDecoder); status < 0)
                return status;
            avcodec_flush_buffers(track.lastDecoder);
        }
        track.lastDecoder = decoder;
        repairTimestamps(track, packet);
        if (avcodec_send_packet(decoder, packet) < 0) {
            ++m_damagedPackets; // the decoder goes on with the next packet
            return 0;
        }
        return encodeDecoded(track, decoder);
    }

    /// Encodes every frame the decoder has ready.
    int encodeDecoded(Track& track, AVCodecContext* decoder)
    {
        FramePtr frame(av_frame_alloc());
        if (!frame)
            return AVERROR(ENOMEM);
        const PacketSink sink = sinkFor(track);
        for (;;) {
            const int received = avcodec_receive_frame(decoder, frame.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return 0;
            if (received < 0) {
                ++m_damagedPackets;
                return 0;
            }
            const std::int64_t pts = frame->best_effort_timestamp;
            const int status = &track == &m_video
                                   ? m_videoEncoder->encode(frame.get(), pts, sink)
                                   : m_audioEncoder->encode(frame.get(), pts, track.input->time_base, sink);
            av_frame_unref(frame.get());
            if (status < 0)
                return status;
        }
    }

    /// Empties the decoders and encoders of a re-encode at the end.
    Step drain()
    {
        for (Track* track : {&m_video, &m_audio}) {
            if (!track->used() || track->copy)
                continue;
            AVCodecContext* decoder = track->lastDecoder ? track->lastDecoder : track->decoder.get();
            avcodec_send_packet(decoder, nullptr);
            int status = encodeDecoded(*track, decoder);
            if (status >= 0)
                status = track == &m_video ? m_videoEncoder->flush(sinkFor(*track))
                                           : m_audioEncoder->flush(sinkFor(*track));
            if (status < 0)
                return failed(status);
        }
        return std::nullopt;
    }

    void addWarnings()
    {
        auto& warnings = m_result.warnings;
        const FlvLayout& layout = m_source.layout;
        if (layout.parts > 1)
            warnings.push_back("it holds " + std::to_string(layout.parts) +
                               " videos joined one after the other; the MP4 plays them in that order");
        if (layout.videoChanges && m_videoEncoder) {
            const AVCodecContext* encoder = m_videoEncoder->context();
            warnings.push_back("its parts differ in codec or picture settings, so its whole video was encoded "
                               "again at " + std::to_string(encoder->width) + "\u00d7" +
                               std::to_string(encoder->height) + ", the first part's size, each part fitted in "
                               "with its shape kept");
        }
        if (layout.soundChanges && m_audioEncoder) {
            const AVCodecContext* encoder = m_audioEncoder->context();
            warnings.push_back("its parts' sound differs in codec or settings, so its whole sound was encoded "
                               "again as AAC at " + std::to_string(encoder->sample_rate) + " Hz " +
                               (encoder->ch_layout.nb_channels == 1 ? "mono" : "stereo"));
        }
        const std::uint64_t damaged = m_damagedPackets + layout.damaged;
        if (damaged > 0)
            warnings.push_back("it holds damaged data; " + std::to_string(damaged) + " damaged packets were skipped");
        else if (m_log.errors() > 0)
            warnings.push_back("it holds damaged data, which was skipped or patched over");
        if (m_video.droppedBeforeKeyFrame > 0)
            warnings.push_back("its first " + std::to_string(m_video.droppedBeforeKeyFrame) +
                               " video frames come before its first key frame and were left out");
        // Where joined videos meet, their times start again: that was said above.
        const std::uint64_t joins = layout.parts > 1 ? std::uint64_t(layout.parts - 1) : 0;
        if (m_repair->jumps() > joins)
            warnings.push_back("its timestamps jump " + std::to_string(m_repair->jumps() - joins) +
                               " times; the MP4 plays straight across");
        if (m_silenceFilledUs >= audibleGapUs)
            warnings.push_back("its sound has gaps, " + seconds(m_silenceFilledUs) +
                               " in all, which were filled with silence so that sound and picture stay in step");
        if (m_repair->reordered() > 0)
            warnings.push_back(std::to_string(m_repair->reordered()) +
                               " of its packets had timestamps out of order, which were corrected");
        // A file cut short: it ends inside a packet, or its header announced
        // more than there was.
        const AVFormatContext* source = m_source.context.get();
        const std::int64_t converted = std::max(m_video.endUs, m_audio.endUs);
        if (m_endsInPacket || layout.endsInTag)
            warnings.push_back("it ends in the middle of a packet, so it seems cut short; the MP4 holds the " +
                               seconds(converted) + " that are there");
        else if (source->duration > 0 && source->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE &&
                 converted + std::max<std::int64_t>(secondUs / 2, source->duration / 50) < source->duration)
            warnings.push_back("it ends after " + seconds(converted) + " of the " + seconds(source->duration) +
                               " its header announces; the MP4 holds what is there");
    }

    const ConvertObserver& m_observer;
    std::chrono::steady_clock::time_point m_lastProgress{};
    const Mp4Settings& m_settings;
    std::function<bool()> m_cancelled;
    LogCounter m_log;
    ConvertResult m_result;

    Source m_source;
    std::optional<TimestampRepair> m_repair;
    AVRational m_frameRate{25, 1};
    Track m_video;
    Track m_audio;
    std::unique_ptr<VideoEncoder> m_videoEncoder;
    std::unique_ptr<AudioEncoder> m_audioEncoder;

    Mp4Writer m_writer;
    IoPtr m_outputIo;
    OutputPtr m_output;

    /// A frame of silence for gaps in copied sound, made when first needed.
    std::vector<std::uint8_t> m_silence;
    bool m_silenceMade = false;
    std::int64_t m_silenceFilledUs = 0;

    /// Decoders of the later parts in other codecs, by stream.
    std::map<int, CodecPtr> m_partDecoders;
    Step m_partRefusal;

    std::uint64_t m_damagedPackets = 0;
    bool m_endsInPacket = false;
};

int openForReading(const std::string& path)
{
    return platform::openForReading(path);
}

} // namespace

ConvertResult convertToMp4(const std::string& source, const std::string& destination,
                           const ConvertObserver& observer, const Mp4Settings& settings)
{
    Converter converter(observer, settings);
    return converter.run(openForReading(source), destination);
}

ConvertResult convertToMp4(const Mp4Files& files, const ConvertObserver& observer, const Mp4Settings& settings)
{
    Converter converter(observer, settings);
    return converter.run(files);
}

bool isBrowserReadyMp4(int fd)
{
    LogCounter log;
    const std::function<bool()> never;
    Source source;
    return !openSource(platform::duplicateFile(fd), source, never, log.owner()) && browsersPlayAsItIs(source);
}

bool isBrowserReadyMp4(const std::string& path)
{
    LogCounter log;
    const std::function<bool()> never;
    Source source;
    return !openSource(openForReading(path), source, never, log.owner()) && browsersPlayAsItIs(source);
}

} // namespace vidlume
