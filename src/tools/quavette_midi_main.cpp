// quavette-midi: checks MIDI files and renders them to WAV with the player's
// own reader and sequencer, and with the player's SoundFont: the song's own
// beside it, else the one chosen in the player, else the discovery list's.
//   quavette-midi info FILE...
//   quavette-midi render [--soundfont SF2] FILE OUT.wav
#include "core/settingsstore.h"
#include "device/fluidsequencer.h"
#include "device/song.h"
#include "device/soundfontcache.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

constexpr int Block = 4096;
// After the song's end, how long released notes and reverb may ring out, and
// how quiet counts as silence.
constexpr int MaxTailSeconds = 10;
constexpr float SilencePeak = 1.0f / 32768;

int usage()
{
    std::fputs("usage: quavette-midi info FILE...   (FILE, ok, length ms, format, tracks, SoundFont)\n"
               "       quavette-midi render [--soundfont SF2] FILE OUT.wav\n",
               stderr);
    return 2;
}

// The SoundFont chosen in the player, when it can be read; as the player
// does, one that cannot is named once and the discovery list is used.
QByteArray chosenSoundFont()
{
    const QByteArray path = QFile::encodeName(PeekTextSetting(Settings::SoundFont));
    if (path.isEmpty())
        return {};
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const char *problem = fd < 0 ? std::strerror(errno) : nullptr;
    struct stat info {};
    if (fd >= 0 && !(::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)))
        problem = "It is not a file.";
    if (fd >= 0)
        ::close(fd);
    if (!problem)
        return path;
    std::fprintf(stderr, "quavette-midi: the SoundFont %s cannot be used (%s); the default SoundFont is used\n",
                 path.constData(), problem);
    return {};
}

int info(int argc, char **argv)
{
    if (argc < 1)
        return usage();
    const QByteArray chosen = chosenSoundFont();
    const std::string font = chosen.isEmpty() ? SoundFontCache::defaultPath() : chosen.toStdString();
    bool allRead = true;
    for (int i = 0; i < argc; ++i) {
        std::string error;
        const auto song = Song::load(argv[i], &error);
        if (song) {
            const std::string own = SoundFontCache::songSoundFont(argv[i]);
            std::printf("%s\tok\t%d\t%d\t%d\t%s\n", argv[i], song->lengthMs(), song->format(), song->trackCount(),
                        own.empty() ? font.c_str() : own.c_str());
        } else {
            std::printf("%s\terror\t%s\n", argv[i], error.c_str());
            allRead = false;
        }
    }
    return allRead ? 0 : 1;
}

void putLe(std::vector<unsigned char> &out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::vector<unsigned char> wavHeader(int rate, std::uint32_t dataBytes)
{
    std::vector<unsigned char> h;
    const auto tag = [&](const char *s) { h.insert(h.end(), s, s + 4); };
    tag("RIFF");
    putLe(h, 36 + dataBytes, 4);
    tag("WAVE");
    tag("fmt ");
    putLe(h, 16, 4);
    putLe(h, 1, 2); // PCM
    putLe(h, 2, 2); // stereo
    putLe(h, std::uint32_t(rate), 4);
    putLe(h, std::uint32_t(rate) * 4, 4);
    putLe(h, 4, 2);
    putLe(h, 16, 2);
    tag("data");
    putLe(h, dataBytes, 4);
    return h;
}

int render(int argc, char **argv)
{
    QByteArray soundFont;
    if (argc >= 2 && std::strcmp(argv[0], "--soundfont") == 0) {
        soundFont = argv[1];
        argc -= 2;
        argv += 2;
    }
    if (argc != 2)
        return usage();

    FluidSequencer::Options options;
    options.renderToMemory = true;
    // A SoundFont named here plays the song, whatever the song has beside it.
    options.songSoundFonts = soundFont.isEmpty();
    options.soundFont = soundFont.isEmpty() ? chosenSoundFont() : soundFont;
    FluidSequencer sequencer(options);
    const QString error = sequencer.open(QByteArray(argv[0]));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.toLocal8Bit().constData());
        return 1;
    }
    FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const int rate = sequencer.sampleRate();
    std::vector<unsigned char> header = wavHeader(rate, 0);
    std::fwrite(header.data(), 1, header.size(), out);

    std::vector<float> left(Block), right(Block);
    std::vector<std::int16_t> pcm(2 * Block);
    std::uint64_t dataBytes = 0;
    int quietFrames = 0;
    int tailFrames = 0;
    bool ok = true;
    sequencer.play();
    for (;;) {
        const bool playing = sequencer.mode() == TPlayerMode::pmPlaying;
        if (!playing && (quietFrames >= rate / 10 || tailFrames >= MaxTailSeconds * rate))
            break;
        sequencer.render(Block, left.data(), right.data());
        float peak = 0;
        for (int i = 0; i < Block; ++i) {
            peak = std::max({peak, std::fabs(left[std::size_t(i)]), std::fabs(right[std::size_t(i)])});
            pcm[std::size_t(2 * i)] = std::int16_t(std::lrint(std::clamp(left[std::size_t(i)], -1.0f, 1.0f) * 32767));
            pcm[std::size_t(2 * i + 1)] = std::int16_t(std::lrint(std::clamp(right[std::size_t(i)], -1.0f, 1.0f) * 32767));
        }
        if (!playing) {
            tailFrames += Block;
            quietFrames = peak < SilencePeak ? quietFrames + Block : 0;
        }
        if (dataBytes + pcm.size() * 2 > 0xFFFFFFFFu - 36) {
            std::fprintf(stderr, "%s: the song is too long for a WAV file\n", argv[0]);
            ok = false;
            break;
        }
        if (std::fwrite(pcm.data(), 2, pcm.size(), out) != pcm.size()) {
            ok = false;
            break;
        }
        dataBytes += pcm.size() * 2;
    }
    header = wavHeader(rate, std::uint32_t(dataBytes));
    ok = ok && std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "%s: the WAV file could not be written\n", argv[1]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    if (std::strcmp(argv[1], "info") == 0)
        return info(argc - 2, argv + 2);
    if (std::strcmp(argv[1], "render") == 0)
        return render(argc - 2, argv + 2);
    return usage();
}
