// Timestamp repair on arbitrary packet times: every track's decoding times
// increase, presentation never comes before decoding, no step is longer than
// the longest gap kept, and nothing overflows (UBSan).
#include "media/TimestampRepair.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include <cstdlib>
#include <cstring>
#include <vector>

using vidlume::media::PacketTimes;
using vidlume::media::TimestampRepair;

namespace {

std::int64_t take(const std::uint8_t*& data, std::size_t& size)
{
    std::int64_t value = 0;
    const std::size_t count = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, count);
    data += count;
    size -= count;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const bool discontinuous = data[0] & 1;
    const AVRational bases[] = {{1, 1000}, {1, 90000}, {1, 44100}, {1, 1}, {1001, 30000}};
    const AVRational videoBase = bases[data[1] % 5];
    const AVRational audioBase = bases[data[2] % 5];
    data += 3;
    size -= 3;
    TimestampRepair repair(discontinuous, take(data, size));
    const int tracks[] = {repair.addTrack(videoBase, 40'000), repair.addTrack(audioBase, 23'220)};
    const AVRational trackBases[] = {videoBase, audioBase};
    std::vector<std::int64_t> last(2, AV_NOPTS_VALUE);
    while (size > 0) {
        const int track = data[0] & 1;
        const bool noDts = data[0] & 2;
        const bool noPts = data[0] & 4;
        ++data;
        --size;
        std::int64_t dts = take(data, size);
        std::int64_t pts = take(data, size);
        if (data[-1] & 0x80) { // mostly small times, as real files have
            dts %= 100'000;
            pts = dts + pts % 1000;
        }
        const PacketTimes out =
            repair.repair(tracks[track], {noDts ? AV_NOPTS_VALUE : dts, noPts ? AV_NOPTS_VALUE : pts});
        if (out.dts == AV_NOPTS_VALUE || out.pts < out.dts)
            std::abort();
        if (last[track] != AV_NOPTS_VALUE) {
            if (out.dts <= last[track])
                std::abort();
            const std::int64_t stepUs = av_rescale_q(out.dts - last[track], trackBases[track], {1, AV_TIME_BASE});
            // A forward step may be a gap of up to the longest kept, or the
            // other track's jump carried over.
            if (stepUs > 3 * TimestampRepair::longestGapUs + 2'000'000)
                std::abort();
        }
        last[track] = out.dts;
    }
    return 0;
}
