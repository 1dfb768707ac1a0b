// Standard MIDI File and RIFF RMID reader, strict where safety needs it and
// lenient where real files need it. The file's bytes are kept as they are;
// tracks are read event by event, so that a song of millions of events is
// never held as lists of them. Pure C++, no Qt, so that the fuzzer and the
// tool link it alone.
#pragma once

#include "device/deviceerror.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct MidiEvent {
    enum Kind : std::uint8_t { Channel, SysEx, Tempo };

    std::uint64_t tick = 0;
    Kind kind = Channel;
    std::uint8_t status = 0; // Channel: 0x80..0xEF
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t tempo = 0; // Tempo: microseconds per quarter
    std::uint32_t size = 0;  // SysEx: payload bytes, without the F0 and F7 framing; meta: payload bytes
    std::uint32_t at = 0;    // meta: where its payload starts in the file's bytes
};

struct MidiDivision {
    bool smpte = false;
    int ticksPerQuarter = 0; // PPQ
    int framesPerSecond = 0; // SMPTE: 24, 25, 29 (29.97 drop-frame) or 30
    int ticksPerFrame = 0;   // SMPTE
};

// A position in one track. Small and plain, so that a song of thousands of
// tracks can keep one per track while they are merged into one time line.
class MidiTrackReader
{
public:
    using Bytes = std::span<const std::uint8_t>;
    enum class Step { Event, Nothing, End };

    MidiTrackReader() = default;
    // The track is bytes[begin, end) of the file's bytes.
    MidiTrackReader(Bytes bytes, std::uint32_t begin, std::uint32_t end);

    // Reads the next event of the track in `bytes` (the same bytes as given
    // to the constructor). Event: `event` holds it, and a sysex's payload has
    // been appended to `sysEx`. Nothing: what was read plays no part (a meta
    // event, a system message, an escape that forms no message); for a meta
    // event, `event` has status 0xFF, its type in data1, and its payload's
    // place in `size` and `at`, for a reader that looks for markers. End: the
    // track is over (its End-of-Track, its chunk's end, or bytes that cannot
    // be read), and every later call says so too.
    Step read(Bytes bytes, MidiEvent &event, std::vector<std::uint8_t> &sysEx);
    // Reads on to the next event; false at the end of the track.
    bool next(Bytes bytes, MidiEvent &event, std::vector<std::uint8_t> &sysEx);

    bool atEnd() const { return m_ended; }
    // Before the end: the tick of what read() reads next. At the end: the
    // track's length, its End-of-Track or its last complete event.
    std::uint64_t tick() const { return m_ended ? m_tick : m_nextTick; }

private:
    void advance(Bytes bytes); // reads the delta time of the next event
    void appendPackets(Bytes bytes, std::uint32_t to, std::vector<std::uint8_t> &sysEx) const;

    std::uint64_t m_tick = 0;     // the last complete event
    std::uint64_t m_nextTick = 0; // the event at m_pos
    std::uint32_t m_pos = 0;      // its status byte (or first data byte)
    std::uint32_t m_end = 0;
    std::uint32_t m_sysExStart = 0; // the F0 of a sysex split into F7 packets
    std::uint8_t m_running = 0;
    std::uint8_t m_sysExRunning = 0; // running status at that F0
    bool m_sysExOpen = false;
    bool m_ended = true;
};

// A song that cannot be read or played; what() is one of the MidiText texts.
class EMidiFileError : public EDeviceError
{
public:
    using EDeviceError::EDeviceError;
};

class MidiFile
{
public:
    // Largest file read at all; a song is a few hundred kilobytes, so anything
    // this big is not one, and the cap bounds the memory a reader can take.
    static constexpr std::size_t MaxFileSize = 16u * 1024u * 1024u;

    // Both throw EMidiFileError with one of the MidiText texts.
    static MidiFile parse(std::span<const std::uint8_t> bytes);
    // Refuses what is not a regular file (a FIFO, a device, a folder) before
    // anything could wait on it.
    static MidiFile load(const std::string &path);

    int format() const { return m_format; }
    const MidiDivision &division() const { return m_division; }
    std::size_t trackCount() const { return m_tracks.size(); }
    // The bytes that every reader of this file reads from.
    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    // A reader at the start of track `index`, in file order.
    MidiTrackReader track(std::size_t index) const;

    // The meta events of track `index` other than its End-of-Track, in order,
    // up to where the track ends or can no longer be read: their tick, type
    // and payload (valid while the file lives).
    using MetaVisitor = std::function<void(std::uint64_t tick, std::uint8_t type, std::span<const std::uint8_t> data)>;
    void visitMeta(std::size_t index, const MetaVisitor &visit) const;

private:
    struct Chunk {
        std::uint32_t begin;
        std::uint32_t end;
    };

    static MidiFile take(std::vector<std::uint8_t> bytes);

    int m_format = 0;
    MidiDivision m_division;
    std::vector<std::uint8_t> m_bytes;
    std::vector<Chunk> m_tracks;
};

namespace MidiText {
inline constexpr const char *NotReadable = "The file could not be read.";
inline constexpr const char *NotRegular = "The file is not a regular file.";
inline constexpr const char *TooLarge = "The file is too large to be a MIDI file.";
inline constexpr const char *NotMidi = "The file is not a MIDI file.";
inline constexpr const char *Damaged = "The MIDI file is damaged.";
inline constexpr const char *NoMusic = "The file holds no music.";
inline constexpr const char *TooLong = "The song is too long to play.";
}
