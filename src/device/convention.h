// The conventions MIDI files are written for (General MIDI 1 and 2, GS, XG):
// which one a song follows, the SysEx messages that name or change it, and
// how each chooses the instrument a channel plays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class Song;

// None: a song with no reset and nothing that names a convention; it plays
// by General MIDI rules, taking bank select MSB as the bank.
enum class Convention : std::uint8_t { None, GM, GM2, GS, XG };

const char *conventionName(Convention convention); // "-", "GM", "GM2", "GS", "XG"

// The convention a reset message (GM, GM2 System On, GS Reset, XG System On
// or reset to factory) names, or none for any other message.
std::optional<Convention> resetOf(const std::uint8_t *data, std::size_t size);

// GS "use for rhythm part" (41 dev 42 12 40 1p 15 vv sum) and XG "part
// mode" (43 1n 4C 08 pp 07 vv): the song channel it sets, and whether that
// channel now plays drum kits.
struct RhythmPart {
    int channel;
    bool rhythm;
};
std::optional<RhythmPart> rhythmPart(const std::uint8_t *data, std::size_t size);

struct SongStyle {
    Convention convention = Convention::None;
    // What the song's GS or XG messages address (41 dd / 43 1n), 0x10 by
    // default: messages to other devices are not for this synthesiser.
    std::uint8_t deviceId = 0x10;
};
// Named by the last reset before the first note (songs often send GM System
// On, then their own reset); else inferred from what the song uses.
SongStyle styleOf(const Song &song);

// Whether a GS or XG message is meant for the song's device; every other
// message is.
bool addressesDevice(const std::uint8_t *data, std::size_t size, std::uint8_t deviceId);

// One channel's bank select and rhythm flag, as the convention reads them.
struct BankState {
    std::uint8_t msb = 0;
    std::uint8_t lsb = 0;
    bool rhythm = false; // a rhythm part (GS: channel 10 at power-on)
};
BankState powerOnBank(Convention convention, int channel);

// The SoundFont preset (bank 128: percussion) a program change chooses.
struct Voice {
    bool drum = false;
    int bank = 0;
    int program = 0;
};
Voice voiceFor(Convention convention, const BankState &bank, int program);
