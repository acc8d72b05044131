#include "BusyFlv.h"
#include "CraftedSps.h"
#include "ScratchFolder.h"
#include "media/ConvertToMp4.h"
#include "media/FlvCodec.h"
#include "media/VideoEncoder.h"
#include "page/PathNames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

using namespace vidlume;
using test::entriesOf;
using test::readFile;
using test::writeFile;

namespace {

using Names = std::set<std::string>;

/// What the libraries find in a media file: per stream its codec, its
/// packets' checksums, its duration, and how many frames decode.
struct MediaInfo
{
    struct Stream
    {
        AVCodecID codec = AV_CODEC_ID_NONE;
        int width = 0;
        int height = 0;
        int profile = 0;
        std::vector<std::size_t> packetSums;
        double seconds = 0;
        int framesDecoded = 0;
        int decodeErrors = 0;
        double longestPacket = 0; ///< seconds
    };
    std::map<AVMediaType, Stream> streams;
};

MediaInfo inspect(const std::string& path)
{
    MediaInfo info;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return info;
    avformat_find_stream_info(context, nullptr);
    std::map<int, AVCodecContext*> decoders;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* parameters = context->streams[i]->codecpar;
        MediaInfo::Stream& stream = info.streams[parameters->codec_type];
        stream.codec = parameters->codec_id;
        stream.width = parameters->width;
        stream.height = parameters->height;
        stream.profile = parameters->profile;
        const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
        AVCodecContext* decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, parameters);
        avcodec_open2(decoder, codec, nullptr);
        decoders[static_cast<int>(i)] = decoder;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::map<int, std::int64_t> starts;
    std::map<int, std::int64_t> ends;
    const auto drain = [&](int index) {
        MediaInfo::Stream& stream = info.streams[context->streams[index]->codecpar->codec_type];
        int received;
        while ((received = avcodec_receive_frame(decoders[index], frame)) >= 0)
            ++stream.framesDecoded;
        if (received != AVERROR(EAGAIN) && received != AVERROR_EOF)
            ++stream.decodeErrors;
    };
    while (av_read_frame(context, packet) >= 0) {
        const int index = packet->stream_index;
        MediaInfo::Stream& stream = info.streams[context->streams[index]->codecpar->codec_type];
        stream.packetSums.push_back(std::hash<std::string_view>()(std::string_view(
            reinterpret_cast<const char*>(packet->data), static_cast<std::size_t>(packet->size))));
        if (packet->pts != AV_NOPTS_VALUE) {
            // A video packet without a duration lasts one frame.
            const AVStream* source = context->streams[index];
            const std::int64_t duration =
                packet->duration > 0 || source->avg_frame_rate.num == 0
                    ? packet->duration
                    : av_rescale_q(1, av_inv_q(source->avg_frame_rate), source->time_base);
            ends[index] = std::max(ends[index], packet->pts + duration);
            stream.longestPacket = std::max(stream.longestPacket, double(duration) * av_q2d(source->time_base));
            starts.try_emplace(index, packet->pts);
            starts[index] = std::min(starts[index], packet->pts);
        }
        if (avcodec_send_packet(decoders[index], packet) < 0)
            ++stream.decodeErrors;
        drain(index);
        av_packet_unref(packet);
    }
    for (auto& [index, decoder] : decoders) {
        avcodec_send_packet(decoder, nullptr);
        drain(index);
        const AVStream* stream = context->streams[index];
        // An MP4 states each track's length; an FLV only its packets' times.
        const std::int64_t length = stream->duration > 0 ? stream->duration : ends[index] - starts[index];
        info.streams[stream->codecpar->codec_type].seconds =
            static_cast<double>(length) * av_q2d(stream->time_base);
        avcodec_free_context(&decoder);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&context);
    return info;
}

/// True when the file's top-level boxes hold the index before the media data.
bool indexComesFirst(const std::string& path)
{
    const std::string bytes = readFile(path);
    std::size_t offset = 0;
    while (offset + 8 <= bytes.size()) {
        const auto at = [&](std::size_t i) {
            return static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i]));
        };
        std::uint64_t size = at(offset) << 24 | at(offset + 1) << 16 | at(offset + 2) << 8 | at(offset + 3);
        const std::string type = bytes.substr(offset + 4, 4);
        if (type == "moov")
            return true;
        if (type == "mdat" || size < 8)
            return false;
        offset += size;
    }
    return false;
}

/// True when one of the lines holds the piece of text.
bool anyHolds(const std::vector<std::string>& lines, const std::string& piece)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(piece) != std::string::npos; });
}

