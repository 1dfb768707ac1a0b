#include "device/fluidsequencer.h"

#include "device/driveroutput.h"
#include "device/pulseoutput.h"
#include "device/song.h"
#include "device/songplayer.h"
#include "device/soundfontcache.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::string toStd(const QByteArray &bytes)
{
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

std::string soundFontPath(const QByteArray &configured)
{
    return configured.isEmpty() ? SoundFontCache::defaultPath() : toStd(configured);
}

// Pause, Stop and the like fade out over this long: short enough to be heard
// as immediate, long enough not to click.
constexpr int FadeMs = 10;

std::uint32_t steadyMs()
{
    using namespace std::chrono;
    return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class OutputLock
{
public:
    explicit OutputLock(AudioOutput *output) : m_output(output)
    {
        if (m_output)
            m_output->lock();
    }
    ~OutputLock()
    {
        if (m_output)
            m_output->unlock();
    }
    OutputLock(const OutputLock &) = delete;
    OutputLock &operator=(const OutputLock &) = delete;

private:
    AudioOutput *m_output;
};

} // namespace

FluidSequencer::FluidSequencer(Options options)
    : m_options(std::move(options))
{
}

FluidSequencer::~FluidSequencer()
{
    {
        std::lock_guard lock(m_loaderMutex);
        for (Loader &loader : m_loaders)
            loader.thread.join();
    }
    close();
    if (outputOpen()) // let the fade out be heard before the stream goes
        std::this_thread::sleep_for(std::chrono::milliseconds(4 * FadeMs));
    m_output.reset();
    m_player.reset();
    if (m_synth) {
        // The font belongs to the process-wide cache, not to this synthesiser.
        dropSynth(m_synth, m_sfont);
    }
    if (m_settings)
        delete_fluid_settings(m_settings);
}

fluid_synth_t *FluidSequencer::newSynth(fluid_sfont_t *sfont, int *sfontId)
{
    if (!m_settings) {
        m_settings = new_fluid_settings();
        if (!m_settings)
            return nullptr;
        fluid_settings_setnum(m_settings, "synth.sample-rate", m_options.sampleRate);
        fluid_settings_setint(m_settings, "synth.midi-channels", SongPlayer::SynthChannels);
        // SongPlayer serialises every call into the synthesiser itself.
        fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
        fluid_settings_setint(m_settings, "synth.lock-memory", 0);
    }
    fluid_synth_t *synth = new_fluid_synth(m_settings);
    if (!synth)
        return nullptr;
    // No instrument until a song chooses one: each costs its samples. Unset
    // before the font comes, which would otherwise give every channel its
    // power-on instrument, and load those samples, only to drop them.
    for (int ch = 0; ch < SongPlayer::SynthChannels; ++ch)
        fluid_synth_unset_program(synth, ch);
    *sfontId = fluid_synth_add_sfont(synth, sfont);
    SoundFontCache::instance().retain(sfont);
    return synth;
}

void FluidSequencer::dropSynth(fluid_synth_t *synth, fluid_sfont_t *sfont)
{
    if (sfont)
        fluid_synth_remove_sfont(synth, sfont);
    delete_fluid_synth(synth);
    if (sfont)
        SoundFontCache::instance().release(sfont);
}

void FluidSequencer::setFontInUse(const std::string &fontPath)
{
    std::lock_guard lock(m_fontNameMutex);
    m_fontInUse = fontPath;
}

// With m_engineMutex held.
void FluidSequencer::startEngine(const std::string &fontPath)
{
    fluid_sfont_t *sfont = SoundFontCache::instance().acquire(fontPath);
    if (!m_synth) {
        int sfontId = 0;
        m_synth = newSynth(sfont, &sfontId);
        if (!m_synth)
            throw EDeviceError("The synthesiser could not be started.");
        m_sfont = sfont;
        m_player = std::make_unique<SongPlayer>(m_synth, sfontId, m_options.sampleRate);
        setFontInUse(fontPath);
    } else if (sfont != m_sfont) {
        useFont(sfont, fontPath);
    }
    if (!m_options.renderToMemory && !m_output) {
        auto pulse = std::make_unique<PulseOutput>(static_cast<AudioSource *>(this), m_options.sampleRate, m_options.latencyFrames,
                                                   m_options.periodSize);
        if (pulse->connect()) {
            m_output = std::move(pulse);
        } else {
            // Without a sound server, the sound card itself, with a period
            // short enough for Pause to be heard at once.
            fluid_settings_setstr(m_settings, "audio.driver", "alsa");
            fluid_settings_setint(m_settings, "audio.period-size", 512);
            fluid_settings_setint(m_settings, "audio.periods", 2);
            auto driver = std::make_unique<DriverOutput>(static_cast<AudioSource *>(this), m_settings, m_options.sampleRate);
            if (driver->probe())
                m_output = std::move(driver);
        }
        if (!m_output)
            throw EDeviceError("No audio output could be opened.");
    }
}

// With m_engineMutex held: the song, as it is, goes on in a synthesiser of
// the new font.
void FluidSequencer::useFont(fluid_sfont_t *sfont, const std::string &fontPath)
{
    int sfontId = 0;
    fluid_synth_t *synth = newSynth(sfont, &sfontId);
    if (!synth)
        throw EDeviceError("The synthesiser could not be started.");
    const std::shared_ptr<const Song> song = m_player->song();
    switchSynth(synth, sfontId, sfont, fontPath, SongPlayer::loadInstruments(synth, sfontId, song.get()));
}

// With m_engineMutex held. What a buffering output has queued was rendered
// with the old font: it fades out where the listener is, and the new font
// sounds from there.
void FluidSequencer::switchSynth(fluid_synth_t *synth, int sfontId, fluid_sfont_t *sfont, const std::string &fontPath,
                                 SongPlayer::Instruments loaded)
{
    fluid_synth_t *old = nullptr;
    {
        OutputLock lock(m_output.get());
        const bool playing = m_player->mode() == TPlayerMode::pmPlaying;
        if (playing && m_output) {
            if (const std::optional<std::int64_t> heard = m_output->fadeOutQueued(m_options.sampleRate * FadeMs / 1000))
                m_player->rewindTo(*heard);
        }
        old = m_player->changeSynth(synth, sfontId, std::move(loaded));
        if (playing) {
            restartClock();
            if (m_output)
                m_output->start();
        }
    }
    dropSynth(old, m_sfont);
    m_synth = synth;
    m_sfont = sfont;
    setFontInUse(fontPath);
}

void FluidSequencer::open(const QByteArray &path)
{
    std::lock_guard engine(m_engineMutex);
    closeSong();
    std::optional<Song> song(Song::load(toStd(path)));
    std::string fontPath = soundFontPath(m_options.soundFont);
    // The first song waits for a font chosen before it, as for the default
    // one; later songs do not wait for a font that is still loading.
    if (!m_player && !m_pendingFont.empty()) {
        if (SoundFontCache::instance().tryAcquire(m_pendingFont))
            fontPath = m_pendingFont;
    }
    bool ownFont = false;
    if (m_options.songSoundFonts) {
        // A font beside the song that cannot be loaded leaves the song to the
        // font in use.
        const std::string beside = SoundFontCache::songSoundFont(toStd(path));
        if (!beside.empty() && SoundFontCache::instance().tryAcquire(beside)) {
            fontPath = beside;
            ownFont = true;
        }
    }
    startEngine(fontPath);
    m_songHasOwnFont = ownFont;
    m_format = song->format();
    m_tracks = song->trackCount();
    m_player->setSong(std::make_shared<const Song>(std::move(*song)), m_options.playLoops);
}

void FluidSequencer::setPlayLoops(bool on)
{
    std::lock_guard engine(m_engineMutex);
    m_options.playLoops = on;
}

void FluidSequencer::setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done)
{
    unsigned request = 0;
    {
        std::lock_guard engine(m_engineMutex);
        request = ++m_fontRequests;
        m_pendingFont = soundFontPath(path);
    }
    std::lock_guard lock(m_loaderMutex);
    // Loaders that have finished are joined here, so that they do not pile up.
    std::erase_if(m_loaders, [](Loader &loader) {
        if (!*loader.finished)
            return false;
        loader.thread.join();
        return true;
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    m_loaders.push_back({std::thread([this, path, request, finished, done = std::move(done)] {
                             loadChosenFont(path, request, done);
                             *finished = true;
                         }),
                         finished});
}

// On a loading thread. The font, then the instruments of the song playing,
// load with no lock held, so that commands and the audio go on meanwhile.
void FluidSequencer::loadChosenFont(const QByteArray &path, unsigned request,
                                    const std::function<void(const QString &)> &done)
{
    const std::string fontPath = soundFontPath(path);
    fluid_sfont_t *sfont = nullptr;
    QString result;
    try {
        sfont = SoundFontCache::instance().acquire(fontPath);
    } catch (const EDeviceError &e) {
        result = QString::fromStdString(e.what());
    }
    fluid_synth_t *synth = nullptr;
    int sfontId = 0;
    std::shared_ptr<const Song> song;
    {
        std::lock_guard engine(m_engineMutex);
        if (request == m_fontRequests) {
            m_pendingFont.clear();
            if (sfont) {
                std::lock_guard name(m_fontNameMutex);
                m_options.soundFont = path;
            }
        }
        const auto wanted = [&] { return request == m_fontRequests && m_player && !m_songHasOwnFont && sfont != m_sfont; };
        if (sfont && wanted()) {
            synth = newSynth(sfont, &sfontId);
            song = m_player->song();
            if (!synth)
                result = QStringLiteral("The synthesiser could not be started.");
        }
    }
    if (synth) {
        SongPlayer::Instruments loaded = SongPlayer::loadInstruments(synth, sfontId, song.get());
        std::lock_guard engine(m_engineMutex);
        const bool stillWanted = request == m_fontRequests && !m_songHasOwnFont && sfont != m_sfont;
        // Another font or song may have come meanwhile. Instruments are held
        // by the font itself: where the font in use is now this very one,
        // they are left alone.
        if (!stillWanted || m_player->song() != song) {
            if (sfont != m_sfont)
                SongPlayer::unloadInstruments(synth, sfontId, loaded);
            loaded = {};
            if (stillWanted) // another song was opened meanwhile
                loaded = SongPlayer::loadInstruments(synth, sfontId, m_player->song().get());
        }
        if (stillWanted) {
            switchSynth(synth, sfontId, sfont, fontPath, std::move(loaded));
        } else {
            dropSynth(synth, sfont);
        }
    }
    if (done)
        done(result);
}

QByteArray FluidSequencer::soundFont() const
{
    std::lock_guard lock(m_fontNameMutex);
    const std::string path = m_fontInUse.empty() ? soundFontPath(m_options.soundFont) : m_fontInUse;
    return QByteArray(path.data(), qsizetype(path.size()));
}

// A command that silences a playing song: what the listener hears fades out
// at once (a buffering output rewrites what it has queued; otherwise the
// synthesiser's own output fades), then every sound is cut, so that nothing
// rings on into the next song or the resumed one. `atHeardPosition`: the
// song stays where the listener heard it stop, not where rendering had got.
template <class Command>
bool FluidSequencer::interrupt(Command command, bool atHeardPosition)
{
    if (!m_player)
        return false;
    if (m_player->mode() != TPlayerMode::pmPlaying)
        return command();
    OutputLock lock(m_output.get());
    const std::optional<std::int64_t> heard =
        m_output ? m_output->fadeOutQueued(m_options.sampleRate * FadeMs / 1000) : std::nullopt;
    const bool done = command();
    if (heard) {
        if (atHeardPosition)
            m_player->rewindTo(*heard);
        silence();
    } else {
        startFade();
    }
    return done;
}

template <class Command>
bool FluidSequencer::start(Command command)
{
    if (!m_player)
        return false;
    if (m_player->mode() == TPlayerMode::pmPlaying)
        return command();
    OutputLock lock(m_output.get());
    finishFade();
    if (!command())
        return false;
    {
        std::lock_guard fadeLock(m_fadeMutex);
        m_muted = false;
    }
    restartClock();
    if (m_output && !m_output->start()) {
        m_player->stop();
        return false;
    }
    return true;
}

void FluidSequencer::close()
{
    std::lock_guard engine(m_engineMutex);
    closeSong();
}

void FluidSequencer::closeSong()
{
    if (!m_player)
        return;
    // The old song is freed here, outside every lock.
    std::shared_ptr<const Song> old;
    interrupt([&] { old = m_player->setSong(nullptr); return true; }, false);
    m_format = 0;
    m_tracks = 0;
    m_songHasOwnFont = false;
}

bool FluidSequencer::play()
{
    std::lock_guard engine(m_engineMutex);
    return start([&] { return m_player->play(); });
}

bool FluidSequencer::pause()
{
    std::lock_guard engine(m_engineMutex);
    return interrupt([&] { return m_player->pause(); }, true);
}

bool FluidSequencer::resume()
{
    std::lock_guard engine(m_engineMutex);
    return start([&] { return m_player->resume(); });
}

bool FluidSequencer::stop()
{
    std::lock_guard engine(m_engineMutex);
    return interrupt([&] { return m_player->stop(); }, true);
}

bool FluidSequencer::seek(int ms)
{
    std::lock_guard engine(m_engineMutex);
    return interrupt([&] { return m_player->seek(ms); }, false);
}

TPlayerMode FluidSequencer::mode() const
{
    return m_player ? m_player->mode() : TPlayerMode::pmNotReady;
}

// While a buffering output plays, what is rendered runs ahead of what is
// heard; the position shown is the one heard, carried on by the clock
// between the output's wake-ups and never going back.
int FluidSequencer::position() const
{
    if (!m_player)
        return 0;
    const auto [mode, rendered] = m_player->status();
    if (mode != TPlayerMode::pmPlaying || !m_output || m_output->lead() == 0)
        return rendered;
    const std::uint64_t heard = m_heard.load(std::memory_order_acquire);
    const std::uint32_t elapsed = steadyMs() - std::uint32_t(heard);
    int floor = m_shownFloor.load(std::memory_order_relaxed);
    const int shown = std::max(floor, int(std::min<std::int64_t>(std::int64_t(heard >> 32) + elapsed, rendered)));
    if (shown > floor)
        m_shownFloor.compare_exchange_strong(floor, shown, std::memory_order_relaxed);
    return shown;
}

void FluidSequencer::restartClock()
{
    const int at = m_player->position();
    m_shownFloor.store(at, std::memory_order_relaxed);
    m_heard.store(std::uint64_t(std::uint32_t(at)) << 32 | steadyMs(), std::memory_order_release);
}

int FluidSequencer::length() const
{
    return m_player ? m_player->length() : 0;
}

void FluidSequencer::setSongEndHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_handlerMutex);
    m_onSongEnd = std::move(handler);
}

