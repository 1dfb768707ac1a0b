#include "device/song.h"

#include "device/tempomap.h"

#include <algorithm>
#include <limits>

namespace {

std::vector<MidiEvent> tempoEventsOf(const std::vector<const MidiTrack *> &tracks)
{
    std::vector<MidiEvent> tempi;
    for (const MidiTrack *t : tracks)
        for (const MidiEvent &e : t->events)
            if (e.kind == MidiEvent::Tempo)
                tempi.push_back(e);
    std::stable_sort(tempi.begin(), tempi.end(),
                     [](const MidiEvent &a, const MidiEvent &b) { return a.tick < b.tick; });
    return tempi;
}

std::int64_t addSaturated(std::int64_t a, std::int64_t b)
{
    return a > std::numeric_limits<std::int64_t>::max() - b ? std::numeric_limits<std::int64_t>::max()
                                                             : a + b;
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

    std::int64_t offset = 0;
    for (const auto &sequence : sequences) {
        const TempoMap map(file.division(), tempoEventsOf(sequence));
        const std::size_t first = song.m_events.size();
        std::int64_t end = 0;
        for (const MidiTrack *t : sequence) {
            for (const MidiEvent &e : t->events) {
                if (e.kind == MidiEvent::Tempo)
                    continue;
                SongEvent s;
                s.us = addSaturated(offset, map.microseconds(e.tick));
                s.kind = e.kind;
                s.status = e.status;
                s.data1 = e.data1;
                s.data2 = e.data2;
                s.offset = e.value;
                s.size = e.size;
                song.m_events.push_back(s);
            }
            end = std::max(end, map.microseconds(t->endTick));
        }
        // Tracks are appended in file order, so a stable sort keeps events of
        // equal time in track order and in their order within a track.
        std::stable_sort(song.m_events.begin() + std::ptrdiff_t(first), song.m_events.end(),
                         [](const SongEvent &a, const SongEvent &b) { return a.us < b.us; });
        offset = addSaturated(offset, end);
    }

    song.m_lengthUs = offset;
    // Positions are int milliseconds; longer songs cannot be shown or sought.
    if (offset >= std::int64_t(std::numeric_limits<int>::max() - 1) * 1000) {
        *error = MidiText::TooLong;
        return std::nullopt;
    }
    const std::int64_t ms = (offset + 500) / 1000;
    if (ms <= 0) {
        *error = MidiText::NoMusic;
        return std::nullopt;
    }
    song.m_lengthMs = int(ms);
    return song;
}
