// A song ready to play: every event of every track on one time line, in
// microseconds from the start, and its length.
#pragma once

#include "device/midifile.h"

#include <cstdint>
#include <optional>
#include <string>
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

class Song
{
public:
    // Refuses (with a text) what holds nothing to play: no track, or a length
    // of 0 ms, so that a song can never end on every tick.
    static std::optional<Song> fromFile(const MidiFile &file, std::string *error);
    static std::optional<Song> load(const std::string &path, std::string *error);

    const std::vector<SongEvent> &events() const { return m_events; }
    const std::vector<std::uint8_t> &sysExData() const { return m_sysEx; }
    std::int64_t lengthUs() const { return m_lengthUs; }
    int lengthMs() const { return m_lengthMs; }
    int format() const { return m_format; }
    int trackCount() const { return m_trackCount; }

private:
    std::vector<SongEvent> m_events;
    std::vector<std::uint8_t> m_sysEx;
    std::int64_t m_lengthUs = 0;
    int m_lengthMs = 0;
    int m_format = 0;
    int m_trackCount = 0;
};