bool FluidSequencer::outputOpen() const
{
    if (!m_output)
        return false;
    OutputLock lock(m_output.get());
    return m_output->isOpen();
}

void FluidSequencer::startFade()
{
    std::lock_guard lock(m_fadeMutex);
    if (!m_fading) {
        m_fading = true;
        m_fadeLeft = m_options.sampleRate * FadeMs / 1000;
    }
}

// A fade still under way when the next song starts ends at once: the
// silencing that ends it must not catch the new notes.
void FluidSequencer::finishFade()
{
    std::lock_guard lock(m_fadeMutex);
    if (m_fading) {
        m_fading = false;
        m_player->silence();
    }
}

void FluidSequencer::silence()
{
    std::lock_guard lock(m_fadeMutex);
    m_fading = false;
    m_muted = true;
    m_player->silence();
}

void FluidSequencer::applyFade(int frames, float *left, float *right)
{
    std::lock_guard lock(m_fadeMutex);
    if (m_muted) {
        std::memset(left, 0, sizeof(float) * std::size_t(frames));
        std::memset(right, 0, sizeof(float) * std::size_t(frames));
        return;
    }
    if (!m_fading)
        return;
    const float total = float(m_options.sampleRate * FadeMs / 1000);
    for (int i = 0; i < frames; ++i) {
        const float gain = m_fadeLeft > 0 ? float(m_fadeLeft--) / total : 0.0f;
        left[i] *= gain;
        right[i] *= gain;
    }
    if (m_fadeLeft == 0) {
        m_fading = false;
        m_muted = true;
        m_player->silence();
    }
}

