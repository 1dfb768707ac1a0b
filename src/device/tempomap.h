// Ticks to time for one sequence: 120 BPM until the first tempo event, or a
// fixed rate for SMPTE division. Exact: a time is a whole number of a unit
// that divides every tick's time (one microsecond over denominator()), so
// that thousands of tempo changes, or of sequences played one after another,
// add up without drift and are rounded once.
#pragma once

#include "device/midifile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TempoMap
{
public:
    // Times no song can reach are held here; at any division this is longer
    // than a song may be.
    static constexpr std::uint64_t Cap = std::uint64_t(1) << 62;

    explicit TempoMap(const MidiDivision &division);

    // Tempo changes, in tick order within each track and tracks in file
    // order; of simultaneous changes the one added last wins. Ignored for
    // SMPTE division. compile() before the first time().
    void reserve(std::size_t changes) { m_segments.reserve(m_division.smpte ? 0 : changes); }
    void add(std::uint64_t tick, std::uint32_t usPerQuarter);
    void compile();

    std::uint64_t time(std::uint64_t tick) const; // saturates at Cap
    std::uint64_t denominator() const { return m_denominator; }

private:
    struct Segment {
        std::uint64_t tick;
        std::uint64_t start;  // time at tick
        std::uint32_t tempo;  // microseconds per quarter
        std::uint32_t order;  // of add(), until compile()
    };

    MidiDivision m_division;
    std::uint64_t m_denominator = 1;
    std::uint64_t m_perTick = 1; // SMPTE: time of one tick
    std::vector<Segment> m_segments;
};
