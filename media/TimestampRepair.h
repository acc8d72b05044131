#pragma once

extern "C" {
#include <libavutil/rational.h>
}

#include <cstdint>
#include <vector>

namespace vidlume::media {

/// A packet's decoding and presentation times in its track's time base;
/// AV_NOPTS_VALUE where it has none.
struct PacketTimes
{
    std::int64_t dts;
    std::int64_t pts;
};

/// Puts the packets' timestamps of a source in order, for a muxer that takes
/// only increasing decoding times: the source's start goes to zero, jumps of a
/// discontinuous source (an FLV joined from several, each part starting again
/// at zero) are closed for every track at once, so sound and picture stay in
/// step, and every decoding time comes after the one before it.
class TimestampRepair
{
public:
    /// Forward jumps longer than this are closed in any source.
    static constexpr std::int64_t longestGapUs = 10'000'000;

    /// discontinuous: the source's timestamps may also jump back, or forward
    /// by less than longestGapUs, where it was joined. startUs: the source's
    /// start time, or AV_NOPTS_VALUE.
    TimestampRepair(bool discontinuous, std::int64_t startUs);

    /// A new track whose packets are stepUs long as a rule; returns its number.
    int addTrack(AVRational timeBase, std::int64_t stepUs);

    /// The packet's repaired times: dts after the track's last, pts no earlier than dts.
    PacketTimes repair(int track, PacketTimes packet);

    /// How many jumps were closed, and how many packets came too early for their
    /// track and were moved behind its last one (not counting a track's first
    /// packet after a jump, whose part may start a little before another's).
    std::uint64_t jumps() const { return m_jumps; }
    std::uint64_t reordered() const { return m_reordered; }

private:
    struct Track
    {
        AVRational timeBase;
        std::int64_t stepUs;
        std::int64_t lastDts; ///< repaired, in the time base
        std::int64_t limit;   ///< the largest time taken as it stands, in the time base
        std::uint64_t jumpsSeen = 0; ///< the jumps closed before this track's last packet
    };

    /// Where a packet after a jump goes, in microseconds: one step after the
    /// latest packet of any track, so that no track's next part overlaps its last.
    std::int64_t afterEveryTrackUs() const;

    bool isJump(const Track& track, std::int64_t forwardUs) const;

    bool m_discontinuous;
    std::int64_t m_shiftUs;
    std::vector<Track> m_tracks;
    std::uint64_t m_jumps = 0;
    std::uint64_t m_reordered = 0;
};

} // namespace vidlume::media