int FluidSequencer::renderAudio(int frames, float *left, float *right)
{
    // Stop on the song's last frame, so that the next song can follow on the
    // very next one.
    const std::int64_t toEnd = m_player->framesToEnd();
    if (toEnd > 0 && toEnd < frames)
        frames = int(toEnd);
    m_player->render(frames, left, right);
    applyFade(frames, left, right);
    if (m_output && m_output->lead() > 0) {
        const int heard = std::max(0, m_player->position() - m_output->lead() * 1000 / m_options.sampleRate);
        m_heard.store(std::uint64_t(std::uint32_t(heard)) << 32 | steadyMs(), std::memory_order_release);
    }
    const unsigned ends = m_player->endCount();
    if (m_endsSeen.exchange(ends, std::memory_order_acq_rel) != ends) {
        std::function<void()> handler;
        {
            std::lock_guard lock(m_handlerMutex);
            handler = m_onSongEnd;
        }
        if (handler)
            handler();
    }
    return frames;
}

std::int64_t FluidSequencer::songFrame()
{
    return m_player->frame();
}

bool FluidSequencer::songPlaying()
{
    return m_player->mode() == TPlayerMode::pmPlaying;
}

// With the output locked. The position then holds at the frame heard, for
// nothing renders until the output is back; what was rendered ahead is
// rendered again from there, without the notes it left sounding.
void FluidSequencer::outputLost(std::int64_t songFrame)
{
    if (!m_player || m_player->mode() != TPlayerMode::pmPlaying)
        return;
    m_player->rewindTo(songFrame);
    m_player->silence();
    m_heard.store(std::uint64_t(std::uint32_t(m_player->position())) << 32 | steadyMs(), std::memory_order_release);
}

