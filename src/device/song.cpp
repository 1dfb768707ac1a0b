#include "device/song.h"

#include "device/tempomap.h"

#include <algorithm>
#include <limits>

namespace {

TempoMap tempoMapOf(const MidiDivision &division, const std::vector<const MidiTrack *> &tracks)
{
    TempoMap map(division);
    for (const MidiTrack *t : tracks)
        for (const MidiEvent &e : t->events)
            if (e.kind == MidiEvent::Tempo)
                map.add(e.tick, e.value);
    map.compile();
    return map;
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b)
{
    return std::min(TempoMap::Cap, a + b); // both at most Cap: no overflow
}

} // namespace

std::optional<Song> Song::load(const std::string &path, std::string *error)
{
    const auto file = MidiFile::load(path, error);
    if (!file)
        return std::nullopt;
    return fromFile(*file, error);
}

std::optional<Song> Song::fromFile(const MidiFile &file, std::string *error)
{
    Song song;
    song.m_format = file.format();
    song.m_trackCount = int(file.tracks().size());
    song.m_sysEx = file.sysExData();

    // Format 2 plays its sequences one after another, each on its own tempo
    // map; every other format (an unknown one too) plays its tracks together
    // on one map made of the tempo events of all of them.
    std::vector<std::vector<const MidiTrack *>> sequences;
    if (file.format() == 2) {
        for (const MidiTrack &t : file.tracks())
            sequences.push_back({&t});
    } else {
        sequences.emplace_back();
        for (const MidiTrack &t : file.tracks())
            sequences.back().push_back(&t);
    }

    std::size_t total = 0;
    for (const MidiTrack &t : file.tracks())
        total += t.events.size();
    song.m_events.reserve(total);

    // Times are summed exactly and rounded once, so that a song of thousands
    // of short sequences is exact to the millisecond.
    std::uint64_t offset = 0;
    std::uint64_t denominator = 1;
    for (const auto &sequence : sequences) {
        const TempoMap map = tempoMapOf(file.division(), sequence);
        denominator = map.denominator();
        const std::size_t first = song.m_events.size();
        std::uint64_t end = 0;
        for (const MidiTrack *t : sequence) {
            for (const MidiEvent &e : t->events) {
                if (e.kind == MidiEvent::Tempo)
                    continue;
                SongEvent s;
                s.us = std::int64_t(addCapped(offset, map.time(e.tick)) / denominator);
                s.kind = e.kind;
                s.status = e.status;
                s.data1 = e.data1;
                s.data2 = e.data2;
                s.offset = e.value;
                s.size = e.size;
                song.m_events.push_back(s);
            }
            end = std::max(end, map.time(t->endTick));
        }
        // Tracks are appended in file order, so a stable sort keeps events of
        // equal time in track order and in their order within a track.
        std::stable_sort(song.m_events.begin() + std::ptrdiff_t(first), song.m_events.end(),
                         [](const SongEvent &a, const SongEvent &b) { return a.us < b.us; });
        offset = addCapped(offset, end);
    }

    const std::uint64_t lengthUs = offset / denominator;
    // Positions are int milliseconds; longer songs cannot be shown or sought.
    if (lengthUs >= std::uint64_t(std::numeric_limits<int>::max() - 1) * 1000) {
        *error = MidiText::TooLong;
        return std::nullopt;
    }
    const std::uint64_t ms = (offset + denominator * 500) / (denominator * 1000);
    if (ms == 0) {
        *error = MidiText::NoMusic;
        return std::nullopt;
    }
    song.m_lengthUs = std::int64_t(lengthUs);
    song.m_lengthMs = int(ms);
    return song;
}
