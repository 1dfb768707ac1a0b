// Plays songs in real time through the player's own sequencer and the
// desktop's audio output, as the program does but without its window: one
// song after another, the next started as soon as the sequencer reports the
// end of the last, and, with --poll, Mode and Position read every POLL ms the
// way a GUI timer would. Commands on standard input, one per line: play,
// pause, stop, next, quit. Prints the CPU time it used when it ends.
//   bench_device_realtime [--soundfont SF2] [--latency FRAMES] [--period FRAMES]
//                         [--poll MS] [--seconds S] FILE...
#include "device/fluidsequencer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

int usage()
{
    std::fputs("usage: bench_device_realtime [--soundfont SF2] [--latency FRAMES] [--period FRAMES] [--poll MS] "
               "[--seconds S] FILE...\n",
               stderr);
    return 2;
}

double cpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    FluidSequencer::Options options;
    int pollMs = 0;
    double seconds = 0;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == '-'; arg += 2) {
        const std::string name = argv[arg];
        if (name == "--soundfont")
            options.soundFont = argv[arg + 1];
        else if (name == "--period")
            options.periodSize = std::atoi(argv[arg + 1]);
        else if (name == "--latency")
            options.latencyFrames = std::atoi(argv[arg + 1]);
        else if (name == "--poll")
            pollMs = std::max(0, std::atoi(argv[arg + 1]));
        else if (name == "--seconds")
            seconds = std::atof(argv[arg + 1]);
        else
            return usage();
    }
    std::vector<QByteArray> songs;
    for (; arg < argc; ++arg)
        songs.emplace_back(argv[arg]);
    if (songs.empty())
        return usage();

    // The end of a song wakes the main thread through a pipe, as the queued
    // call wakes the program's GUI thread.
    int wake[2];
    if (pipe(wake) != 0)
        return 1;
    FluidSequencer sequencer(options);
    sequencer.setSongEndHandler([&] { (void)!write(wake[1], "e", 1); });
    std::size_t current = 0;
    const auto start = [&](std::size_t index) {
        current = index % songs.size();
        try {
            sequencer.open(songs[current]);
        } catch (const EDeviceError &e) {
            std::fprintf(stderr, "%s: %s\n", songs[current].constData(), e.what());
            return false;
        }
        return sequencer.play();
    };
    if (!start(0))
        return 1;

    const double cpuBefore = cpuSeconds();
    const auto begin = std::chrono::steady_clock::now();
    long polls = 0;
    long checksum = 0;
    std::string line;
    bool quit = false;
    bool input = true;
    while (!quit) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (seconds > 0 && elapsed >= seconds)
            break;
        int timeout = pollMs > 0 ? pollMs : -1;
        if (seconds > 0)
            timeout = timeout < 0 ? int((seconds - elapsed) * 1000) + 1 : std::min(timeout, int((seconds - elapsed) * 1000) + 1);
        pollfd fds[2] = {{input ? STDIN_FILENO : -1, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0)
            break;
        if (pollMs > 0) {
            checksum += int(sequencer.mode()) + sequencer.position();
            ++polls;
        }
        if (fds[1].revents & POLLIN) {
            char c;
            (void)!read(wake[0], &c, 1);
            if (sequencer.mode() == TPlayerMode::pmStopped)
                start(current + 1);
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buffer[256];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                input = false;
                if (seconds <= 0)
                    break;
                continue;
            }
            line.append(buffer, std::size_t(n));
            for (std::size_t eol; (eol = line.find('\n')) != std::string::npos; line.erase(0, eol + 1)) {
                const std::string command = line.substr(0, eol);
                // As the program does: Stop closes the song, Play opens it
                // again, Next is Stop and Play of the next song.
                if (command == "play" && sequencer.mode() == TPlayerMode::pmPaused)
                    sequencer.resume();
                else if (command == "play" && sequencer.mode() == TPlayerMode::pmNotReady)
                    start(current);
                else if (command == "pause")
                    sequencer.pause();
                else if (command == "stop" || command == "next") {
                    sequencer.stop();
                    sequencer.close();
                    if (command == "next")
                        start(current + 1);
                } else if (command == "quit")
                    quit = true;
            }
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("played %.2f s, position %d ms, %ld polls, cpu %.3f s (%.2f%% of one core)%s\n", wall,
                sequencer.position(), polls, cpu, 100 * cpu / wall, checksum < 0 ? "!" : "");
    return 0;
}