/// The tags of an FLV made by the ffmpeg program, to change their times or
/// leave some out: each tag with its type and its time in milliseconds.
struct FlvTags
{
    struct Tag
    {
        int type;
        std::uint32_t time;
        std::string bytes; ///< the whole tag with its PreviousTagSize
    };
    std::string header; ///< the FLV header and PreviousTagSize0
    std::vector<Tag> tags;

    explicit FlvTags(const std::string& file) : header(file.substr(0, 13))
    {
        for (std::size_t at = 13; at + 15 <= file.size();) {
            const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(file[at + i])); };
            const std::uint32_t size = byte(1) << 16 | byte(2) << 8 | byte(3);
            const std::uint32_t time = byte(7) << 24 | byte(4) << 16 | byte(5) << 8 | byte(6);
            tags.push_back({static_cast<int>(byte(0)), time, file.substr(at, 11 + size + 4)});
            at += 11 + size + 4;
        }
    }

    /// The file with every tag's time given by retime, and the tags for which
    /// keep says false left out.
    std::string join(const std::function<std::uint32_t(const Tag&)>& retime,
                      const std::function<bool(const Tag&)>& keep = [](const Tag&) { return true; }) const
    {
        std::string out = header;
        for (const Tag& tag : tags) {
            if (!keep(tag))
                continue;
            std::string bytes = tag.bytes;
            const std::uint32_t time = retime(tag);
            bytes[4] = static_cast<char>(time >> 16);
            bytes[5] = static_cast<char>(time >> 8);
            bytes[6] = static_cast<char>(time);
            bytes[7] = static_cast<char>(time >> 24);
            out += bytes;
        }
        return out;
    }
};

/// Where each stream of a media file starts and ends, in seconds, and the
/// shortest step between two of its video frames.
struct Timing
{
    double videoStart = 0, videoEnd = 0, audioStart = 0, audioEnd = 0;
    double shortestFrameStep = 1e9;
    int videoFrames = 0;
};

Timing timingOf(const std::string& path)
{
    Timing timing;
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0)
        return timing;
    avformat_find_stream_info(context, nullptr);
    std::map<int, std::vector<double>> starts;
    std::map<int, double> ends;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
        const AVStream* stream = context->streams[packet->stream_index];
        const double base = av_q2d(stream->time_base);
        starts[packet->stream_index].push_back(static_cast<double>(packet->pts) * base);
        ends[packet->stream_index] =
            std::max(ends[packet->stream_index], static_cast<double>(packet->pts + packet->duration) * base);
        av_packet_unref(packet);
    }
    for (auto& [index, times] : starts) {
        std::sort(times.begin(), times.end());
        if (context->streams[index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            timing.videoStart = times.front();
            timing.videoEnd = ends[index];
            timing.videoFrames = static_cast<int>(times.size());
            for (std::size_t i = 1; i < times.size(); ++i)
                timing.shortestFrameStep = std::min(timing.shortestFrameStep, times[i] - times[i - 1]);
        } else {
            timing.audioStart = times.front();
            timing.audioEnd = ends[index];
        }
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    return timing;
}

/// Sound and picture start and end as they do in the MP4 of the unchanged
/// file (whose encoders and edit lists add their own offsets), to the audit's
/// 40 ms, and the picture lasts longerBy seconds more than there.
void expectInStep(const Timing& timing, const Timing& unchanged, double longerBy)
{
    EXPECT_NEAR(timing.audioStart - timing.videoStart, unchanged.audioStart - unchanged.videoStart, 0.04);
    EXPECT_NEAR(timing.audioEnd - timing.videoEnd, unchanged.audioEnd - unchanged.videoEnd, 0.04);
    EXPECT_NEAR(timing.videoEnd - timing.videoStart, unchanged.videoEnd - unchanged.videoStart + longerBy, 0.05);
}

/// A whole FLV video tag at time 0 around data.
std::string videoTag(const std::string& data)
{
    std::string tag = {9, static_cast<char>(data.size() >> 16), static_cast<char>(data.size() >> 8),
                       static_cast<char>(data.size()), 0, 0, 0, 0, 0, 0, 0};
    const std::size_t size = 11 + data.size();
    return tag + data + std::string{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                                    static_cast<char>(size >> 8), static_cast<char>(size)};
}

class ConvertToMp4 : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("command -v ffmpeg >/dev/null") != 0)
            GTEST_SKIP()
                << "Debian's ffmpeg program makes the sample videos; scripts/install-deps.sh installs it";
    }

    /// Makes a short, small FLV with the ffmpeg program; inputs and codec
    /// options are handed over as they stand.
    std::string makeFlv(const std::string& name, const std::string& arguments)
    {
        const std::string path = scratch.path(name);
        const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " -f flv '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }

    std::string makeSorensonMp3(const std::string& name = "sorenson.flv", int seconds = 2)
    {
        const std::string duration = std::to_string(seconds);
        return makeFlv(name, "-f lavfi -i testsrc=size=160x120:rate=25:duration=" + duration +
                                 " -f lavfi -i sine=frequency=440:sample_rate=22050:duration=" + duration +
                                 " -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 32k");
    }

    std::string makeH264Aac(const std::string& name = "h264.flv", double seconds = 2)
    {
        const std::string duration = std::to_string(seconds);
        return makeFlv(name, "-f lavfi -i testsrc=size=160x120:rate=25:duration=" + duration +
                                 " -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" + duration +
                                 " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 10 -c:a aac -b:a 48k");
    }

    ConvertResult convert(const std::string& source, const ConvertObserver& observer = {})
    {
        return convertToMp4(source, out(), observer);
    }

    std::string out() const { return scratch.path("out.mp4"); }

    /// The timing of the MP4 of a file as it is.
    Timing unchangedTiming(const std::string& source)
    {
        const std::string mp4 = scratch.path("unchanged.mp4");
        std::filesystem::remove(mp4);
        EXPECT_TRUE(convertToMp4(source, mp4).ok());
        return timingOf(mp4);
    }

    /// Nothing but the sources is in the folder: no MP4, no temporary file.
    void expectNothingWritten(const Names& sources) { EXPECT_EQ(entriesOf(scratch.path()), sources); }

    test::ScratchFolder scratch;
};

} // namespace