void FluidSequencer::render(int frames, float *left, float *right)
{
    if (!m_player) {
        std::memset(left, 0, sizeof(float) * std::size_t(frames));
        std::memset(right, 0, sizeof(float) * std::size_t(frames));
        return;
    }
    for (int done = 0; done < frames;)
        done += std::max(1, renderAudio(frames - done, left + done, right + done));
}

std::int64_t FluidSequencer::framesToEnd()
{
    return m_player ? m_player->framesToEnd() : 0;
}

FluidSequencer::ChannelState FluidSequencer::channelState(int channel)
{
    ChannelState s;
    if (!m_player)
        return s;
    const SongPlayer::ChannelState c = m_player->channelState(channel);
    s.bank = c.bank;
    s.program = c.program;
    s.pitchBend = c.pitchBend;
    s.volume = c.cc[7];
    s.pan = c.cc[10];
    s.sustain = c.cc[64];
    return s;
}

int FluidSequencer::activeVoices()
{
    return m_player ? m_player->activeVoices() : 0;
}

std::unique_ptr<ISequencer> CreateDefaultSequencer()
{
    return std::make_unique<FluidSequencer>(FluidSequencer::Options{});
}

void PreloadSoundFont()
{
    SoundFontCache::instance().preload(SoundFontCache::defaultPath());
}
