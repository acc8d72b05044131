#include "media/FlvCodec.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vidlume;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

void appendBigEndian(Bytes& out, std::uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// An FLV header (audio and video flags set) and PreviousTagSize0.
Bytes flvHeader(std::uint32_t dataOffset = 9)
{
    Bytes out = {'F', 'L', 'V', 1, 0x05};
    appendBigEndian(out, dataOffset, 4);
    out.resize(dataOffset, 0);
    appendBigEndian(out, 0, 4);
    return out;
}

// One tag with its header, data and the PreviousTagSize that follows it.
void appendTag(Bytes& out, int type, const Bytes& data)
{
    out.push_back(static_cast<unsigned char>(type));
    appendBigEndian(out, static_cast<std::uint32_t>(data.size()), 3);
    appendBigEndian(out, 0, 3); // timestamp
    out.push_back(0);           // timestamp extension
    appendBigEndian(out, 0, 3); // stream id
    out.insert(out.end(), data.begin(), data.end());
    appendBigEndian(out, static_cast<std::uint32_t>(11 + data.size()), 4);
}

Bytes scriptTag()
{
    return Bytes(40, 0x02);
}
// Key frame (1 << 4) with the codec id in the low bits, then some payload.
Bytes videoData(int codecId)
{
    return {static_cast<unsigned char>(0x10 | codecId), 0, 0, 0, 0, 0};
}
Bytes audioData()
{
    return {0xAF, 0x01, 0x21, 0x00};
}

class FlvCodecTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("vidlume_flv_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string write(const Bytes& bytes)
    {
        const auto path = m_dir / "clip.flv";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    fs::path m_dir;
};

} // namespace

TEST_F(FlvCodecTest, findsTheCodecOfTheFirstVideoTagBehindScriptAndAudioTags)
{
    Bytes h264 = flvHeader();
    appendTag(h264, 18, scriptTag());
    appendTag(h264, 8, audioData());
    appendTag(h264, 8, audioData());
    appendTag(h264, 9, videoData(7));
    appendTag(h264, 9, videoData(2)); // only the first video tag counts
    FlvProbe probe = probeFlvVideoCodec(write(h264));
    EXPECT_EQ(probe.status, FlvProbeStatus::Video);
    EXPECT_EQ(probe.codecId, 7);
    EXPECT_EQ(html5CodecWarning(probe, "clip.flv"), std::nullopt);

    // A header longer than nine bytes moves the first tag.
    Bytes sorenson = flvHeader(13);
    appendTag(sorenson, 9, videoData(2));
    probe = probeFlvVideoCodec(write(sorenson));
    EXPECT_EQ(probe.status, FlvProbeStatus::Video);
    EXPECT_EQ(probe.codecId, 2);
    EXPECT_EQ(html5CodecWarning(probe, "clip.flv"),
              "clip.flv: the HTML5 player cannot play this video's codec, Sorenson H.263 "
              "(it plays H.264 and HEVC)");
}

TEST_F(FlvCodecTest, warnsForEveryCodecButH264AndHevc)
{
    for (int id : {2, 3, 4, 5, 6})
        EXPECT_TRUE(html5CodecWarning({FlvProbeStatus::Video, id}, "v.flv")) << id;
    EXPECT_FALSE(html5CodecWarning({FlvProbeStatus::Video, 12}, "v.flv"));
    EXPECT_NE(html5CodecWarning({FlvProbeStatus::Video, 4}, "v.flv")->find("On2 VP6 "), std::string::npos);
}

TEST_F(FlvCodecTest, filesThatAreNoFlvOrEndEarly)
{
    auto statusOf = [&](const Bytes& bytes) { return probeFlvVideoCodec(write(bytes)).status; };

    EXPECT_EQ(statusOf({'<', 'h', 't', 'm', 'l', '>', 0, 0, 0, 0, 0, 0}), FlvProbeStatus::NotFlv);
    EXPECT_EQ(statusOf({}), FlvProbeStatus::NotFlv);
    EXPECT_EQ(statusOf({'F', 'L', 'V', 1, 5, 0, 0, 0, 3}),
              FlvProbeStatus::NotFlv); // data offset inside the header
    EXPECT_EQ(statusOf({'F', 'L', 'V', 1}), FlvProbeStatus::Truncated);

    Bytes full = flvHeader();
    appendTag(full, 18, scriptTag());
    appendTag(full, 9, videoData(7));
    // Cut inside the script tag, inside the video tag's header, and right after it.
    for (std::size_t cut : {std::size_t{30}, std::size_t{13 + 11 + 40 + 4 + 5}, std::size_t{13 + 55 + 11}}) {
        Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(statusOf(part), FlvProbeStatus::Truncated) << cut;
    }
    EXPECT_EQ(html5CodecWarning({FlvProbeStatus::NotFlv}, "a.flv"),
              "a.flv: the HTML5 player cannot play this video: it is not an FLV file");
    EXPECT_TRUE(html5CodecWarning({FlvProbeStatus::Truncated}, "a.flv"));
}

TEST_F(FlvCodecTest, audioOnlyMissingAndPipeFilesGiveNoWarning)
{
    Bytes audio = flvHeader();
    appendTag(audio, 18, scriptTag());
    for (int i = 0; i < 20; ++i)
        appendTag(audio, 8, audioData());
    FlvProbe probe = probeFlvVideoCodec(write(audio));
    EXPECT_EQ(probe.status, FlvProbeStatus::NoVideo);
    EXPECT_FALSE(html5CodecWarning(probe, "a.flv"));

    probe = probeFlvVideoCodec((m_dir / "missing.flv").string());
    EXPECT_EQ(probe.status, FlvProbeStatus::Unreadable);
    EXPECT_FALSE(html5CodecWarning(probe, "missing.flv"));

    // A pipe is left to the copy: opening it here would wait for a writer.
    const std::string pipe = (m_dir / "pipe.flv").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(probeFlvVideoCodec(pipe).status, FlvProbeStatus::Unreadable);
}

TEST_F(FlvCodecTest, stopsWalkingLongBeforeTheEndOfALargeFile)
{
    // 100 MiB of audio tags, sparse on disk: a walk to the end would take far
    // more tags than the probe allows.
    Bytes start = flvHeader();
    const std::uint32_t bigTag = 0xFFFFF0;
    Bytes tagHead = {8};
    appendBigEndian(tagHead, bigTag, 3);
    tagHead.resize(11, 0);
    const std::string path = write(start);
    {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        std::uint64_t offset = start.size();
        for (int i = 0; i < 6; ++i) {
            file.seekp(static_cast<std::streamoff>(offset));
            file.write(reinterpret_cast<const char*>(tagHead.data()), 11);
            offset += 11 + bigTag + 4;
        }
        Bytes video; // an H.264 video tag far in
        appendTag(video, 9, videoData(7));
        file.seekp(static_cast<std::streamoff>(offset));
        file.write(reinterpret_cast<const char*>(video.data()), static_cast<std::streamsize>(video.size()));
    }
    EXPECT_EQ(probeFlvVideoCodec(path).status, FlvProbeStatus::NoVideo);
}
