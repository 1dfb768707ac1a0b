#include "device/tempomap.h"

#include <algorithm>
#include <limits>

namespace {
constexpr std::uint32_t DefaultTempo = 500000; // 120 BPM

std::int64_t saturate(unsigned __int128 v)
{
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    return v > static_cast<unsigned __int128>(max) ? max : static_cast<std::int64_t>(v);
}
} // namespace

TempoMap::TempoMap(const MidiDivision &division, const std::vector<MidiEvent> &tempoEvents)
    : m_division(division)
{
    m_segments.push_back({0, 0, DefaultTempo});
    if (division.smpte)
        return;
    for (const MidiEvent &e : tempoEvents) {
        Segment &last = m_segments.back();
        if (e.tick == last.tick) {
            last.tempo = e.value; // the latest of simultaneous changes wins
            continue;
        }
        const unsigned __int128 start =
            last.start + static_cast<unsigned __int128>(e.tick - last.tick) * last.tempo;
        m_segments.push_back({e.tick, start, e.value});
    }
}

std::int64_t TempoMap::microseconds(std::uint64_t tick) const
{
    if (m_division.smpte) {
        // 29 stands for 29.97 frames per second (drop-frame).
        const bool drop = m_division.framesPerSecond == 29;
        const unsigned __int128 num = static_cast<unsigned __int128>(tick) * 1000000u * (drop ? 1001u : 1u);
        const unsigned __int128 den = static_cast<unsigned __int128>(m_division.ticksPerFrame)
            * (drop ? 30000u : static_cast<unsigned>(m_division.framesPerSecond));
        return saturate(num / den);
    }
    const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                                     [](std::uint64_t t, const Segment &s) { return t < s.tick; });
    const Segment &s = *(it - 1);
    const unsigned __int128 total = s.start + static_cast<unsigned __int128>(tick - s.tick) * s.tempo;
    return saturate(total / static_cast<unsigned>(m_division.ticksPerQuarter));
}
