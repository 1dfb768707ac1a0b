// The real sequencer: our own scheduler of MIDI events into FluidSynth.
#pragma once

#include "device/sequencer.h"

#include <QByteArray>
#include <QString>

#include <fluidsynth.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class SongPlayer;

class FluidSequencer : public ISequencer
{
public:
    struct Options {
        // Empty: the first General MIDI SoundFont of the discovery list.
        QByteArray soundFont;
        // No audio output: time passes only as render() is called, which is
        // how tests and the render tool drive the very same scheduler.
        bool renderToMemory = false;
        int sampleRate = 44100;
        int periodSize = 512;
    };

    explicit FluidSequencer(Options options);
    ~FluidSequencer() override;
    FluidSequencer(const FluidSequencer &) = delete;
    FluidSequencer &operator=(const FluidSequencer &) = delete;

    QString open(const QByteArray &path) override;
    void close() override;
    bool play() override;
    bool pause() override;
    bool resume() override;
    bool stop() override;
    bool seek(int ms) override;
    TPlayerMode mode() const override;
    int position() const override;
    int length() const override;
    void setSongEndHandler(std::function<void()> handler) override;

    // With renderToMemory: synthesises the next `frames` frames (planar
    // stereo at sampleRate), playing the song on. Does nothing before the
    // first successful open.
    void render(int frames, float *left, float *right);

    int sampleRate() const { return m_options.sampleRate; }
    // Format and track count of the open song (0 while none is open).
    int songFormat() const { return m_format; }
    int songTracks() const { return m_tracks; }

    // Inspection of the synthesiser for tests: song channel 0..15.
    struct ChannelState {
        int bank = 0;
        int program = 0;
        int pitchBend = 0;
        int volume = 0;
        int pan = 0;
        int sustain = 0;
    };
    ChannelState channelState(int channel);
    int activeVoices();

private:
    QString startEngine();
    void tellSongEnd();
    static int audioCallback(void *data, int len, int nfx, float *fx[], int nout, float *out[]);

    Options m_options;
    fluid_settings_t *m_settings = nullptr;
    fluid_synth_t *m_synth = nullptr;
    fluid_sfont_t *m_sfont = nullptr;
    fluid_audio_driver_t *m_driver = nullptr;
    std::unique_ptr<SongPlayer> m_player;
    int m_format = 0;
    int m_tracks = 0;
    std::mutex m_handlerMutex;
    std::function<void()> m_onSongEnd;
    std::atomic<unsigned> m_endsSeen{0};
};

// The sequencer the program plays through: FluidSynth with the General MIDI
// SoundFont, through the desktop's audio output.
std::unique_ptr<ISequencer> CreateDefaultSequencer();

// Starts loading the default SoundFont in the background; the program calls
// it at start-up so that the first Open finds the font loaded.
void PreloadSoundFont();
