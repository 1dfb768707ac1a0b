// libFuzzer entry for the MIDI file reader and the tempo map.
#include "device/midifile.h"
#include "device/song.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        (void)Song::fromFile(MidiFile::parse({data, size}));
    } catch (const EMidiFileError &) {
    }
    return 0;
}