TEST_F(ConvertToMp4, h264AndAacAreCopiedPacketForPacketWithTheIndexFirst)
{
    const std::string source = makeH264Aac();
    const ConvertResult result = convert(source);
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.video, StreamHandling::Copied);
    EXPECT_EQ(result.audio, StreamHandling::Copied);
    EXPECT_TRUE(result.warnings.empty()) << result.warnings.front();
    EXPECT_EQ(result.bytes, readFile(out()).size());
    EXPECT_TRUE(indexComesFirst(out()));

    const MediaInfo before = inspect(source);
    const MediaInfo after = inspect(out());
    EXPECT_EQ(after.streams.at(AVMEDIA_TYPE_VIDEO).packetSums,
              before.streams.at(AVMEDIA_TYPE_VIDEO).packetSums);
    EXPECT_EQ(after.streams.at(AVMEDIA_TYPE_AUDIO).packetSums,
              before.streams.at(AVMEDIA_TYPE_AUDIO).packetSums);
    EXPECT_EQ(after.streams.at(AVMEDIA_TYPE_VIDEO).framesDecoded, 50);
    EXPECT_EQ(entriesOf(scratch.path()), (Names{"h264.flv", "out.mp4"}));
}

TEST_F(ConvertToMp4, otherCodecsAreReencodedToH264AndAacOfTheSameLength)
{
    struct Case
    {
        std::string name;
        std::string arguments;
        StreamHandling video;
        StreamHandling audio;
        AVCodecID audioCodec;
    };
    const std::vector<Case> cases{
        {"sorenson-mp3.flv",
         "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=sample_rate=22050:duration=2 "
         "-c:v flv1 -q:v 5 -c:a libmp3lame -b:a 32k",
         StreamHandling::Reencoded, StreamHandling::Reencoded, AV_CODEC_ID_AAC},
        {"h264-nellymoser.flv",
         "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=sample_rate=22050:duration=2 "
         "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a nellymoser",
         StreamHandling::Copied, StreamHandling::Reencoded, AV_CODEC_ID_AAC},
        {"screen-pcm.flv",
         "-f lavfi -i testsrc=size=96x64:rate=10:duration=2 -f lavfi -i sine=sample_rate=11025:duration=2 "
         "-c:v flashsv -c:a pcm_s16le",
         StreamHandling::Reencoded, StreamHandling::Reencoded, AV_CODEC_ID_AAC},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string source = makeFlv(test.name, test.arguments);
        std::filesystem::remove(out());
        const ConvertResult result = convert(source);
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(result.video, test.video);
        EXPECT_EQ(result.audio, test.audio);
        EXPECT_TRUE(indexComesFirst(out()));

        const MediaInfo before = inspect(source);
        const MediaInfo after = inspect(out());
        const MediaInfo::Stream& video = after.streams.at(AVMEDIA_TYPE_VIDEO);
        const MediaInfo::Stream& sourceVideo = before.streams.at(AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(video.codec, AV_CODEC_ID_H264);
        if (test.video == StreamHandling::Reencoded) {
            EXPECT_EQ(video.profile, FF_PROFILE_H264_HIGH);
        }
        EXPECT_EQ(video.framesDecoded, sourceVideo.framesDecoded);
        EXPECT_EQ(video.decodeErrors, 0);
        const double frame = sourceVideo.seconds / sourceVideo.framesDecoded;
        EXPECT_NEAR(video.seconds, sourceVideo.seconds, frame);
        const MediaInfo::Stream& audio = after.streams.at(AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(audio.codec, test.audioCodec);
        EXPECT_GT(audio.framesDecoded, 0);
        EXPECT_NEAR(audio.seconds, before.streams.at(AVMEDIA_TYPE_AUDIO).seconds, 0.1);
    }
}

TEST_F(ConvertToMp4, oddSizesAreCutToEvenAndSingleStreamFilesStaySingle)
{
    ConvertResult result = convert(makeFlv("odd.flv", "-f lavfi -i testsrc=size=321x241:rate=25:duration=1 "
                                                      "-c:v flv1 -an"));
    ASSERT_TRUE(result.ok()) << result.reason;
    MediaInfo info = inspect(out());
    EXPECT_EQ(info.streams.size(), 1u);
    EXPECT_EQ(info.streams[AVMEDIA_TYPE_VIDEO].width, 320);
    EXPECT_EQ(info.streams[AVMEDIA_TYPE_VIDEO].height, 240);
    EXPECT_EQ(info.streams[AVMEDIA_TYPE_VIDEO].framesDecoded, 25);
    EXPECT_EQ(result.audio, StreamHandling::None);

    std::filesystem::remove(out());
    result = convert(makeFlv("sound.flv", "-f lavfi -i sine=sample_rate=44100:duration=1 -c:a nellymoser"));
    ASSERT_TRUE(result.ok()) << result.reason;
    info = inspect(out());
    EXPECT_EQ(info.streams.size(), 1u);
    EXPECT_EQ(info.streams[AVMEDIA_TYPE_AUDIO].codec, AV_CODEC_ID_AAC);
    EXPECT_NEAR(info.streams[AVMEDIA_TYPE_AUDIO].seconds, 1.0, 0.1);
    EXPECT_EQ(result.video, StreamHandling::None);
}

TEST_F(ConvertToMp4, joinedFilesWhoseTimestampsStartAgainPlayOnePartAfterTheOther)
{
    // Two FLVs glued together: the second part's timestamps start at zero again.
    const std::string first = readFile(makeH264Aac("first.flv"));
    const std::string second = readFile(makeH264Aac("second.flv"));
    writeFile(scratch.path("joined.flv"), first + second.substr(13));
    const ConvertResult result = convert(scratch.path("joined.flv"));
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_TRUE(anyHolds(result.warnings, "timestamps jump")) << testing::PrintToString(result.warnings);
    const MediaInfo info = inspect(out());
    EXPECT_EQ(info.streams.at(AVMEDIA_TYPE_VIDEO).framesDecoded, 100);
    EXPECT_NEAR(info.streams.at(AVMEDIA_TYPE_VIDEO).seconds, 4.0, 0.1);
}

TEST_F(ConvertToMp4, badSourcesGiveAReasonOrAWarningAndNeverAHalfWrittenFile)
{
    const std::string good = readFile(makeSorensonMp3());
    const std::string h264 = readFile(makeH264Aac());
    std::filesystem::remove(scratch.path("h264.flv"));
    std::filesystem::remove(scratch.path("sorenson.flv"));
    // Fills a packet's bytes in the middle with garbage, its tag header kept.
    std::string damaged = good;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 600; ++i)
        damaged[i] = static_cast<char>(i * 37);

    struct Case
    {
        std::string name;
        std::string bytes;
        bool converts;
        std::string says; // a piece of the reason or of the first warning
    };
    const std::vector<Case> cases{
        {"empty.flv", "", false, "the file is empty"},
        {"text.flv", "These are my holiday notes, not a video.\n", false, "it is not an FLV file"},
        {"garbage.flv", good.substr(0, 13) + std::string(5000, '\x5a'), false, "FLV data cannot be read"},
        {"header-only.flv", good.substr(0, 13), false, "FLV data cannot be read"},
        {"half.flv", good.substr(0, good.size() / 2), true, "cut short"},
        {"damaged.flv", damaged, true, "damaged"},
        {"renamed-mp4.flv", "", true, ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string source = scratch.path(test.name);
        if (test.name == "renamed-mp4.flv") {
            convert(scratch.path("damaged.flv")); // any MP4 will do
            std::filesystem::rename(out(), source);
        } else {
            writeFile(source, test.bytes);
        }
        const Names before = entriesOf(scratch.path());
        const ConvertResult result = convert(source);
        if (!test.converts) {
            EXPECT_EQ(result.status, ConvertStatus::Unusable);
            EXPECT_NE(result.reason.find(test.says), std::string::npos) << result.reason;
            expectNothingWritten(before);
            continue;
        }
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(anyHolds(result.warnings, test.says), !test.says.empty())
            << testing::PrintToString(result.warnings);
        EXPECT_GT(inspect(out()).streams[AVMEDIA_TYPE_VIDEO].framesDecoded, 10);
        std::filesystem::remove(out());
    }
}

TEST_F(ConvertToMp4, cancelOrAnExistingNameLeavesNothingBehind)
{
    const std::string source = makeSorensonMp3();
    ConvertObserver observer;
    int polls = 0;
    observer.cancelRequested = [&] { return ++polls > 20; };
    ConvertResult result = convert(source, observer);
    EXPECT_EQ(result.status, ConvertStatus::Cancelled);
    expectNothingWritten({"sorenson.flv"});

    writeFile(out(), "someone else's");
    result = convert(source);
    EXPECT_EQ(result.status, ConvertStatus::DestinationExists);
    EXPECT_EQ(readFile(out()), "someone else's");
    expectNothingWritten({"sorenson.flv", "out.mp4"});
}

TEST_F(ConvertToMp4, damagedSoundFarBeyondFullScaleConvertsToNoMoreThanItsTimestampsHold)
{
    const std::string bytes = test::busyFlv();
    ASSERT_EQ(bytes.size(), 1458u);
    writeFile(scratch.path("loud.flv"), bytes);
    // A hang shows as a cancel after some seconds rather than a test that never ends.
    const auto start = std::chrono::steady_clock::now();
    ConvertObserver observer;
    observer.cancelRequested = [&] { return std::chrono::steady_clock::now() - start > std::chrono::seconds(20); };
    const ConvertResult result = convert(scratch.path("loud.flv"), observer);
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.audio, StreamHandling::Reencoded);
    // Its packets' timestamps span 0.25 s.
    EXPECT_LT(inspect(out()).streams.at(AVMEDIA_TYPE_AUDIO).seconds, 0.5);
}

TEST_F(ConvertToMp4, reencodedSoundKeepsInStepAcrossGapsAndJumpsOfItsTimestamps)
{
    const std::string four = makeSorensonMp3("four.flv", 4);
    const Timing unchanged = unchangedTiming(four);
    const FlvTags tags(readFile(four));
    const auto same = [](const FlvTags::Tag& tag) { return tag.time; };
    // Two seconds of sound missing in the middle; all of it 5 s later from 2 s on.
    writeFile(scratch.path("sound-gap.flv"), tags.join(same, [](const FlvTags::Tag& tag) {
                  return tag.type != 8 || tag.time < 1000 || tag.time >= 3000;
              }));
    writeFile(scratch.path("jump.flv"), tags.join([](const FlvTags::Tag& tag) {
                  return tag.time >= 2000 ? tag.time + 5000 : tag.time;
              }));
    for (const auto& [name, longerBy] : {std::pair<std::string, double>{"sound-gap.flv", 0}, {"jump.flv", 5}}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(out());
        const ConvertResult result = convert(scratch.path(name));
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(result.audio, StreamHandling::Reencoded);
        const Timing timing = timingOf(out());
        expectInStep(timing, unchanged, longerBy);
        EXPECT_EQ(timing.videoFrames, 100);
    }
}

TEST_F(ConvertToMp4, aGapInCopiedSoundIsFilledWithSilenceNotOneLongSample)
{
    const std::string four = makeH264Aac("four.flv", 4);
    const Timing unchanged = unchangedTiming(four);
    const FlvTags tags(readFile(four));
    writeFile(scratch.path("sound-gap.flv"), tags.join([](const FlvTags::Tag& tag) { return tag.time; },
                                                       [](const FlvTags::Tag& tag) {
                                                           return tag.type != 8 || tag.time < 1000 || tag.time >= 3000;
                                                       }));
    const ConvertResult result = convert(scratch.path("sound-gap.flv"));
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.audio, StreamHandling::Copied);
    EXPECT_TRUE(anyHolds(result.warnings, "filled with silence")) << testing::PrintToString(result.warnings);
    const MediaInfo info = inspect(out());
    const MediaInfo::Stream& sound = info.streams.at(AVMEDIA_TYPE_AUDIO);
    EXPECT_LT(sound.longestPacket, 0.05);
    EXPECT_EQ(sound.decodeErrors, 0);
    EXPECT_NEAR(sound.framesDecoded, 4.0 * 44100 / 1024, 3);
    expectInStep(timingOf(out()), unchanged, 0);
}

