// A song ready to play: every event of every track on one time line, in
// microseconds from the start, and its length. Events are kept packed, eight
// bytes each with sysex payloads in one shared buffer, so that a song of
// millions of events costs a few times its file's size.
#pragma once

#include "device/convention.h"
#include "device/midifile.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SongEvent {
    std::int64_t us = 0;
    MidiEvent::Kind kind = MidiEvent::Channel; // Channel or SysEx
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t offset = 0; // SysEx payload in Song::sysExData()
    std::uint32_t size = 0;
};

class Song;
class TempoMap;

// The events of a song in play order, unpacked one at a time.
class SongEvents
{
public:
    class Iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = SongEvent;
        using difference_type = std::ptrdiff_t;
        using reference = SongEvent;
        using pointer = void;

        Iterator() = default;
        Iterator(const Song *song, std::ptrdiff_t index) : m_song(song), m_index(index) {}

        SongEvent operator*() const;
        SongEvent operator[](std::ptrdiff_t n) const { return *(*this + n); }
        Iterator &operator++() { ++m_index; return *this; }
        Iterator operator++(int) { Iterator old = *this; ++m_index; return old; }
        Iterator &operator--() { --m_index; return *this; }
        Iterator operator--(int) { Iterator old = *this; --m_index; return old; }
        Iterator &operator+=(std::ptrdiff_t n) { m_index += n; return *this; }
        Iterator &operator-=(std::ptrdiff_t n) { m_index -= n; return *this; }
        friend Iterator operator+(Iterator it, std::ptrdiff_t n) { return it += n; }
        friend Iterator operator+(std::ptrdiff_t n, Iterator it) { return it += n; }
        friend Iterator operator-(Iterator it, std::ptrdiff_t n) { return it -= n; }
        friend std::ptrdiff_t operator-(const Iterator &a, const Iterator &b) { return a.m_index - b.m_index; }
        friend bool operator==(const Iterator &a, const Iterator &b) { return a.m_index == b.m_index; }
        friend auto operator<=>(const Iterator &a, const Iterator &b) { return a.m_index <=> b.m_index; }

    private:
        const Song *m_song = nullptr;
        std::ptrdiff_t m_index = 0;
    };

    explicit SongEvents(const Song &song) : m_song(&song) {}

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    SongEvent operator[](std::size_t i) const;
    SongEvent back() const { return (*this)[size() - 1]; }
    Iterator begin() const { return Iterator(m_song, 0); }
    Iterator end() const { return Iterator(m_song, std::ptrdiff_t(size())); }

private:
    const Song *m_song;
};

class Song
{
public:
    // Refuses (EMidiFileError) what holds nothing to play: no track, or a
    // length of 0 ms, so that a song can never end on every tick.
    static Song fromFile(const MidiFile &file);
    static Song load(const std::string &path);

    SongEvents events() const { return SongEvents(*this); }
    SongEvent event(std::size_t index) const;
    std::size_t eventCount() const { return m_events.size(); }
    const std::vector<std::uint8_t> &sysExData() const { return m_sysEx; }
    std::int64_t lengthUs() const { return m_lengthUs; }
    int lengthMs() const { return m_lengthMs; }
    int format() const { return m_format; }
    int trackCount() const { return m_trackCount; }
    // The convention the song is written for, and the device it addresses.
    const SongStyle &style() const { return m_style; }

    // The loop a game's music marks to be played on and on, in microseconds
    // from the start, found at load from the first marker of one kind: the
    // marker or cue point texts "loopStart" and "loopEnd", else controller
    // 111, else controllers 116 and 117. With no end marked, the loop ends
    // with the song. Marks that end before they start, or make a loop
    // shorter than LeastLoopUs, are passed over for the next kind.
    using Loop = std::pair<std::int64_t, std::int64_t>;
    std::optional<Loop> loopUs() const { return m_loop; }
    // Played with its loop, a song plays its intro, the loop twice, and the
    // loop on while it fades out over LoopFadeUs; without, as it stands.
    std::int64_t playLengthUs(bool loops) const;
    int playLengthMs(bool loops) const;
    static constexpr std::int64_t LoopFadeUs = 8'000'000;
    static constexpr std::int64_t LeastLoopUs = 100'000;

private:
    struct LoopMarks {
        std::optional<std::int64_t> start, end;
    };
    void readSequence(const MidiFile &file, std::size_t first, std::size_t last, const TempoMap &map,
                      std::uint64_t offset, LoopMarks &marks);
    std::optional<Loop> findLoop(const LoopMarks &marks) const;
    void append(std::uint64_t us, const MidiEvent &e);

    static constexpr int TimeShift = 23;
    static constexpr std::uint64_t SysExFlag = std::uint64_t(1) << 22;
    static constexpr std::uint64_t SysExIndexMask = SysExFlag - 1;

    // Microseconds in the high 41 bits; then a sysex flag; then the channel
    // message (status without its top bit, data 1, data 2: 7 bits each) or
    // the sysex's number in m_sysExStart.
    std::vector<std::uint64_t> m_events;
    std::vector<std::uint8_t> m_sysEx;
    std::vector<std::uint32_t> m_sysExStart; // and one more: the end of the last
    std::int64_t m_lengthUs = 0;
    int m_lengthMs = 0;
    int m_format = 0;
    int m_trackCount = 0;
    SongStyle m_style;
    std::optional<Loop> m_loop;
};

inline SongEvent Song::event(std::size_t index) const
{
    const std::uint64_t packed = m_events[index];
    SongEvent e;
    e.us = std::int64_t(packed >> TimeShift);
    if (packed & SysExFlag) {
        const std::size_t n = std::size_t(packed & SysExIndexMask);
        e.kind = MidiEvent::SysEx;
        e.offset = m_sysExStart[n];
        e.size = m_sysExStart[n + 1] - e.offset;
    } else {
        e.status = std::uint8_t(0x80 | (packed >> 14 & 0x7F));
        e.data1 = std::uint8_t(packed >> 7 & 0x7F);
        e.data2 = std::uint8_t(packed & 0x7F);
    }
    return e;
}

inline SongEvent SongEvents::Iterator::operator*() const
{
    return m_song->event(std::size_t(m_index));
}

inline std::size_t SongEvents::size() const
{
    return m_song->eventCount();
}

inline SongEvent SongEvents::operator[](std::size_t i) const
{
    return m_song->event(i);
}
