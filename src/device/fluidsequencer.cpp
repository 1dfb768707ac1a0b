#include "device/fluidsequencer.h"

#include "device/song.h"
#include "device/songplayer.h"
#include "device/soundfontcache.h"

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

} // namespace

FluidSequencer::FluidSequencer(Options options)
    : m_options(std::move(options))
{
}

FluidSequencer::~FluidSequencer()
{
    if (m_driver) {
        // Let released notes fade for a moment, so that closing the output
        // does not cut a sound in the middle (a click).
        close();
        for (int i = 0; i < 20 && m_player->activeVoices() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        delete_fluid_audio_driver(m_driver);
    }
    m_player.reset();
    if (m_synth) {
        // The font belongs to the process-wide cache, not to this synthesiser.
        if (m_sfont)
            fluid_synth_remove_sfont(m_synth, m_sfont);
        delete_fluid_synth(m_synth);
    }
    if (m_settings)
        delete_fluid_settings(m_settings);
}

QString FluidSequencer::startEngine()
{
    if (!m_synth) {
        std::string error;
        fluid_sfont_t *sfont = SoundFontCache::instance().acquire(soundFontPath(m_options.soundFont), &error);
        if (!sfont)
            return QString::fromStdString(error);
        m_settings = new_fluid_settings();
        if (!m_settings)
            return QStringLiteral("The synthesiser could not be started.");
        fluid_settings_setnum(m_settings, "synth.sample-rate", m_options.sampleRate);
        fluid_settings_setint(m_settings, "synth.midi-channels", SongPlayer::SynthChannels);
        // SongPlayer serialises every call into the synthesiser itself.
        fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
        fluid_settings_setint(m_settings, "synth.device-id", 127);
        fluid_settings_setint(m_settings, "synth.lock-memory", 0);
        fluid_settings_setint(m_settings, "audio.period-size", m_options.periodSize);
        fluid_settings_setint(m_settings, "audio.periods", 2);
        fluid_settings_setstr(m_settings, "audio.pulseaudio.media-role", "music");
        m_synth = new_fluid_synth(m_settings);
        if (!m_synth)
            return QStringLiteral("The synthesiser could not be started.");
        const int sfontId = fluid_synth_add_sfont(m_synth, sfont);
        m_sfont = sfont;
        // No instrument until a song chooses one: each costs its samples.
        for (int ch = 0; ch < SongPlayer::SynthChannels; ++ch)
            fluid_synth_unset_program(m_synth, ch);
        m_player = std::make_unique<SongPlayer>(m_synth, sfontId, m_options.sampleRate);
    }
    if (!m_options.renderToMemory && !m_driver) {
        for (const char *driver : {"pulseaudio", "alsa"}) {
            fluid_settings_setstr(m_settings, "audio.driver", driver);
            m_driver = new_fluid_audio_driver2(m_settings, &FluidSequencer::audioCallback, this);
            if (m_driver)
                break;
        }
        if (!m_driver)
            return QStringLiteral("No audio output could be opened.");
    }
    return {};
}

int FluidSequencer::audioCallback(void *data, int len, int, float *[], int nout, float *out[])
{
    auto *self = static_cast<FluidSequencer *>(data);
    if (nout < 2) {
        if (nout == 1)
            std::memset(out[0], 0, sizeof(float) * std::size_t(len));
        return FLUID_OK;
    }
    self->m_player->render(len, out[0], out[1]);
    self->tellSongEnd();
    return FLUID_OK;
}

// After rendering, outside the scheduler's lock.
void FluidSequencer::tellSongEnd()
{
    const unsigned ends = m_player->endCount();
    if (m_endsSeen.exchange(ends, std::memory_order_acq_rel) == ends)
        return;
    std::function<void()> handler;
    {
        std::lock_guard lock(m_handlerMutex);
        handler = m_onSongEnd;
    }
    if (handler)
        handler();
}

void FluidSequencer::setSongEndHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_handlerMutex);
    m_onSongEnd = std::move(handler);
}

QString FluidSequencer::open(const QByteArray &path)
{
    close();
    std::string error;
    auto song = Song::load(toStd(path), &error);
    if (!song)
        return QString::fromStdString(error);
    const QString engineError = startEngine();
    if (!engineError.isEmpty())
        return engineError;
    m_format = song->format();
    m_tracks = song->trackCount();
    m_player->setSong(std::make_shared<const Song>(std::move(*song)));
    return {};
}

void FluidSequencer::close()
{
    if (!m_player)
        return;
    // The old song is freed here, outside the scheduler's lock.
    m_player->setSong(nullptr);
    m_format = 0;
    m_tracks = 0;
}

bool FluidSequencer::play()
{
    return m_player && m_player->play();
}

bool FluidSequencer::pause()
{
    return m_player && m_player->pause();
}

bool FluidSequencer::resume()
{
    return m_player && m_player->resume();
}

bool FluidSequencer::stop()
{
    return m_player && m_player->stop();
}

bool FluidSequencer::seek(int ms)
{
    return m_player && m_player->seek(ms);
}

TPlayerMode FluidSequencer::mode() const
{
    return m_player ? m_player->mode() : TPlayerMode::pmNotReady;
}

int FluidSequencer::position() const
{
    return m_player ? m_player->position() : 0;
}

int FluidSequencer::length() const
{
    return m_player ? m_player->length() : 0;
}

void FluidSequencer::render(int frames, float *left, float *right)
{
    if (!m_player) {
        std::memset(left, 0, sizeof(float) * std::size_t(frames));
        std::memset(right, 0, sizeof(float) * std::size_t(frames));
        return;
    }
    m_player->render(frames, left, right);
    tellSongEnd();
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
