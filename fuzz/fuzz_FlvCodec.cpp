// The walk over an FLV's tags on arbitrary file contents: what it keeps lies
// inside the file, in order, without overlaps, and a picture size it reads
// from an SPS, alone or inside a packet, is never negative.
#include "FuzzFile.h"
#include "media/FlvCodec.h"

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static vidlume::fuzz::FuzzFile file;
    const int fd = ::open(file.write(data, size).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        std::abort();
    const vidlume::FlvLayout layout = vidlume::walkFlvTags(fd);
    ::close(fd);
    std::uint64_t end = 0;
    for (const vidlume::FlvSpan& span : layout.kept) {
        if (span.offset < end || span.offset + span.size > size || span.size == 0)
            std::abort();
        end = span.offset + span.size;
    }
    if (layout.flv != !layout.kept.empty() || layout.largestCodedWidth < 0 || layout.largestCodedHeight < 0)
        std::abort();

    int width = 0;
    int height = 0;
    if (vidlume::h264PictureSize(data, size, width, height) && (width <= 0 || height <= 0))
        std::abort();
    // The same bytes as an H.264 packet, its units after lengths of 1 to 4 bytes.
    if (size > 0 &&
        vidlume::largestPictureInPacket(data + 1, size - 1, (data[0] & 3) + 1, width, height) &&
        (width <= 0 || height <= 0))
        std::abort();
    return 0;
}
