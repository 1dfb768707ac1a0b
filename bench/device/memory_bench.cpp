// Memory and time to load songs of millions of events, in every dense
// layout: the peak of resident memory while Song::load runs and what the
// song keeps, as multiples of the file's size; and the same for opening it
// on the sequencer, the way the player does. Each song is loaded in a fresh
// child process, so that one song's peak does not hide the next one's.
//   bench_device_memory [--soundfont SF2]
#include "device/fluidsequencer.h"
#include "device/song.h"
#include "hostilesongs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long statusKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(std::strlen(key)));
    return -1;
}

// Gives back what earlier allocations left resident, so that the figures
// count only pages the load itself takes.
bool resetPeak()
{
    malloc_trim(0);
    std::ofstream clear("/proc/self/clear_refs");
    return bool(clear << "5" << std::flush);
}

double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Figures {
    double loadMs = 0;
    double loadCpuMs = 0;
    long long events = 0;
    long long peakKb = 0;
    long long openPeakKb = 0;
    long long openKeptKb = 0;
    int lengthMs = 0;
};

Figures measure(const std::string &path, const QByteArray &soundFont)
{
    Figures f;
    {
        resetPeak();
        const long long before = statusKb("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuMs();
        std::optional<Song> song;
        std::string error;
        try {
            song = Song::load(path);
        } catch (const EMidiFileError &e) {
            error = e.what();
        }
        f.loadCpuMs = cpuMs() - cpuStart;
        f.loadMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        f.peakKb = statusKb("VmHWM:") - before;
        if (!song) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return f;
        }
        f.events = (long long)song->eventCount();
        f.lengthMs = song->lengthMs();
    }
    FluidSequencer::Options options;
    options.renderToMemory = true;
    options.soundFont = soundFont;
    FluidSequencer sequencer(options);
    hostile::File warmUp(0, 96);
    warmUp.track({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
    const std::string small = path + ".small";
    std::rename(hostile::write(warmUp).c_str(), small.c_str());
    sequencer.open(QByteArray::fromStdString(small)); // starts the synthesiser and loads the font
    std::remove(small.c_str());
    sequencer.close();
    resetPeak();
    const long long before = statusKb("VmRSS:");
    sequencer.open(QByteArray::fromStdString(path));
    f.openPeakKb = statusKb("VmHWM:") - before;
    malloc_trim(0);
    f.openKeptKb = std::max(0LL, statusKb("VmRSS:") - before);
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QByteArray soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (argc == 3 && std::strcmp(argv[1], "--soundfont") == 0)
        soundFont = argv[2];
    if (!resetPeak()) {
        std::fputs("/proc/self/clear_refs cannot reset the peak of resident memory here\n", stderr);
        return 1;
    }
    std::printf("%-42s %8s %10s %13s | %-17s | %-17s | %s\n", "layout", "file MB", "events", "load ms (cpu)",
                "load: peak (×)", "open: peak (×)", "kept by player (×)");
    for (const hostile::Layout &layout : hostile::layouts()) {
        const std::string path = hostile::write(layout.make());
        const double fileKb = double(std::ifstream(path, std::ios::ate | std::ios::binary).tellg()) / 1024;
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return 1;
        const pid_t child = fork();
        if (child == 0) {
            close(pipeFds[0]);
            const Figures f = measure(path, soundFont);
            const ssize_t n = write(pipeFds[1], &f, sizeof f);
            _exit(n == sizeof f ? 0 : 1);
        }
        close(pipeFds[1]);
        Figures f;
        const bool ok = read(pipeFds[0], &f, sizeof f) == sizeof f;
        close(pipeFds[0]);
        waitpid(child, nullptr, 0);
        std::remove(path.c_str());
        if (!ok) {
            std::printf("%-42s failed\n", layout.name);
            continue;
        }
        std::printf("%-42s %8.2f %10lld %6.0f (%4.0f) | %7.1f MB (%4.2f) | %7.1f MB (%4.2f) | %7.1f MB (%4.2f)\n",
                    layout.name, fileKb / 1024, f.events, f.loadMs, f.loadCpuMs, f.peakKb / 1024.0, f.peakKb / fileKb, f.openPeakKb / 1024.0,
                    f.openPeakKb / fileKb, f.openKeptKb / 1024.0, f.openKeptKb / fileKb);
        std::fflush(stdout);
    }
    return 0;
}
