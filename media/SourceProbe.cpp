#include "media/SourceProbe.h"

#include "media/FlvCodec.h"

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
    const bool flv = ::pread(source.fd, start, 3, 0) == 3 && std::equal(start, start + 3, "FLV");
    return {ConvertStatus::Unusable, flv ? "its FLV data cannot be read (" + libraryErrorText(error) + ")"
                                         : std::string("it is not an FLV file")};
}

} // namespace

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
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", readableFormats, 0);
    const int opened = avformat_open_input(&context, nullptr, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) // context is freed by the failed open
        return isCancelled && isCancelled() ? cancelled : unreadable(source, opened);
    source.context.reset(context);
    source.flv = std::string(context->iformat->name).find("flv") != std::string::npos;
    if (isCancelled && isCancelled())
        return cancelled;
    const int found = avformat_find_stream_info(context, nullptr);
    if (isCancelled && isCancelled())
        return cancelled;
    if (found < 0 && context->nb_streams == 0)
        return unreadable(source, found);
    return std::nullopt;
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
        return flvVideoCodecName(static_cast<int>(stream->codecpar->codec_tag));
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
