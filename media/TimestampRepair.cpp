#include "media/TimestampRepair.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <limits>

namespace vidlume::media {

namespace {

constexpr AVRational microseconds{1, AV_TIME_BASE};
/// Timestamps beyond some 35 years are taken as that: nothing overflows.
constexpr std::int64_t largestUs = std::int64_t{1} << 50;
/// Backward steps of this much are jitter of the muxer that made the file
/// (some write presentation times as the FLV's timestamps), not a join.
constexpr std::int64_t jitterUs = 100'000;
/// Presentation comes at most this long after decoding.
constexpr std::int64_t longestDelayUs = 10'000'000;

std::int64_t toUs(std::int64_t time, AVRational base)
{
    return av_rescale_q(time, base, microseconds);
}

std::int64_t fromUs(std::int64_t us, AVRational base)
{
    return av_rescale_q(us, microseconds, base);
}

} // namespace

TimestampRepair::TimestampRepair(bool discontinuous, std::int64_t startUs)
    : m_discontinuous(discontinuous),
      m_shiftUs(startUs == AV_NOPTS_VALUE ? 0 : -std::clamp(startUs, -largestUs, largestUs))
{
}

int TimestampRepair::addTrack(AVRational timeBase, std::int64_t stepUs)
{
    if (timeBase.num <= 0 || timeBase.den <= 0)
        timeBase = microseconds;
    const std::int64_t limit = std::max<std::int64_t>(1, fromUs(largestUs, timeBase));
    m_tracks.push_back({timeBase, std::clamp<std::int64_t>(stepUs, 1, AV_TIME_BASE), AV_NOPTS_VALUE, limit, m_jumps});
    return static_cast<int>(m_tracks.size()) - 1;
}

bool TimestampRepair::isJump(const Track& track, std::int64_t forwardUs) const
{
    if (forwardUs > longestGapUs)
        return true;
    return m_discontinuous && forwardUs < -std::max(jitterUs, 3 * track.stepUs);
}

std::int64_t TimestampRepair::afterEveryTrackUs() const
{
    std::int64_t latest = std::numeric_limits<std::int64_t>::min();
    for (const Track& track : m_tracks)
        if (track.lastDts != AV_NOPTS_VALUE)
            latest = std::max(latest, toUs(track.lastDts, track.timeBase) + track.stepUs);
    return latest;
}

PacketTimes TimestampRepair::repair(int index, PacketTimes packet)
{
    Track& track = m_tracks.at(static_cast<std::size_t>(index));
    const AVRational base = track.timeBase;
    const auto bounded = [&](std::int64_t time) {
        return time == AV_NOPTS_VALUE ? time : std::clamp(time, -track.limit, track.limit);
    };
    std::int64_t dts = bounded(packet.dts == AV_NOPTS_VALUE ? packet.pts : packet.dts);
    const std::int64_t pts = bounded(packet.pts);
    const std::int64_t delay =
        pts != AV_NOPTS_VALUE && dts != AV_NOPTS_VALUE
            ? std::clamp<std::int64_t>(pts - dts, 0, std::max<std::int64_t>(0, fromUs(longestDelayUs, base)))
            : 0;

    if (dts == AV_NOPTS_VALUE) {
        dts = track.lastDts == AV_NOPTS_VALUE
                  ? 0
                  : track.lastDts + std::max<std::int64_t>(1, fromUs(track.stepUs, base));
    } else {
        const std::int64_t source = dts;
        dts = source + fromUs(m_shiftUs, base);
        if (track.lastDts != AV_NOPTS_VALUE) {
            const std::int64_t forwardUs = toUs(dts - track.lastDts, base);
            if (isJump(track, forwardUs)) {
                // The packet follows the latest packet of every track by one
                // step (so that no track's parts overlap), but never further
                // than a gap kept beyond its own track's last one: tracks far
                // apart keep their distance. Every track's later packets move
                // with it.
                const std::int64_t ownNextUs = toUs(track.lastDts, base) + track.stepUs;
                const std::int64_t targetUs = std::min(afterEveryTrackUs(), ownNextUs + longestGapUs);
                m_shiftUs += targetUs - toUs(dts, base);
                // Times within largestUs keep the shift far from overflowing:
                // it is a repaired time less a source time.
                dts = source + fromUs(m_shiftUs, base);
                ++m_jumps;
            }
        }
    }
    if (track.lastDts != AV_NOPTS_VALUE && dts <= track.lastDts) {
        dts = track.lastDts + 1;
        if (track.jumpsSeen == m_jumps)
            ++m_reordered;
    }
    track.jumpsSeen = m_jumps;
    track.lastDts = dts;
    return {dts, dts + delay};
}

} // namespace vidlume::media
