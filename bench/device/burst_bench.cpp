// Bursts of events at one instant, the songs of an attack on the player:
// how much CPU one audio callback of 512 frames takes while the burst plays, over how many callbacks the burst is spread (how far the song's
// time stretches), and how long Stop, Seek and Close wait for the audio side
// when issued in the middle of it, with callbacks paced as a sound card
// paces them.
//   bench_device_burst [--soundfont SF2]
#include "device/fluidsequencer.h"
#include "hostilesongs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Period = 512;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: what a callback costs, whatever else the machine
// runs meanwhile.
double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Burst {
    const char *name;
    hostile::Bytes track;
};

std::vector<Burst> bursts()
{
    using hostile::Bytes;
    const auto withNote = [](Bytes t) {
        t.insert(t.end(), {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
        return t;
    };
    std::vector<Burst> out;
    Bytes resets;
    for (int i = 0; i < 100000; ++i)
        hostile::append(resets, hostile::GmReset);
    out.push_back({"100,000 GM resets (800 KB)", withNote(resets)});
    Bytes programs{0x00, 0xC0, 5};
    while (programs.size() < 16u * 1024 * 1024 - 64)
        programs.insert(programs.end(), {0x00, 5});
    out.push_back({"8.4 million program changes (16 MB)", withNote(programs)});
    Bytes mixed;
    for (int i = 0; i < 20000; ++i) {
        hostile::append(mixed, hostile::GmReset);
        mixed.insert(mixed.end(), {0x00, 0xC0, std::uint8_t(i % 128)});
    }
    out.push_back({"20,000 × (GM reset, program change)", withNote(mixed)});
    Bytes notes{0x00, 0x90, 60, 100};
    for (int i = 1; i < 200000; ++i)
        notes.insert(notes.end(), {0x00, std::uint8_t(i % 128), 100});
    out.push_back({"200,000 note-ons", withNote(notes)});
    return out;
}

// Renders back to back until the burst is over: callbacks and their cost.
void spread(FluidSequencer &seq)
{
    std::vector<float> l(Period), r(Period);
    seq.play();
    std::vector<double> took;
    const double start = threadCpuMs();
    while (seq.position() == 0 && took.size() < 1000000) {
        const double t = threadCpuMs();
        seq.render(Period, l.data(), r.data());
        took.push_back(threadCpuMs() - t);
    }
    const double work = threadCpuMs() - start;
    std::sort(took.begin(), took.end());
    std::printf("  burst over %6zu callbacks (the song stretched by %7.0f ms), %7.0f ms of CPU;"
                " CPU a callback: median %5.2f ms, 99%% %5.2f ms, longest %5.2f ms\n",
                took.size(), double(took.size()) * Period * 1000.0 / seq.sampleRate(), work, took[took.size() / 2],
                took[took.size() * 99 / 100], took.back());
}

// A paced audio thread; `run` issued from this thread 100 ms into the
// burst: how long it took.
void command(FluidSequencer &seq, const char *name, const std::function<void()> &run)
{
    seq.seek(0);
    seq.play();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> l(Period), r(Period);
        const auto period = std::chrono::duration<double>(double(Period) / seq.sampleRate());
        auto next = Clock::now();
        while (!done) {
            seq.render(Period, l.data(), r.data());
            next += std::chrono::duration_cast<Clock::duration>(period);
            std::this_thread::sleep_until(next);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto t = Clock::now();
    run();
    const double waited = msSince(t);
    done = true;
    audio.join();
    std::printf("  %-26s waited %6.2f ms\n", name, waited);
}

} // namespace

int main(int argc, char **argv)
{
    FluidSequencer::Options options;
    options.renderToMemory = true;
    options.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (argc == 3 && std::strcmp(argv[1], "--soundfont") == 0)
        options.soundFont = argv[2];
    std::printf("callbacks of %d frames (%.1f ms)\n", Period, Period * 1000.0 / 44100);
    for (const Burst &burst : bursts()) {
        hostile::File file(0, 96);
        file.track(burst.track);
        const std::string path = hostile::write(file);
        FluidSequencer seq(options);
        try {
            seq.open(QByteArray::fromStdString(path));
        } catch (const EDeviceError &e) {
            std::printf("%s: %s\n", burst.name, e.what());
            continue;
        }
        std::printf("%s\n", burst.name);
        spread(seq);
        command(seq, "Stop", [&] { seq.stop(); });
        command(seq, "Pause", [&] { seq.pause(); });
        command(seq, "Seek", [&] { seq.seek(0); });
        // Play past the burst chases the whole of it, on the GUI thread.
        command(seq, "Seek past the burst, Play", [&] { seq.seek(seq.length() / 2); seq.play(); });
        command(seq, "Close", [&] { seq.close(); });
        std::remove(path.c_str());
    }
    return 0;
}
