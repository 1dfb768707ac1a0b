#include "device/song.h"

#include "device/tempomap.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <span>
#include <string_view>

namespace {

// Longer songs cannot be shown or sought: positions are int milliseconds.
constexpr std::uint64_t LongestUs = std::uint64_t(std::numeric_limits<int>::max() - 1) * 1000;

struct Contents {
    std::size_t events = 0; // channel messages and sysex
    std::size_t sysExCount = 0;
    std::size_t sysExBytes = 0;
    std::size_t tempi = 0;
    std::uint64_t endTick = 0; // the latest End-of-Track
};

// One sequence: tracks [first, last) played together on one tempo map.
struct Sequence {
    Contents contents;
    TempoMap map;
};

Sequence describe(const MidiFile &file, std::size_t first, std::size_t last, std::vector<std::uint8_t> &scratch)
{
    const auto bytes = file.bytes();
    Contents c;
    MidiEvent e;
    for (std::size_t t = first; t < last; ++t) {
        MidiTrackReader reader = file.track(t);
        while (reader.next(bytes, e, scratch)) {
            c.events += e.kind != MidiEvent::Tempo;
            c.tempi += e.kind == MidiEvent::Tempo;
            c.sysExCount += e.kind == MidiEvent::SysEx;
            c.sysExBytes += e.size;
            scratch.clear();
        }
        c.endTick = std::max(c.endTick, reader.tick());
    }
    TempoMap map(file.division());
    if (c.tempi > 0 && !file.division().smpte) {
        map.reserve(c.tempi);
        for (std::size_t t = first; t < last; ++t) {
            MidiTrackReader reader = file.track(t);
            while (reader.next(bytes, e, scratch)) {
                if (e.kind == MidiEvent::Tempo)
                    map.add(e.tick, e.tempo);
                scratch.clear();
            }
        }
    }
    map.compile();
    return {c, std::move(map)};
}

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b)
{
    return std::min(TempoMap::Cap, a + b); // both at most Cap: no overflow
}

enum class LoopMark { None, Start, End };

// The text of a marker or cue point, letter case ignored.
LoopMark loopMarkOf(std::span<const std::uint8_t> text)
{
    const auto is = [&](std::string_view word) {
        return text.size() == word.size() && std::equal(word.begin(), word.end(), text.begin(), [](char w, std::uint8_t c) {
                   return w == char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
               });
    };
    return is("loopstart") ? LoopMark::Start : is("loopend") ? LoopMark::End : LoopMark::None;
}

} // namespace

static_assert(LongestUs < std::uint64_t(1) << (64 - 23), "microseconds fit the packed time");
// A sysex takes at least five bytes of a file (delta, F0, length, data, F7).
static_assert(MidiFile::MaxFileSize / 5 < (std::size_t(1) << 22), "every sysex has a number");

Song Song::load(const std::string &path)
{
    return fromFile(MidiFile::load(path));
}

// Two passes over the file's bytes: the first learns how many events there
// are and how long the song lasts, so that a song refused takes no memory
// and one accepted is stored at its exact size; the second stores them.
Song Song::fromFile(const MidiFile &file)
{
    Song song;
    song.m_format = file.format();
    song.m_trackCount = int(file.trackCount());

    // Format 2 plays its sequences one after another, each on its own tempo
    // map; every other format (an unknown one too) plays its tracks together
    // on one map made of the tempo events of all of them.
    const bool sequential = file.format() == 2;
    const std::size_t sequences = sequential ? file.trackCount() : 1;
    const auto first = [&](std::size_t s) { return sequential ? s : 0; };
    const auto last = [&](std::size_t s) { return sequential ? s + 1 : file.trackCount(); };

    std::vector<std::uint8_t> scratch;
    Contents total;
    std::uint64_t length = 0;
    std::uint64_t denominator = 1;
    std::optional<Sequence> only;
    for (std::size_t s = 0; s < sequences; ++s) {
        Sequence sequence = describe(file, first(s), last(s), scratch);
        total.events += sequence.contents.events;
        total.sysExCount += sequence.contents.sysExCount;
        total.sysExBytes += sequence.contents.sysExBytes;
        length = addCapped(length, sequence.map.time(sequence.contents.endTick));
        denominator = sequence.map.denominator();
        if (sequences == 1)
            only.emplace(std::move(sequence));
    }
    scratch = {};

    const std::uint64_t lengthUs = length / denominator;
    if (lengthUs >= LongestUs) {
        throw EMidiFileError(MidiText::TooLong);
    }
    const std::uint64_t ms = (length + denominator * 500) / (denominator * 1000);
    if (ms == 0) {
        throw EMidiFileError(MidiText::NoMusic);
    }
    song.m_lengthUs = std::int64_t(lengthUs);
    song.m_lengthMs = int(ms);

    song.m_events.reserve(total.events);
    song.m_sysEx.reserve(total.sysExBytes);
    song.m_sysExStart.reserve(total.sysExCount + 1);
    song.m_sysExStart.push_back(0);
    std::uint64_t offset = 0;
    LoopMarks marks;
    for (std::size_t s = 0; s < sequences; ++s) {
        const Sequence sequence = only ? std::move(*only) : describe(file, first(s), last(s), scratch);
        song.readSequence(file, first(s), last(s), sequence.map, offset, marks);
        offset = addCapped(offset, sequence.map.time(sequence.contents.endTick));
    }
    song.m_style = styleOf(song);
    song.m_loop = song.findLoop(marks);
    return song;
}

