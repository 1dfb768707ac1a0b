// Standard MIDI File and RIFF RMID reader: turns a file's bytes into tracks
// of timed events, strict where safety needs it and lenient where real files
// need it. Pure C++, no Qt, so that the fuzzer and the tool link it alone.
#pragma once

#include <cstddef>
#include <cstdint>
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
    std::uint32_t value = 0; // Tempo: microseconds per quarter; SysEx: offset in sysExData
    std::uint32_t size = 0;  // SysEx: payload bytes, without the F0 and F7 framing
};

struct MidiTrack {
    std::vector<MidiEvent> events; // in tick order
    std::uint64_t endTick = 0;     // End-of-Track, or the last complete event
};

struct MidiDivision {
    bool smpte = false;
    int ticksPerQuarter = 0; // PPQ
    int framesPerSecond = 0; // SMPTE: 24, 25, 29 (29.97 drop-frame) or 30
    int ticksPerFrame = 0;   // SMPTE
};

class MidiFile
{
public:
    // Largest file read at all; a song is a few hundred kilobytes, so anything
    // this big is not one, and the cap bounds the memory a reader can take.
    static constexpr std::size_t MaxFileSize = 16u * 1024u * 1024u;

    static std::optional<MidiFile> parse(std::span<const std::uint8_t> bytes, std::string *error);
    // Refuses what is not a regular file (a FIFO, a device, a folder) before
    // anything could wait on it.
    static std::optional<MidiFile> load(const std::string &path, std::string *error);

    int format() const { return m_format; }
    const MidiDivision &division() const { return m_division; }
    const std::vector<MidiTrack> &tracks() const { return m_tracks; }
    const std::vector<std::uint8_t> &sysExData() const { return m_sysEx; }

private:
    void readTrack(std::span<const std::uint8_t> chunk);
    void addSysEx(MidiTrack &track, std::uint64_t tick, std::span<const std::uint8_t> payload);
    void addEscaped(MidiTrack &track, std::uint64_t tick, std::span<const std::uint8_t> bytes);

    int m_format = 0;
    MidiDivision m_division;
    std::vector<MidiTrack> m_tracks;
    std::vector<std::uint8_t> m_sysEx;
    std::vector<std::uint8_t> m_pendingSysEx; // a sysex split into F7 packets
    bool m_sysExOpen = false;
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