TEST_F(ConvertToMp4, joinedFilesWithTheSecondHeaderKeptGiveBothPartsAndSaySo)
{
    const Timing unchanged = unchangedTiming(makeH264Aac("part.flv"));
    const std::string part = readFile(scratch.path("part.flv"));
    writeFile(scratch.path("cat.flv"), part + part);
    const ConvertResult result = convert(scratch.path("cat.flv"));
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_TRUE(anyHolds(result.warnings, "2 videos joined one after the other"))
        << testing::PrintToString(result.warnings);
    // Where they meet is no jump and no disorder: one warning says it all.
    EXPECT_EQ(result.warnings.size(), 1u) << testing::PrintToString(result.warnings);
    const Timing timing = timingOf(out());
    EXPECT_NEAR(timing.audioStart - timing.videoStart, unchanged.audioStart - unchanged.videoStart, 0.04);
    EXPECT_NEAR(timing.audioEnd - timing.videoEnd, unchanged.audioEnd - unchanged.videoEnd, 0.04);
    // Both parts' length, give or take the two frames where they meet.
    EXPECT_NEAR(timing.videoEnd - timing.videoStart, 2 * (unchanged.videoEnd - unchanged.videoStart), 0.08);
    EXPECT_EQ(timing.videoFrames, 100);
    EXPECT_GT(timing.shortestFrameStep, 0.03);

    // A first part whose sound ends two AAC frames before its picture: the
    // silence put in where they meet is too short to hear, and no warning.
    const std::string shortSound = readFile(makeFlv(
        "short-sound.flv", "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 "
                           "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.93 "
                           "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 10 -c:a aac -b:a 48k"));
    std::filesystem::remove(out());
    writeFile(scratch.path("short-cat.flv"), shortSound + part);
    const ConvertResult shortJoin = convert(scratch.path("short-cat.flv"));
    ASSERT_TRUE(shortJoin.ok()) << shortJoin.reason;
    EXPECT_EQ(shortJoin.warnings.size(), 1u) << testing::PrintToString(shortJoin.warnings);
}

