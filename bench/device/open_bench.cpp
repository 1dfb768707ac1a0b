// Opening a large song: a generated 500 KB file with tens of thousands of
// tempo events, read and timed (Song::load) and opened on the sequencer;
// and the cost of a seek into its middle (chasing controllers) then Play.
#include "device/fluidsequencer.h"
#include "device/song.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void vlq(Bytes &out, unsigned v)
{
    unsigned char buf[4];
    int n = 0;
    buf[n++] = v & 0x7F;
    while (v >>= 7)
        buf[n++] = 0x80 | (v & 0x7F);
    while (n)
        out.push_back(buf[--n]);
}

void be(Bytes &out, unsigned v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back((v >> (8 * i)) & 0xFF);
}

void chunk(Bytes &file, const char *id, const Bytes &body)
{
    file.insert(file.end(), id, id + 4);
    be(file, unsigned(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
}

// Tempo track: 40,000 tempo changes, one every 12 ticks, drifting between
// 80 and 160 BPM. Music track: notes and controller sweeps on 16 channels.
std::string generate()
{
    Bytes tempo, music;
    for (int i = 0; i < 40000; ++i) {
        vlq(tempo, i == 0 ? 0 : 12);
        const unsigned us = 375000 + unsigned((i * 7919) % 375000);
        tempo.insert(tempo.end(), {0xFF, 0x51, 0x03});
        be(tempo, us, 3);
    }
    tempo.insert(tempo.end(), {0x00, 0xFF, 0x2F, 0x00});
    for (int i = 0; i < 24000; ++i) {
        const unsigned char ch = i % 16;
        vlq(music, 10);
        music.insert(music.end(), {static_cast<unsigned char>(0xB0 | ch), 7, static_cast<unsigned char>(i % 128)});
        vlq(music, 0);
        music.insert(music.end(), {static_cast<unsigned char>(0x90 | ch), static_cast<unsigned char>(40 + i % 40), 90});
        vlq(music, 10);
        music.insert(music.end(), {static_cast<unsigned char>(0x80 | ch), static_cast<unsigned char>(40 + i % 40), 0});
    }
    music.insert(music.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes file;
    Bytes header;
    be(header, 1, 2);
    be(header, 2, 2);
    be(header, 96, 2);
    chunk(file, "MThd", header);
    chunk(file, "MTrk", tempo);
    chunk(file, "MTrk", music);

    std::printf("generated file: %zu bytes\n", file.size());
    const std::string path = "/tmp/quavette-bench-" + std::to_string(getpid()) + ".mid";
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
}

const std::string &path()
{
    static const std::string p = generate();
    return p;
}

void BM_SongLoad(benchmark::State &state)
{
    for (auto _ : state) {
        auto song = Song::load(path());
        benchmark::DoNotOptimize(song);
    }
    const auto song = Song::load(path());
    state.counters["events"] = double(song.events().size());
    state.counters["length_ms"] = song.lengthMs();
}
BENCHMARK(BM_SongLoad)->Unit(benchmark::kMillisecond);

FluidSequencer &sequencer()
{
    static FluidSequencer s([] {
        FluidSequencer::Options o;
        o.renderToMemory = true;
        o.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
        return o;
    }());
    return s;
}

void BM_SequencerOpen(benchmark::State &state)
{
    FluidSequencer &s = sequencer();
    for (auto _ : state) {
        s.open(QByteArray::fromStdString(path()));
        benchmark::DoNotOptimize(s.length());
    }
}
BENCHMARK(BM_SequencerOpen)->Unit(benchmark::kMillisecond);

void BM_SeekToMiddleAndPlay(benchmark::State &state)
{
    FluidSequencer &s = sequencer();
    s.open(QByteArray::fromStdString(path()));
    for (auto _ : state) {
        s.seek(s.length() / 2);
        s.play();
    }
}
BENCHMARK(BM_SeekToMiddleAndPlay)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(path().c_str());
    return 0;
}
