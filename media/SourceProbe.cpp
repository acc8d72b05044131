#include "media/SourceProbe.h"

#include "media/FlvCodec.h"
#include "platform/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace vidlume::media {

namespace {

// Containers the converter reads besides FLV. Formats that open further files
// or addresses (playlists, concatenation lists, image sequences) are left out:
// a text file renamed .flv must not make us fetch anything.
const char* const readableFormats = "flv,live_flv,mov,matroska,avi,mpegts,mpeg,asf,ogg,mp3,aac,wav";

const Stop cancelled{ConvertStatus::Cancelled, "cancelled"};

int interruptCallback(void* opaque)
{
    const auto* cancelled = static_cast<const std::function<bool()>*>(opaque);
    return *cancelled && (*cancelled)() ? 1 : 0;
}

Stop unreadable(const Source& source, int error)
{
    char start[3] = {};
    const bool flv = platform::readAt(source.fd, start, 3, 0) == 3 && std::equal(start, start + 3, "FLV");
    return {ConvertStatus::Unusable, flv ? "its FLV data cannot be read (" + libraryErrorText(error) + ")"
                                         : std::string("it is not an FLV file")};
}

/// The tags of the FLV, or nothing when the whole file is them.
std::vector<FileSpan> cleanStretches(const FlvLayout& layout, std::int64_t fileSize)
{
    if (layout.kept.size() == 1 && layout.kept.front().offset == 0 &&
        static_cast<std::int64_t>(layout.kept.front().size) == fileSize)
        return {};
    std::vector<FileSpan> spans;
    for (const FlvSpan& span : layout.kept)
        spans.push_back({static_cast<std::int64_t>(span.offset), static_cast<std::int64_t>(span.size)});
    return spans;
}

/// The decoders that probing opens take no picture beyond the converter's limit.
std::vector<AVDictionary*> probeOptions(const AVFormatContext* context)
{
    std::vector<AVDictionary*> options(context->nb_streams, nullptr);
    for (AVDictionary*& streamOptions : options)
        av_dict_set_int(&streamOptions, "max_pixels", largestPicture, 0);
    return options;
}

/// The refusal of the size of the source's video, when it has one.
Step checkVideoSize(const Source& source)
{
    const AVFormatContext* context = source.context.get();
    const int index = bestStream(context, AVMEDIA_TYPE_VIDEO);
    if (index < 0)
        return std::nullopt;
    const AVCodecParameters* parameters = context->streams[index]->codecpar;
    return checkPictureSize(parameters->width, parameters->height, source.layout.metadataWidth,
                            source.layout.metadataHeight);
}

} // namespace

Step checkPictureSize(int width, int height, int metadataWidth, int metadataHeight)
{
    const auto offBy2 = [](int size, int metadataSize) {
        return metadataSize > 0 && size > 0 &&
               (std::int64_t{size} > 2 * std::int64_t{metadataSize} || std::int64_t{metadataSize} > 2 * std::int64_t{size});
    };
    const bool tooLarge = width > largestPictureSide || height > largestPictureSide ||
                          std::int64_t{width} * height > largestPicture;
    const bool knownBoth = metadataWidth > 0 && metadataHeight > 0;
    if (!tooLarge && !(knownBoth && (offBy2(width, metadataWidth) || offBy2(height, metadataHeight))))
        return std::nullopt;
    return Stop{ConvertStatus::Unusable, "its picture size " + std::to_string(width) + "\u00d7" +
                                             std::to_string(height) + " is not believable"};
}

Source::~Source()
{
    context.reset();
    io.reset();
    reader.reset();
    if (fd >= 0)
        ::close(fd);
}

Step openSource(int fd, Source& source, const std::function<bool()>& isCancelled, void* logOwner)
{
    if (fd < 0)
        return Stop{ConvertStatus::Unusable, "it cannot be read: " + libraryErrorText(AVERROR(errno))};
    source.fd = fd;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return Stop{ConvertStatus::Unusable, "it is not a plain file"};
    if (info.st_size == 0)
        return Stop{ConvertStatus::Unusable, "the file is empty"};
    source.fileSize = info.st_size;
    source.reader = std::make_unique<FileReader>(fd, info.st_size);
    source.layout = walkFlvTags(fd);
    if (source.layout.flv) {
        const FlvLayout& layout = source.layout;
        if (Step stop = checkPictureSize(layout.largestCodedWidth, layout.largestCodedHeight, layout.metadataWidth,
                                         layout.metadataHeight))
            return stop;
        if (std::vector<FileSpan> spans = cleanStretches(layout, info.st_size); !spans.empty())
            source.reader->showOnly(std::move(spans));
    }

    source.io = makeReaderIo(*source.reader);
    AVFormatContext* context = avformat_alloc_context();
    if (!source.io || !context) {
        avformat_free_context(context);
        return Stop{ConvertStatus::Unusable, "out of memory"};
    }
    context->pb = source.io.get();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->opaque = logOwner;
    context->io_open = refuseToOpen;
    context->interrupt_callback = {interruptCallback, const_cast<std::function<bool()>*>(&isCancelled)};
    AVDictionary* formatOptions = nullptr;
    av_dict_set(&formatOptions, "format_whitelist", readableFormats, 0);
    const int opened = avformat_open_input(&context, nullptr, nullptr, &formatOptions);
    av_dict_free(&formatOptions);
    if (opened < 0) // context is freed by the failed open
        return isCancelled && isCancelled() ? cancelled : unreadable(source, opened);
    source.context.reset(context);
    source.flv = std::string(context->iformat->name).find("flv") != std::string::npos;
    if (isCancelled && isCancelled())
        return cancelled;
    std::vector<AVDictionary*> options = probeOptions(context);
    const int found = avformat_find_stream_info(context, options.empty() ? nullptr : options.data());
    for (AVDictionary*& streamOptions : options)
        av_dict_free(&streamOptions);
    if (isCancelled && isCancelled())
        return cancelled;
    if (found < 0 && context->nb_streams == 0)
        return unreadable(source, found);
    return checkVideoSize(source);
}

int bestStream(const AVFormatContext* context, AVMediaType type)
{
    const int index = av_find_best_stream(const_cast<AVFormatContext*>(context), type, -1, -1, nullptr, 0);
    if (index < 0)
        return -1;
    if (context->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)
        return -1;
    return index;
}

std::string codecName(const AVStream* stream, bool flv)
{
    if (stream->codecpar->codec_id == AV_CODEC_ID_NONE && flv)
        return stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO
                   ? flvSoundCodecName(static_cast<int>(stream->codecpar->codec_tag))
                   : flvVideoCodecName(static_cast<int>(stream->codecpar->codec_tag));
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream->codecpar->codec_id);
    return descriptor ? descriptor->long_name : "an unknown codec";
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

bool browsersPlayAsItIs(const Source& source)
{
    const AVFormatContext* context = source.context.get();
    if (!context || std::string(context->iformat->name).rfind("mov,", 0) != 0)
        return false;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* parameters = context->streams[i]->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
            (parameters->codec_id != AV_CODEC_ID_H264 || !browsersPlayH264Profile(parameters->profile)))
            return false;
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && parameters->codec_id != AV_CODEC_ID_AAC &&
            parameters->codec_id != AV_CODEC_ID_MP3)
            return false;
    }
    return bestStream(context, AVMEDIA_TYPE_VIDEO) >= 0 || bestStream(context, AVMEDIA_TYPE_AUDIO) >= 0;
}

} // namespace vidlume::media
