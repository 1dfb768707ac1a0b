// Cost of the status queries the player's 1 ms timer makes while a song
// plays: Position and Mode, on the sequencer and through TMediaPlayer.
#include "device/fluidsequencer.h"
#include "device/tmediaplayer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

const char *const Song = QUAVETTE_BENCH_DATA "/midi/tonejs__concerto_for_orchestra_1.mid";

// A song that plays while the benchmark runs: a thread renders audio without
// pause, taking the scheduler's lock as often as it can.
struct Playing {
    Playing()
    {
        FluidSequencer::Options options;
        options.renderToMemory = true;
        options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
        auto owned = std::make_unique<FluidSequencer>(options);
        sequencer = owned.get();
        player = std::make_unique<TMediaPlayer>(std::move(owned));
        player->FileName = Song;
        player->Open();
        player->Play();
        audio = std::thread([this] {
            std::vector<float> l(512), r(512);
            while (!quit) {
                sequencer->render(512, l.data(), r.data());
                if (sequencer->mode() != TPlayerMode::pmPlaying)
                    sequencer->play();
            }
        });
    }
    ~Playing()
    {
        quit = true;
        audio.join();
    }
    FluidSequencer *sequencer;
    std::unique_ptr<TMediaPlayer> player;
    std::atomic<bool> quit{false};
    std::thread audio;
};

Playing &playing()
{
    static Playing p;
    return p;
}

void BM_SequencerPositionAndMode(benchmark::State &state)
{
    ISequencer &s = *playing().sequencer;
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.position());
        benchmark::DoNotOptimize(s.mode());
    }
}
BENCHMARK(BM_SequencerPositionAndMode);

void BM_MediaPlayerPositionAndMode(benchmark::State &state)
{
    TMediaPlayer &p = *playing().player;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.Position());
        benchmark::DoNotOptimize(p.Mode());
    }
}
BENCHMARK(BM_MediaPlayerPositionAndMode);

// A whole timer tick's worth: Mode, three Position and two Length.
void BM_MediaPlayerTimerTick(benchmark::State &state)
{
    TMediaPlayer &p = *playing().player;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.Mode());
        benchmark::DoNotOptimize(p.Position() + p.Position() + p.Position());
        benchmark::DoNotOptimize(p.Length() + p.Length());
    }
}
BENCHMARK(BM_MediaPlayerTimerTick);

} // namespace

BENCHMARK_MAIN();
