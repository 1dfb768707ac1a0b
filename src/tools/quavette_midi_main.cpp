// quavette-midi: checks MIDI files and renders them to WAV with the player's
// own reader and sequencer, and with the player's SoundFont: the song's own
// beside it, else the one chosen in the player, else the discovery list's.
// info and render play songs' loops as the player is set to, unless told
// otherwise.
//   quavette-midi info [--loops|--no-loops] FILE...
//   quavette-midi render [--soundfont SF2] [--loops|--no-loops] FILE... OUT.wav
//   quavette-midi lyrics FILE
#include "core/settingsstore.h"
#include "device/fluidsequencer.h"
#include "device/lyrics.h"
#include "device/song.h"
#include "device/songlistrender.h"
#include "device/soundfontcache.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fputs("usage: quavette-midi info [--loops|--no-loops] FILE...\n"
               "           (FILE, ok, length ms, format, tracks, SoundFont, convention, loop start ms, loop end ms)\n"
               "       quavette-midi render [--soundfont SF2] [--loops|--no-loops] FILE... OUT.wav\n"
               "       quavette-midi lyrics FILE   (one line per lyrics line: ms, text)\n"
               "  --loops, --no-loops: play songs' loops (intro, the loop twice, then fading out), or not;\n"
               "                       by default as the player's Play loops option is set\n",
               stderr);
    return 2;
}

// The player's "Play loops" option.
bool storedPlayLoops()
{
    int stored = Settings::PlayLoops.defaultValue;
    ParseSettingInt(PeekTextSetting(Settings::PlayLoops), stored);
    return stored != 0;
}

// Takes --loops and --no-loops off the front of the arguments; the last says.
void takeLoopOptions(int &argc, char **&argv, bool &loops)
{
    while (argc > 0 && (std::strcmp(argv[0], "--loops") == 0 || std::strcmp(argv[0], "--no-loops") == 0)) {
        loops = std::strcmp(argv[0], "--loops") == 0;
        --argc;
        ++argv;
    }
}

std::string loopMs(const std::optional<Song::Loop> &loop, bool end)
{
    if (!loop)
        return "-";
    return std::to_string(((end ? loop->second : loop->first) + 500) / 1000);
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
    bool loops = storedPlayLoops();
    takeLoopOptions(argc, argv, loops);
    if (argc < 1)
        return usage();
    const QByteArray chosen = chosenSoundFont();
    const std::string font = chosen.isEmpty() ? SoundFontCache::defaultPath() : chosen.toStdString();
    bool allRead = true;
    for (int i = 0; i < argc; ++i) {
        try {
            const Song song = Song::load(argv[i]);
            const std::string own = SoundFontCache::songSoundFont(argv[i]);
            std::printf("%s\tok\t%d\t%d\t%d\t%s\t%s\t%s\t%s\n", argv[i], song.playLengthMs(loops), song.format(),
                        song.trackCount(), own.empty() ? font.c_str() : own.c_str(),
                        conventionName(song.style().convention), loopMs(song.loopUs(), false).c_str(),
                        loopMs(song.loopUs(), true).c_str());
        } catch (const EMidiFileError &e) {
            std::printf("%s\terror\t%s\n", argv[i], e.what());
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
    bool loops = storedPlayLoops();
    takeLoopOptions(argc, argv, loops);
    if (argc >= 2 && std::strcmp(argv[0], "--soundfont") == 0) {
        soundFont = argv[1];
        argc -= 2;
        argv += 2;
        takeLoopOptions(argc, argv, loops);
    }
    if (argc < 2)
        return usage();
    const char *outPath = argv[argc - 1];
    std::vector<QByteArray> songs(argv, argv + argc - 1);

    FluidSequencer::Options options;
    options.renderToMemory = true;
    options.playLoops = loops;
    // A SoundFont named here plays every song, whatever they have beside them.
    options.songSoundFonts = soundFont.isEmpty();
    options.soundFont = soundFont.isEmpty() ? chosenSoundFont() : soundFont;
    // Every song is read before the file is made, so that a bad one in the
    // list leaves no half-made WAV file behind.
    for (const QByteArray &path : songs) {
        try {
            Song::load(path.toStdString());
        } catch (const EMidiFileError &e) {
            std::fprintf(stderr, "%s: %s\n", path.constData(), e.what());
            return 1;
        }
    }
    FluidSequencer sequencer(options);
    FILE *out = std::fopen(outPath, "wb");
    if (!out) {
        std::fprintf(stderr, "%s: %s\n", outPath, std::strerror(errno));
        return 1;
    }
    const int rate = sequencer.sampleRate();
    std::vector<unsigned char> header = wavHeader(rate, 0);
    std::fwrite(header.data(), 1, header.size(), out);

    std::vector<std::int16_t> pcm;
    std::uint64_t dataBytes = 0;
    bool tooLong = false;
    const auto write = [&](std::size_t, const float *left, const float *right, int frames) {
        pcm.resize(2 * std::size_t(frames));
        for (std::size_t i = 0; i < std::size_t(frames); ++i) {
            pcm[2 * i] = std::int16_t(std::lrint(std::clamp(left[i], -1.0f, 1.0f) * 32767));
            pcm[2 * i + 1] = std::int16_t(std::lrint(std::clamp(right[i], -1.0f, 1.0f) * 32767));
        }
        if (dataBytes + pcm.size() * 2 > 0xFFFFFFFFu - 36) {
            tooLong = true;
            return false;
        }
        if (std::fwrite(pcm.data(), 2, pcm.size(), out) != pcm.size())
            return false;
        dataBytes += pcm.size() * 2;
        return true;
    };
    std::optional<ESongRefused> refused;
    bool ok = false;
    try {
        ok = RenderSongList(sequencer, songs, write);
    } catch (const ESongRefused &e) {
        refused = e;
    }
    header = wavHeader(rate, std::uint32_t(dataBytes));
    ok = ok && std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
    ok = std::fclose(out) == 0 && ok;
    if (refused) {
        std::fprintf(stderr, "%s: %s\n", songs[refused->song()].constData(), refused->what());
        std::remove(outPath);
    } else if (tooLong) {
        std::fprintf(stderr, "%s: the songs are too long for a WAV file\n", outPath);
    } else if (!ok) {
        std::fprintf(stderr, "%s: the WAV file could not be written\n", outPath);
    }
    return ok ? 0 : 1;
}

// The words as the lyrics window shows them: each line with the time its
// first syllable is sung.
int lyrics(int argc, char **argv)
{
    if (argc != 1)
        return usage();
    try {
        const Lyrics words = Lyrics::load(argv[0]);
        for (const LyricLine &line : words.lines())
            std::printf("%d\t%s\n", line.ms, line.text().c_str());
    } catch (const EMidiFileError &e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
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
    if (std::strcmp(argv[1], "lyrics") == 0)
        return lyrics(argc - 2, argv + 2);
    return usage();
}
