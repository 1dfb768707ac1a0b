// Plays a song in real time through the player's own sequencer and the
// desktop's audio output, polling Mode and Position every millisecond the
// way the player's timer does. Prints the CPU time the process used.
//   bench_device_realtime [--soundfont SF2] [--period FRAMES] [--poll MS] FILE SECONDS
#include "device/fluidsequencer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <sys/resource.h>

int main(int argc, char **argv)
{
    FluidSequencer::Options options;
    int pollMs = 1;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        if (std::strcmp(argv[arg], "--soundfont") == 0)
            options.soundFont = argv[arg + 1];
        else if (std::strcmp(argv[arg], "--period") == 0)
            options.periodSize = std::atoi(argv[arg + 1]);
        else if (std::strcmp(argv[arg], "--poll") == 0)
            pollMs = std::max(1, std::atoi(argv[arg + 1]));
    }
    if (argc - arg != 2) {
        std::fputs("usage: bench_device_realtime [--soundfont SF2] [--period FRAMES] [--poll MS] FILE SECONDS\n", stderr);
        return 2;
    }
    const double seconds = std::atof(argv[arg + 1]);

    FluidSequencer sequencer(options);
    const QString error = sequencer.open(QByteArray(argv[arg]));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", argv[arg], error.toLocal8Bit().constData());
        return 1;
    }
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    sequencer.play();
    long polls = 0;
    long checksum = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        checksum += int(sequencer.mode()) + sequencer.position();
        ++polls;
        if (sequencer.mode() == TPlayerMode::pmStopped)
            sequencer.play(); // keep something playing for the whole run
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const rusage &r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    std::printf("played %.2f s, position %d ms, %ld polls, cpu %.3f s (%.2f%% of one core)%s\n", wall,
                sequencer.position(), polls, cpu(after) - cpu(before), 100 * (cpu(after) - cpu(before)) / wall,
                checksum < 0 ? "!" : "");
    return 0;
}