TEST_F(ConvertToMp4, joinedPartsOfOtherSettingsOrCodecsAreEncodedAgainWholeAndDecodeWithoutAnError)
{
    const std::string small = readFile(makeFlv("small.flv", "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                                                             "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -profile:v baseline -g 10"));
    const std::string wide = readFile(makeFlv("wide.flv", "-f lavfi -i testsrc=size=640x360:rate=25:duration=2 "
                                                           "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -profile:v high -g 10"));
    const std::string sorenson = readFile(makeFlv("sorenson.flv", "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                                                                   "-c:v flv1 -q:v 5"));
    for (const auto& [name, joined] : {std::pair<std::string, std::string>{"settings.flv", small + wide},
                                       {"codecs.flv", small + sorenson}, {"codecs-back.flv", small + sorenson + small}}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(out());
        writeFile(scratch.path(name), joined);
        const ConvertResult result = convert(scratch.path(name));
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(result.video, StreamHandling::Reencoded);
        EXPECT_TRUE(anyHolds(result.warnings, "encoded again at 320\u00d7240, the first part's size"))
            << testing::PrintToString(result.warnings);
        const MediaInfo info = inspect(out());
        const MediaInfo::Stream& video = info.streams.at(AVMEDIA_TYPE_VIDEO);
        EXPECT_EQ(video.width, 320);
        EXPECT_EQ(video.height, 240);
        EXPECT_EQ(video.decodeErrors, 0);
        const int parts = name == "codecs-back.flv" ? 3 : 2;
        EXPECT_EQ(video.framesDecoded, 50 * parts);
        EXPECT_NEAR(video.seconds, 2.0 * parts, 0.15);
    }

    // The shape of a wider part is kept: black bars above and below.
    const media::VideoEncoder::Fit fit = media::VideoEncoder::fitInside(640, 360, 320, 240);
    EXPECT_EQ(fit.width, 320);
    EXPECT_EQ(fit.height, 180);
    EXPECT_EQ(fit.y, 30);
    EXPECT_EQ(media::VideoEncoder::fitInside(321, 241, 320, 240).width, 318) << "even sizes only";
}

TEST_F(ConvertToMp4, joinedPartsWhoseSoundDiffersHaveAllTheirSoundEncodedAgainOrAreRefused)
{
    const auto h264Aac = [&](const std::string& name, const std::string& sound) {
        return readFile(makeFlv(name, "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i " + sound +
                                          " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -g 10 -c:a aac"));
    };
    const std::string stereo = h264Aac("stereo.flv", "sine=frequency=440:sample_rate=44100:duration=2 -ac 2");
    const std::string mono = h264Aac("mono.flv", "sine=frequency=600:sample_rate=22050:duration=2 -ac 1");
    const std::string mp3 = readFile(makeSorensonMp3("mp3.flv"));
    for (const auto& [name, joined] : {std::pair<std::string, std::string>{"aac-mp3.flv", stereo + mp3},
                                       {"aac-rates.flv", stereo + mono}, {"aac-mp3-aac.flv", stereo + mp3 + stereo}}) {
        SCOPED_TRACE(name);
        std::filesystem::remove(out());
        writeFile(scratch.path(name), joined);
        const ConvertResult result = convert(scratch.path(name));
        ASSERT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(result.audio, StreamHandling::Reencoded);
        EXPECT_TRUE(anyHolds(result.warnings, "whole sound was encoded again as AAC at 44100 Hz stereo"))
            << testing::PrintToString(result.warnings);
        const MediaInfo info = inspect(out());
        const MediaInfo::Stream& video = info.streams.at(AVMEDIA_TYPE_VIDEO);
        const MediaInfo::Stream& sound = info.streams.at(AVMEDIA_TYPE_AUDIO);
        EXPECT_EQ(sound.decodeErrors, 0);
        EXPECT_NEAR(sound.seconds, video.seconds, 0.15);
        EXPECT_NEAR(sound.seconds, name == "aac-mp3-aac.flv" ? 6.0 : 4.0, 0.2);
    }

    // A later part's sound in a codec no decoder knows: the video is refused,
    // not published with that part silent.
    FlvTags unknown(mp3);
    for (FlvTags::Tag& tag : unknown.tags)
        if (tag.type == 8)
            tag.bytes[11] = static_cast<char>((tag.bytes[11] & 0x0F) | 0x90);
    std::filesystem::remove(out());
    writeFile(scratch.path("unknown.flv"), stereo + unknown.join([](const FlvTags::Tag& tag) { return tag.time; }));
    const ConvertResult refused = convert(scratch.path("unknown.flv"));
    EXPECT_EQ(refused.status, ConvertStatus::Unusable);
    EXPECT_NE(refused.reason.find("joined on later has sound in unknown codec 9"), std::string::npos) << refused.reason;
}

TEST_F(ConvertToMp4, backwardJumpsUnderASecondPlayStraightAcrossWhetherCopiedOrReencoded)
{
    for (const std::string& name : {std::string("h264.flv"), std::string("sorenson.flv")}) {
        SCOPED_TRACE(name);
        const std::string made = name == "h264.flv" ? makeH264Aac(name, 4) : makeSorensonMp3(name, 4);
        const Timing unchanged = unchangedTiming(made);
        const FlvTags tags(readFile(made));
        writeFile(made, tags.join([](const FlvTags::Tag& tag) {
                      return tag.time >= 2000 ? tag.time - 500 : tag.time;
                  }));
        std::filesystem::remove(out());
        const ConvertResult result = convert(made);
        ASSERT_TRUE(result.ok()) << result.reason;
        const Timing timing = timingOf(out());
        expectInStep(timing, unchanged, 0);
        EXPECT_EQ(timing.videoFrames, 100);
        EXPECT_GT(timing.shortestFrameStep, 0.03); // no frames squeezed 1 ms apart
    }
}

TEST_F(ConvertToMp4, aDamagedTagSizeIsSkippedAndCalledDamageNotAFileCutShort)
{
    const FlvTags tags(readFile(makeH264Aac("whole.flv", 4)));
    std::string file = tags.join([](const FlvTags::Tag& tag) { return tag.time; });
    // The high byte of the size of a tag near the middle.
    std::size_t at = 13;
    for (std::size_t i = 0; i < tags.tags.size() / 2; ++i)
        at += tags.tags[i].bytes.size();
    file[at + 1] = '\x7f';
    writeFile(scratch.path("damaged-size.flv"), file);
    const ConvertResult result = convert(scratch.path("damaged-size.flv"));
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_TRUE(anyHolds(result.warnings, "damaged")) << testing::PrintToString(result.warnings);
    EXPECT_FALSE(anyHolds(result.warnings, "cut short")) << testing::PrintToString(result.warnings);
    const Timing timing = timingOf(out());
    EXPECT_NEAR(timing.videoEnd - timing.videoStart, 4, 0.1);
    EXPECT_NEAR(timing.audioEnd, timing.videoEnd, 0.1);
    EXPECT_GE(timing.videoFrames, 98);
}

TEST_F(ConvertToMp4, aPictureSizeBeyondBeliefIsRefusedBeforeAnythingIsDecoded)
{
    // A 320x240 H.264 FLV whose sequence header is swapped for one that says
    // 16000x16000 (4:4:4), and one that says 4096x4096 against its metadata.
    const FlvTags tags(readFile(makeH264Aac("small.flv")));
    for (const auto& [name, macroblocks] : {std::pair<std::string, std::uint32_t>{"huge.flv", 1000}, {"large.flv", 256}}) {
        SCOPED_TRACE(name);
        std::string file = tags.header;
        for (const FlvTags::Tag& tag : tags.tags) {
            const bool sequenceHeader = tag.type == 9 && tag.bytes[11] == '\x17' && tag.bytes[12] == 0;
            file += sequenceHeader ? videoTag(test::sequenceHeaderTagData(test::craftedSps(macroblocks, macroblocks)))
                                   : tag.bytes;
        }
        writeFile(scratch.path(name), file);
    }
    for (const auto& [name, macroblocks] : {std::pair<std::string, std::uint32_t>{"huge.flv", 1000}, {"large.flv", 256}}) {
        SCOPED_TRACE(name);
        const ConvertResult result = convert(scratch.path(name));
        EXPECT_EQ(result.status, ConvertStatus::Unusable);
        const std::string side = std::to_string(macroblocks * 16);
        EXPECT_EQ(result.reason, "its picture size " + side + "\u00d7" + side + " is not believable");
        expectNothingWritten({"small.flv", "huge.flv", "large.flv"});
    }
}

TEST_F(ConvertToMp4, aPictureSizeAnnouncedInsideTheStreamIsHeldToTheSameLimits)
{
    // A 320x240 H.264 FLV whose key frames carry a parameter set of their own
    // for 8000x8000.
    const FlvTags tags(readFile(makeH264Aac("small.flv")));
    const std::string sps = test::craftedSps(500, 500);
    std::string file = tags.header;
    for (const FlvTags::Tag& tag : tags.tags) {
        const bool keyFrame = tag.type == 9 && tag.bytes[11] == '\x17' && tag.bytes[12] == 1;
        if (!keyFrame) {
            file += tag.bytes;
            continue;
        }
        const std::string units = tag.bytes.substr(16, tag.bytes.size() - 16 - 4);
        std::string inBand = videoTag(tag.bytes.substr(11, 5) + std::string{char(0), char(0), char(sps.size() >> 8),
                                                                              char(sps.size())} + sps + units);
        inBand.replace(4, 4, tag.bytes.substr(4, 4)); // its time
        file += inBand;
    }
    writeFile(scratch.path("late.flv"), file);
    const ConvertResult result = convert(scratch.path("late.flv"));
    EXPECT_EQ(result.status, ConvertStatus::Unusable);
    EXPECT_EQ(result.reason, "its picture size 8000\u00d78000 is not believable");

    // A packet's units are walked by their lengths; one that overruns ends the walk.
    const std::string small = test::craftedSps(20, 15);
    std::string packet = std::string{0, 0, 0, 2} + "\x09\x10" + std::string{0, 0, char(small.size() >> 8), char(small.size())} + small;
    int width = 0, height = 0;
    ASSERT_TRUE(largestPictureInPacket(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(), 4, width, height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    packet += std::string{0, 0, 0x7f, 0} + sps;
    ASSERT_TRUE(largestPictureInPacket(reinterpret_cast<const std::uint8_t*>(packet.data()), packet.size(), 4, width, height));
    EXPECT_EQ(width, 320);
    EXPECT_FALSE(largestPictureInPacket(reinterpret_cast<const std::uint8_t*>(packet.data()), 4, 4, width, height));
}

TEST(Mp4Name, aFinalFlvOfAnyCaseIsReplacedAndOtherNamesGetMp4Added)
{
    EXPECT_EQ(mp4NameFor("holiday.flv"), "holiday.mp4");
    EXPECT_EQ(mp4NameFor("Holiday.FLV"), "Holiday.mp4");
    EXPECT_EQ(mp4NameFor("my.flv.trip.Flv"), "my.flv.trip.mp4");
    EXPECT_EQ(mp4NameFor("holiday"), "holiday.mp4");
    EXPECT_EQ(mp4NameFor("holiday.mp4"), "holiday.mp4.mp4");
    EXPECT_EQ(mp4NameFor("holiday.flv.txt"), "holiday.flv.txt.mp4");
}
