// libFuzzer entry for the MIDI file reader and the tempo map.
#include "device/midifile.h"
#include "device/song.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string error;
    const auto file = MidiFile::parse({data, size}, &error);
    if (file)
        (void)Song::fromFile(*file, &error);
    return 0;
}
