#include "CraftedSps.h"
#include "media/FlvCodec.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
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

    /// Walks the bytes as a file.
    FlvLayout walk(const Bytes& bytes)
    {
        const int fd = ::open(write(bytes).c_str(), O_RDONLY | O_CLOEXEC);
        const FlvLayout layout = walkFlvTags(fd);
        ::close(fd);
        return layout;
    }

    fs::path m_dir;
};

/// The kept stretches as offset/size pairs, for comparing.
std::vector<std::pair<std::uint64_t, std::uint64_t>> stretches(const FlvLayout& layout)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    for (const FlvSpan& span : layout.kept)
        out.emplace_back(span.offset, span.size);
    return out;
}

/// An H.264 sequence header tag's data holding the SPS.
Bytes sps(std::uint32_t widthInMacroblocks, std::uint32_t heightInMacroblocks)
{
    const std::string nal = test::craftedSps(widthInMacroblocks, heightInMacroblocks);
    return Bytes(nal.begin(), nal.end());
}

Bytes sequenceHeader(const Bytes& spsNal)
{
    Bytes data = {0x17, 0, 0, 0, 0, 1, 244, 0, 51, 0xFF, 0xE1};
    appendBigEndian(data, static_cast<std::uint32_t>(spsNal.size()), 2);
    data.insert(data.end(), spsNal.begin(), spsNal.end());
    data.push_back(0); // no PPS
    return data;
}

/// onMetaData naming a width and a height, in AMF0.
Bytes metadata(double width, double height)
{
    Bytes data = {2, 0, 10};
    for (char c : std::string("onMetaData"))
        data.push_back(static_cast<unsigned char>(c));
    data.insert(data.end(), {8, 0, 0, 0, 2});
    for (auto [key, value] : {std::pair<std::string, double>{"width", width}, {"height", height}}) {
        appendBigEndian(data, static_cast<std::uint32_t>(key.size()), 2);
        for (char c : key)
            data.push_back(static_cast<unsigned char>(c));
        data.push_back(0);
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        appendBigEndian(data, static_cast<std::uint32_t>(bits >> 32), 4);
        appendBigEndian(data, static_cast<std::uint32_t>(bits), 4);
    }
    data.insert(data.end(), {0, 0, 9});
    return data;
}

} // namespace

TEST_F(FlvCodecTest, aSoundFileIsKeptWholeWithItsMetadataAndSequenceHeaderSizes)
{
    Bytes file = flvHeader();
    appendTag(file, 18, metadata(320, 240));
    appendTag(file, 9, sequenceHeader(sps(20, 15)));
    for (int i = 0; i < 5; ++i) {
        appendTag(file, 9, videoData(7));
        appendTag(file, 8, audioData());
    }
    const FlvLayout layout = walk(file);
    EXPECT_TRUE(layout.flv);
    EXPECT_EQ(layout.parts, 1);
    EXPECT_EQ(layout.damaged, 0u);
    EXPECT_FALSE(layout.endsInTag);
    EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, file.size()}}));
    EXPECT_EQ(layout.metadataWidth, 320);
    EXPECT_EQ(layout.metadataHeight, 240);
    EXPECT_EQ(layout.largestCodedWidth, 320);
    EXPECT_EQ(layout.largestCodedHeight, 240);

    // A header longer than nine bytes, and no PreviousTagSize after the last tag.
    Bytes longer = flvHeader(13);
    appendTag(longer, 8, audioData());
    longer.resize(longer.size() - 4);
    EXPECT_EQ(stretches(walk(longer)), (decltype(stretches(layout)){{0, longer.size()}}));
    EXPECT_FALSE(walk(longer).endsInTag);
}

