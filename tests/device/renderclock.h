// Drives a real FluidSequencer without a sound card: time passes only as the
// test renders audio into memory, which it can then inspect.
#pragma once

#include "device/fluidsequencer.h"

#include <cmath>
#include <memory>
#include <vector>

// The small General MIDI font keeps each test process's load short; the
// player's own discovery list is exercised by the tool and the benchmarks.
inline const char *const TestSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Silence as a sound card would hear it: below one step of 16-bit audio.
constexpr double SilentRms = 1.0 / 32768;

inline FluidSequencer::Options RenderOptions(const char *soundFont = TestSoundFont)
{
    FluidSequencer::Options o;
    o.renderToMemory = true;
    o.soundFont = soundFont;
    return o;
}

class RenderClock
{
public:
    explicit RenderClock(FluidSequencer *sequencer) : seq(sequencer) {}

    // Renders `frames` frames in blocks of `block`; keeps the left+right mix.
    std::vector<float> renderFrames(long frames, int block = 512)
    {
        std::vector<float> mix;
        mix.reserve(std::size_t(frames));
        std::vector<float> l(static_cast<std::size_t>(block)), r(static_cast<std::size_t>(block));
        while (frames > 0) {
            const int n = int(std::min<long>(block, frames));
            seq->render(n, l.data(), r.data());
            for (int i = 0; i < n; ++i)
                mix.push_back(0.5f * (l[std::size_t(i)] + r[std::size_t(i)]));
            frames -= n;
        }
        return mix;
    }
    std::vector<float> renderMs(int ms, int block = 512)
    {
        return renderFrames(long(ms) * seq->sampleRate() / 1000, block);
    }

    static double rms(const std::vector<float> &s, std::size_t from = 0, std::size_t to = SIZE_MAX)
    {
        to = std::min(to, s.size());
        if (from >= to)
            return 0;
        double sum = 0;
        for (std::size_t i = from; i < to; ++i)
            sum += double(s[i]) * s[i];
        return std::sqrt(sum / double(to - from));
    }
    // RMS of the last `ms` milliseconds of `s`.
    double tailRms(const std::vector<float> &s, int ms) const
    {
        const std::size_t n = std::size_t(ms) * std::size_t(seq->sampleRate()) / 1000;
        return rms(s, s.size() > n ? s.size() - n : 0);
    }

    FluidSequencer *seq;
};
