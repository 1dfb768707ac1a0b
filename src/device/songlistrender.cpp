#include "device/songlistrender.h"

#include "device/fluidsequencer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int Block = 4096;
// After the last song's end, how long released notes and reverb may ring
// out, and how quiet counts as silence.
constexpr int MaxTailSeconds = 10;
constexpr float SilencePeak = 1.0f / 32768;

} // namespace

bool RenderSongList(FluidSequencer &sequencer, const std::vector<QByteArray> &paths, const RenderSink &sink)
{
    if (paths.empty())
        return true;
    std::vector<float> left(Block), right(Block);
    for (std::size_t song = 0; song < paths.size(); ++song) {
        try {
            sequencer.open(paths[song]);
        } catch (const EDeviceError &e) {
            throw ESongRefused(song, e.what());
        }
        sequencer.play();
        // Blocks end on the song's last frame, so that the next song starts
        // exactly there.
        while (sequencer.mode() == TPlayerMode::pmPlaying) {
            const int frames = int(std::clamp<std::int64_t>(sequencer.framesToEnd(), 1, Block));
            sequencer.render(frames, left.data(), right.data());
            if (!sink(song, left.data(), right.data(), frames))
                return false;
        }
    }
    const int rate = sequencer.sampleRate();
    int quietFrames = 0;
    for (int tail = 0; quietFrames < rate / 10 && tail < MaxTailSeconds * rate; tail += Block) {
        sequencer.render(Block, left.data(), right.data());
        float peak = 0;
        for (int i = 0; i < Block; ++i)
            peak = std::max({peak, std::fabs(left[std::size_t(i)]), std::fabs(right[std::size_t(i)])});
        quietFrames = peak < SilencePeak ? quietFrames + Block : 0;
        if (!sink(paths.size() - 1, left.data(), right.data(), Block))
            return false;
    }
    return true;
}
