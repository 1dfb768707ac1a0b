// Choosing a SoundFont while a song plays: a thread renders audio in 512-frame
// callbacks paced in real time, as an output would, and another polls the
// status and gives a no-op command every 16 ms, as the window's timer and a
// person would, while the sequencer loads the new font and moves the song to
// it. Prints how long the choice took to be heard, the longest callback and
// the longest status query and command meanwhile, and the resident memory
// before and after (the old font's samples are given back).
//   bench_device_soundfont_swap [FROM.sf2 [TO.sf2 [SONG]]]
#include "device/fluidsequencer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double residentMb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

} // namespace

int main(int argc, char **argv)
{
    const QByteArray from = argc > 1 ? argv[1] : "/usr/share/sounds/sf2/TimGM6mb.sf2";
    const QByteArray to = argc > 2 ? argv[2] : "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    const QByteArray song = argc > 3 ? argv[3] : QUAVETTE_BENCH_DATA "/midi/tonejs__concerto_for_orchestra_1.mid";

    FluidSequencer::Options options;
    options.renderToMemory = true;
    options.soundFont = from;
    FluidSequencer seq(options);
    try {
        seq.open(song);
    } catch (const EDeviceError &e) {
        std::fprintf(stderr, "%s: %s\n", song.constData(), e.what());
        return 1;
    }
    seq.seek(60000);
    seq.play();

    std::atomic<bool> done{false};
    double longestCallback = 0;
    std::thread audio([&] {
        constexpr int Frames = 512;
        std::vector<float> l(Frames), r(Frames);
        const auto period = std::chrono::microseconds(Frames * 1000000LL / seq.sampleRate());
        auto next = Clock::now();
        while (!done) {
            const auto t = Clock::now();
            seq.render(Frames, l.data(), r.data());
            longestCallback = std::max(longestCallback, msSince(t));
            next += period;
            std::this_thread::sleep_until(next);
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const double residentBefore = residentMb();
    std::promise<QString> answer;
    const auto chosen = Clock::now();
    seq.setSoundFont(to, [&](const QString &error) { answer.set_value(error); });
    std::future<QString> result = answer.get_future();
    double longestQuery = 0, longestCommand = 0;
    while (result.wait_for(std::chrono::milliseconds(16)) != std::future_status::ready) {
        auto t = Clock::now();
        (void)seq.mode();
        (void)seq.position();
        longestQuery = std::max(longestQuery, msSince(t));
        t = Clock::now();
        seq.play(); // playing already: nothing but the command's locks
        longestCommand = std::max(longestCommand, msSince(t));
    }
    const double swapMs = msSince(chosen);
    const QString error = result.get();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    done = true;
    audio.join();
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", to.constData(), error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s -> %s while playing %s\n", from.constData(), to.constData(), song.constData());
    std::printf("chosen to heard:        %8.1f ms\n", swapMs);
    std::printf("longest audio callback: %8.2f ms (period %.1f ms)\n", longestCallback, 512 * 1000.0 / seq.sampleRate());
    std::printf("longest status query:   %8.3f ms\n", longestQuery);
    std::printf("longest command:        %8.2f ms\n", longestCommand);
    std::printf("resident memory:        %8.1f MB before, %.1f MB after\n", residentBefore, residentMb());
    return 0;
}
