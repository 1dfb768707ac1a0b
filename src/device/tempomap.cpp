#include "device/tempomap.h"

#include <algorithm>

namespace {

constexpr std::uint32_t DefaultTempo = 500000; // 120 BPM

std::uint64_t capped(unsigned __int128 v)
{
    return v > TempoMap::Cap ? TempoMap::Cap : std::uint64_t(v);
}

} // namespace

TempoMap::TempoMap(const MidiDivision &division)
    : m_division(division)
{
    if (!division.smpte) {
        // Time in microseconds × ticks per quarter.
        m_denominator = std::uint64_t(division.ticksPerQuarter);
    } else if (division.framesPerSecond == 29) {
        // 29 stands for 29.97 frames per second (drop-frame): a tick lasts
        // 1,001,000,000 / (30,000 × ticks per frame) µs = 100,100 / (3 × tpf).
        m_perTick = 100100;
        m_denominator = 3 * std::uint64_t(division.ticksPerFrame);
    } else {
        m_perTick = 1000000;
        m_denominator = std::uint64_t(division.framesPerSecond) * std::uint64_t(division.ticksPerFrame);
    }
}

void TempoMap::add(std::uint64_t tick, std::uint32_t usPerQuarter)
{
    if (!m_division.smpte)
        m_segments.push_back({tick, 0, usPerQuarter, std::uint32_t(m_segments.size())});
}

// In place, so that a song made of tempo changes needs no second list of them.
void TempoMap::compile()
{
    std::sort(m_segments.begin(), m_segments.end(), [](const Segment &a, const Segment &b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    std::size_t out = 0;
    Segment last{0, 0, DefaultTempo, 0};
    for (const Segment &s : m_segments) {
        if (out > 0 && s.tick == last.tick) {
            m_segments[out - 1].tempo = last.tempo = s.tempo;
            continue;
        }
        const std::uint64_t start =
            capped(last.start + static_cast<unsigned __int128>(s.tick - last.tick) * last.tempo);
        last = {s.tick, start, s.tempo, 0};
        m_segments[out++] = last;
    }
    m_segments.resize(out);
    m_segments.shrink_to_fit();
}

std::uint64_t TempoMap::time(std::uint64_t tick) const
{
    if (m_division.smpte)
        return capped(static_cast<unsigned __int128>(tick) * m_perTick);
    const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                                     [](std::uint64_t t, const Segment &s) { return t < s.tick; });
    if (it == m_segments.begin())
        return capped(static_cast<unsigned __int128>(tick) * DefaultTempo);
    const Segment &s = *(it - 1);
    return capped(s.start + static_cast<unsigned __int128>(tick - s.tick) * s.tempo);
}