std::optional<Song::Loop> Song::findLoop(const LoopMarks &marks) const
{
    const auto loop = [&](std::int64_t start, std::int64_t end) -> std::optional<Loop> {
        end = std::min(end, m_lengthUs);
        if (end - start < LeastLoopUs || std::uint64_t(start + 2 * (end - start) + LoopFadeUs) >= LongestUs)
            return std::nullopt;
        return Loop{start, end};
    };
    if (marks.start) {
        if (const auto found = loop(*marks.start, marks.end.value_or(m_lengthUs)))
            return found;
    }
    std::optional<std::int64_t> rpg, emidiStart, emidiEnd;
    for (const SongEvent &e : events()) {
        if (e.kind != MidiEvent::Channel || (e.status & 0xF0) != 0xB0)
            continue;
        std::optional<std::int64_t> *first = e.data1 == 111 ? &rpg
            : e.data1 == 116                                 ? &emidiStart
            : e.data1 == 117                                 ? &emidiEnd
                                                             : nullptr;
        if (first && !*first)
            *first = e.us;
    }
    if (rpg) {
        if (const auto found = loop(*rpg, m_lengthUs))
            return found;
    }
    if (emidiStart)
        return loop(*emidiStart, emidiEnd.value_or(m_lengthUs));
    return std::nullopt;
}

std::int64_t Song::playLengthUs(bool loops) const
{
    if (!loops || !m_loop)
        return m_lengthUs;
    const auto [start, end] = *m_loop;
    return start + 2 * (end - start) + LoopFadeUs;
}

int Song::playLengthMs(bool loops) const
{
    return loops && m_loop ? int((playLengthUs(true) + 500) / 1000) : m_lengthMs;
}

// Reads the tracks together, always on in the one whose next event comes
// first (the earlier track on a tie), so that events come out in play order
// with no list to sort: equal times keep track order, and file order within
// a track.
void Song::readSequence(const MidiFile &file, std::size_t first, std::size_t last, const TempoMap &map,
                        std::uint64_t offset, LoopMarks &marks)
{
    const auto bytes = file.bytes();
    const std::uint64_t denominator = map.denominator();
    std::vector<MidiTrackReader> readers;
    readers.reserve(last - first);
    for (std::size_t t = first; t < last; ++t) {
        const MidiTrackReader reader = file.track(t);
        if (!reader.atEnd())
            readers.push_back(reader);
    }
    std::vector<std::uint32_t> heap(readers.size());
    std::iota(heap.begin(), heap.end(), 0u);
    const auto later = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t ta = readers[a].tick(), tb = readers[b].tick();
        return ta != tb ? ta > tb : a > b;
    };
    std::make_heap(heap.begin(), heap.end(), later); // front: the earliest

    MidiEvent e;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        const std::uint32_t i = heap.back();
        heap.pop_back();
        MidiTrackReader &reader = readers[i];
        for (;;) {
            const MidiTrackReader::Step step = reader.read(bytes, e, m_sysEx);
            if (step == MidiTrackReader::Step::Event && e.kind != MidiEvent::Tempo) {
                append(addCapped(offset, map.time(e.tick)) / denominator, e);
            } else if (step == MidiTrackReader::Step::Nothing && e.status == 0xFF && (e.data1 == 0x06 || e.data1 == 0x07)) {
                const LoopMark mark = loopMarkOf(bytes.subspan(e.at, e.size));
                auto &first = mark == LoopMark::Start ? marks.start : marks.end;
                if (mark != LoopMark::None && !first)
                    first = std::int64_t(addCapped(offset, map.time(e.tick)) / denominator);
            }
            if (reader.atEnd())
                break;
            if (!heap.empty() && later(i, heap.front())) {
                heap.push_back(i);
                std::push_heap(heap.begin(), heap.end(), later);
                break;
            }
        }
    }
}

void Song::append(std::uint64_t us, const MidiEvent &e)
{
    std::uint64_t packed = us << TimeShift;
    if (e.kind == MidiEvent::SysEx) {
        // The reader has just appended its payload to m_sysEx.
        packed |= SysExFlag | (m_sysExStart.size() - 1);
        m_sysExStart.push_back(std::uint32_t(m_sysEx.size()));
    } else {
        packed |= std::uint64_t(e.status & 0x7F) << 14 | std::uint64_t(e.data1) << 7 | e.data2;
    }
    m_events.push_back(packed);
}
