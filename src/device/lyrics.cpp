#include "device/lyrics.h"

#include "device/songtext.h"
#include "device/tempomap.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr std::uint8_t TextEvent = 0x01;
constexpr std::uint8_t LyricEvent = 0x05;

struct RawSyllable {
    std::uint64_t time; // in the tempo map's units, from the song's start
    std::string bytes;
};

// One track's words of one kind.
struct Source {
    std::vector<RawSyllable> syllables;
    std::size_t sung = 0; // syllables with something to sing
};

// The tempo map of tracks [first, last), played together, and where they end.
struct Sequence {
    TempoMap map;
    std::uint64_t endTick = 0;
};

Sequence sequenceOf(const MidiFile &file, std::size_t first, std::size_t last)
{
    Sequence s{TempoMap(file.division())};
    std::vector<std::uint8_t> scratch;
    MidiEvent e;
    for (std::size_t t = first; t < last; ++t) {
        MidiTrackReader reader = file.track(t);
        while (reader.next(file.bytes(), e, scratch)) {
            if (e.kind == MidiEvent::Tempo)
                s.map.add(e.tick, e.tempo);
            scratch.clear();
        }
        s.endTick = std::max(s.endTick, reader.tick());
    }
    s.map.compile();
    return s;
}

// "@K" (the format), "@L" (language), "@T" (title lines), "@I" (information)
// and their like: what marks a file as Soft Karaoke, and is not sung.
bool isHeaderCode(std::string_view text)
{
    return text.size() >= 2 && text[0] == '@' && ((text[1] >= 'A' && text[1] <= 'Z') || (text[1] >= 'a' && text[1] <= 'z'));
}

bool hasWords(std::string_view text)
{
    return text.find_first_not_of("\r\n/\\") != std::string_view::npos;
}

// Builds the lines from decoded syllables.
class LineBuilder
{
public:
    void add(std::int64_t us, int ms, std::string text)
    {
        if (!text.empty() && (text.front() == '\\' || text.front() == '/')) {
            breakLine();
            text.erase(0, 1);
        }
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            const bool end = i == text.size();
            if (!end && text[i] != '\r' && text[i] != '\n')
                continue;
            if (i > start)
                m_current.syllables.push_back({us, ms, text.substr(start, i - start)});
            if (!end)
                breakLine();
            start = i + 1;
        }
    }

    std::vector<LyricLine> finish()
    {
        breakLine();
        return std::move(m_lines);
    }

private:
    void breakLine()
    {
        if (m_current.syllables.empty())
            return;
        m_current.us = m_current.syllables.front().us;
        m_current.ms = m_current.syllables.front().ms;
        m_lines.push_back(std::move(m_current));
        m_current = {};
    }

    LyricLine m_current;
    std::vector<LyricLine> m_lines;
};

} // namespace

std::string LyricLine::text() const
{
    std::string all;
    for (const LyricSyllable &s : syllables)
        all += s.text;
    return all;
}

Lyrics Lyrics::read(const MidiFile &file)
{
    // Format 2 plays its tracks one after another, each on its own tempo map.
    const bool sequential = file.format() == 2;
    std::vector<Sequence> sequences;
    std::vector<std::uint64_t> offsets;
    std::uint64_t offset = 0;
    for (std::size_t s = 0; s < (sequential ? file.trackCount() : 1); ++s) {
        sequences.push_back(sequenceOf(file, sequential ? s : 0, sequential ? s + 1 : file.trackCount()));
        offsets.push_back(offset);
        offset = std::min(TempoMap::Cap, offset + sequences.back().map.time(sequences.back().endTick));
    }

    // Per track: its lyric events, and its text events where the file is a
    // Soft Karaoke one.
    bool softKaraoke = false;
    std::vector<Source> lyricSources(file.trackCount());
    std::vector<Source> textSources(file.trackCount());
    for (std::size_t t = 0; t < file.trackCount(); ++t) {
        const Sequence &sequence = sequences[sequential ? t : 0];
        const std::uint64_t base = offsets[sequential ? t : 0];
        file.visitMeta(t, [&](std::uint64_t tick, std::uint8_t type, std::span<const std::uint8_t> data) {
            if (type != LyricEvent && type != TextEvent)
                return;
            std::string bytes(data.begin(), data.end());
            softKaraoke = softKaraoke || (type == TextEvent && isHeaderCode(bytes));
            Source &source = (type == LyricEvent ? lyricSources : textSources)[t];
            if (type == TextEvent && isHeaderCode(bytes))
                return;
            source.sung += hasWords(bytes);
            source.syllables.push_back({std::min(TempoMap::Cap, base + sequence.map.time(tick)), std::move(bytes)});
        });
    }

    const Source *chosen = nullptr;
    for (std::size_t t = 0; t < file.trackCount(); ++t) {
        for (const Source *source : {&lyricSources[t], softKaraoke ? &textSources[t] : nullptr}) {
            if (source && source->sung > 0 && (!chosen || source->sung > chosen->sung))
                chosen = source;
        }
    }
    Lyrics lyrics;
    if (!chosen)
        return lyrics;

    // Tracks are in tick order, but tracks of format 2 or a damaged file may
    // not be: words are sung in time order.
    std::vector<RawSyllable> syllables = chosen->syllables;
    std::stable_sort(syllables.begin(), syllables.end(),
                     [](const RawSyllable &a, const RawSyllable &b) { return a.time < b.time; });
    std::string sample;
    for (const RawSyllable &s : syllables)
        sample += s.bytes;
    const SongTextDecoder decoder = SongTextDecoder::detect(sample);
    lyrics.m_encoding = decoder.encoding();

    const std::uint64_t denominator = sequences.front().map.denominator();
    LineBuilder builder;
    for (const RawSyllable &s : syllables) {
        const auto ms = int((s.time + denominator * 500) / (denominator * 1000));
        builder.add(std::int64_t(s.time / denominator), ms, decoder.decode(s.bytes));
    }
    lyrics.m_lines = builder.finish();
    return lyrics;
}

Lyrics Lyrics::load(const std::string &path)
{
    return read(MidiFile::load(path));
}

int Lyrics::lineAt(int ms) const
{
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), ms,
                                        [](int at, const LyricLine &line) { return at < line.ms; });
    return int(after - m_lines.begin()) - 1;
}

std::string Lyrics::plainText() const
{
    std::string all;
    for (const LyricLine &line : m_lines) {
        if (!all.empty())
            all += '\n';
        all += line.text();
    }
    return all;
}