TEST_F(FlvCodecTest, aLargeSpsIsReadAndAnythingButAnFlvIsNoFlv)
{
    int width = 0;
    int height = 0;
    const Bytes huge = sps(1000, 1000);
    ASSERT_TRUE(h264PictureSize(huge.data(), huge.size(), width, height));
    EXPECT_EQ(width, 16000);
    EXPECT_EQ(height, 16000);
    EXPECT_FALSE(h264PictureSize(huge.data(), 5, width, height)); // cut short
    const Bytes pps = {0x68, 0xEE, 0x3C, 0x80};
    EXPECT_FALSE(h264PictureSize(pps.data(), pps.size(), width, height));

    EXPECT_FALSE(walk({'<', 'h', 't', 'm', 'l', '>', 0, 0, 0, 0, 0, 0}).flv);
    EXPECT_FALSE(walk({}).flv);
    EXPECT_FALSE(walk({'F', 'L', 'V', 1, 5, 0, 0, 0, 3}).flv); // data offset inside the header
    const int fd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_FALSE(walkFlvTags(fd).flv); // no plain file
    ::close(fd);
}

TEST_F(FlvCodecTest, joinedFlvsLoseTheirLaterHeadersAndDamageIsLeftOutUpToTheNextTag)
{
    Bytes part = flvHeader();
    for (int i = 0; i < 4; ++i)
        appendTag(part, 8, audioData());
    Bytes joined = part;
    joined.insert(joined.end(), part.begin(), part.end());
    FlvLayout layout = walk(joined);
    EXPECT_EQ(layout.parts, 2);
    EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, part.size()}, {part.size() + 13, part.size() - 13}}));

    // One tag's size byte damaged, larger and smaller: that tag goes, the ones after it stay.
    const std::size_t tag = 13 + 2 * 19; // the third audio tag
    for (unsigned char size : {0xF0, 0x02}) {
        Bytes damaged = part;
        damaged[tag + 3] = size;
        layout = walk(damaged);
        EXPECT_EQ(layout.damaged, 1u) << int(size);
        EXPECT_FALSE(layout.endsInTag);
        EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, tag}, {tag + 19, 19}})) << int(size);
    }
    // Garbage with a tag type that is none, as in a fuzzed file.
    Bytes garbage = part;
    garbage[tag] = 198;
    EXPECT_EQ(walk(garbage).damaged, 1u);

    // Cut inside the last tag: the file ends in it, and nothing is damaged.
    Bytes cut(part.begin(), part.end() - 6);
    layout = walk(cut);
    EXPECT_TRUE(layout.endsInTag);
    EXPECT_EQ(layout.damaged, 0u);
    EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, cut.size()}}));
}

TEST_F(FlvCodecTest, tagsOfManySizesAreFoundWhereverTheyFallInTheFile)
{
    // Hundreds of tags of sizes from one byte to beyond a kilobyte, so that
    // headers and the sizes after them fall on every kind of boundary in the file.
    Bytes part = flvHeader();
    std::vector<std::size_t> starts;
    for (int i = 0; i < 400; ++i) {
        starts.push_back(part.size());
        appendTag(part, i % 3 == 0 ? 9 : 8, Bytes(1 + (i * 37) % 1300, i % 3 == 0 ? 0x27 : 0xAF));
    }
    Bytes joined = part;
    joined.insert(joined.end(), part.begin(), part.end());
    FlvLayout layout = walk(joined);
    EXPECT_EQ(layout.parts, 2);
    EXPECT_EQ(layout.damaged, 0u);
    EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, part.size()}, {part.size() + 13, part.size() - 13}}));

    // Each of several tags damaged in turn: that tag alone is left out.
    for (const std::size_t index : {1u, 57u, 128u, 255u, 398u}) {
        Bytes damaged = part;
        damaged[starts[index] + 1] = 0x7F; // its size now reaches past the file's end
        layout = walk(damaged);
        EXPECT_EQ(layout.damaged, 1u) << index;
        EXPECT_EQ(stretches(layout), (decltype(stretches(layout)){{0, starts[index]},
                                                                   {starts[index + 1], part.size() - starts[index + 1]}}))
            << index;
    }
}
