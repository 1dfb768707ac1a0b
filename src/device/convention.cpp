#include "device/convention.h"

#include "device/song.h"

namespace {

constexpr int DrumChannel = 9;
// The percussion bank of a SoundFont, and the GS SFX kit in it, which stands
// for XG's SFX kits.
constexpr int PercussionBank = 128;
constexpr int SfxKit = 56;

bool isGs(const std::uint8_t *d, std::size_t n)
{
    return n >= 4 && d[0] == 0x41 && d[2] == 0x42 && d[3] == 0x12;
}

bool isXg(const std::uint8_t *d, std::size_t n)
{
    return n >= 3 && d[0] == 0x43 && (d[1] & 0xF0) == 0x10 && d[2] == 0x4C;
}

} // namespace

const char *conventionName(Convention convention)
{
    switch (convention) {
    case Convention::GM:
        return "GM";
    case Convention::GM2:
        return "GM2";
    case Convention::GS:
        return "GS";
    case Convention::XG:
        return "XG";
    case Convention::None:
        break;
    }
    return "-";
}

std::optional<Convention> resetOf(const std::uint8_t *d, std::size_t n)
{
    if (n >= 4 && d[0] == 0x7E && d[2] == 0x09 && (d[3] == 0x01 || d[3] == 0x03))
        return d[3] == 0x01 ? Convention::GM : Convention::GM2;
    // GS Reset, and GS mode set, both DT1 to 40 00 7F
    if (n >= 8 && isGs(d, n) && d[4] == 0x40 && d[5] == 0x00 && d[6] == 0x7F)
        return Convention::GS;
    if (n >= 7 && isXg(d, n) && d[3] == 0x00 && d[4] == 0x00 && (d[5] == 0x7E || d[5] == 0x7F))
        return Convention::XG;
    return std::nullopt;
}

std::optional<RhythmPart> rhythmPart(const std::uint8_t *d, std::size_t n)
{
    if (n >= 9 && isGs(d, n) && d[4] == 0x40 && (d[5] & 0xF0) == 0x10 && d[6] == 0x15 && d[7] <= 2) {
        // GS parts count 10, 1..9, 11..16.
        const int part = d[5] & 0x0F;
        return RhythmPart{part == 0 ? DrumChannel : part <= 9 ? part - 1 : part, d[7] != 0};
    }
    // XG parts are the channels; modes 2 to 5 are drum setups.
    if (n >= 7 && isXg(d, n) && d[3] == 0x08 && d[4] < 16 && d[5] == 0x07 && d[6] <= 5)
        return RhythmPart{d[4], d[6] != 0};
    return std::nullopt;
}

bool addressesDevice(const std::uint8_t *d, std::size_t n, std::uint8_t deviceId)
{
    if (isGs(d, n))
        return d[1] == deviceId || d[1] == 0x7F;
    if (isXg(d, n))
        return (d[1] & 0x0F) == (deviceId & 0x0F);
    return true;
}

SongStyle styleOf(const Song &song)
{
    SongStyle style;
    std::optional<Convention> named, later, inferred;
    std::optional<std::uint8_t> device;
    bool noted = false;
    for (const SongEvent &e : song.events()) {
        if (e.kind == MidiEvent::SysEx) {
            const std::uint8_t *d = song.sysExData().data() + e.offset;
            const bool gs = isGs(d, e.size), xg = isXg(d, e.size);
            if (!device && ((gs && d[1] != 0x7F) || xg))
                device = d[1];
            if (const auto reset = resetOf(d, e.size)) {
                if (!noted)
                    named = reset;
                else if (!later)
                    later = reset;
            } else if (!inferred && (gs || xg)) {
                inferred = gs ? Convention::GS : Convention::XG;
            }
            continue;
        }
        const int c = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0x90:
            noted = noted || e.data2 > 0;
            break;
        case 0xB0:
            // Drum or SFX banks on a melodic channel, or variations by LSB.
            if (!inferred
                && ((e.data1 == 0 && c != DrumChannel && (e.data2 == 127 || e.data2 == 126 || e.data2 == 64))
                    || (e.data1 == 32 && e.data2 > 0)))
                inferred = Convention::XG;
            break;
        default:
            break;
        }
    }
    style.convention = named ? *named : later ? *later : inferred ? *inferred : Convention::None;
    if (device)
        style.deviceId = *device;
    return style;
}

BankState powerOnBank(Convention convention, int channel)
{
    BankState bank;
    if (channel == DrumChannel) {
        if (convention == Convention::XG)
            bank.msb = 127;
        else if (convention == Convention::GM2)
            bank.msb = 120;
        else
            bank.rhythm = true;
    }
    return bank;
}

Voice voiceFor(Convention convention, const BankState &bank, int program)
{
    switch (convention) {
    case Convention::XG:
        if (bank.msb == 126 || bank.msb == 64)
            return {true, PercussionBank, SfxKit};
        if (bank.msb == 127 || bank.rhythm)
            return {true, PercussionBank, program};
        return {false, bank.lsb, program};
    case Convention::GM2:
        if (bank.msb == 120)
            return {true, PercussionBank, program};
        return {false, bank.msb == 121 ? bank.lsb : 0, program};
    case Convention::GM:
        return bank.rhythm ? Voice{true, PercussionBank, program} : Voice{false, 0, program};
    case Convention::GS:
    case Convention::None:
        break;
    }
    // GS: the LSB picks a sound map, not a variation.
    return bank.rhythm ? Voice{true, PercussionBank, program} : Voice{false, bank.msb, program};
}
