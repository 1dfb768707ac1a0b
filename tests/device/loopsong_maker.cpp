// Writes the song with a marked loop that the quavette-midi test plays: a
// note before the loop, one through it (1 s to 2 s), and one after it that
// only plays with loops off; 3 s long.
//   device_loopsong_maker OUT.mid
#include "smfbuilder.h"

#include <string>

namespace {

void Marker(TrackBuilder &t, std::uint32_t delta, const std::string &text)
{
    t.at(delta, {0xFF, 0x06, std::uint8_t(text.size())});
    t.data.insert(t.data.end(), text.begin(), text.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    // 500 ticks a quarter at 120 beats a minute: a tick is a millisecond.
    TrackBuilder t;
    t.tempo(0, 500000).at(0, {0x90, 60, 100}).at(400, {0x80, 60, 0});
    Marker(t, 600, "loopStart");
    t.at(0, {0x90, 66, 100}).at(1000, {0x80, 66, 0});
    Marker(t, 0, "loopEnd");
    t.at(0, {0x90, 75, 100}).at(400, {0x80, 75, 0}).end(600);
    return WriteFile(QString::fromLocal8Bit(argv[1]), Smf(0, 500, {t})) ? 0 : 1;
}
