// Ticks to microseconds for one sequence: 120 BPM until the first tempo
// event, or a fixed rate for SMPTE division. Exact: times are kept as whole
// products of ticks and tempi, so thousands of tempo changes add no drift.
#pragma once

#include "device/midifile.h"

#include <cstdint>
#include <vector>

class TempoMap
{
public:
    // `tempoEvents` in tick order; for SMPTE division they are ignored.
    TempoMap(const MidiDivision &division, const std::vector<MidiEvent> &tempoEvents);

    // Saturates at INT64_MAX for times no song can reach.
    std::int64_t microseconds(std::uint64_t tick) const;

private:
    struct Segment {
        std::uint64_t tick;
        unsigned __int128 start; // microseconds × ticks per quarter
        std::uint32_t tempo;     // microseconds per quarter
    };

    MidiDivision m_division;
    std::vector<Segment> m_segments;
};
