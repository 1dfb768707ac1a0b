// The real sequencer: our own scheduler of MIDI events into FluidSynth, and
// the audio output it plays through.
#pragma once

#include "device/audiooutput.h"
#include "device/sequencer.h"
#include "device/songplayer.h"

#include <QByteArray>
#include <QString>

#include <fluidsynth.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FluidSequencer : public ISequencer, private AudioSource
{
public:
    struct Options {
        // Empty: the first General MIDI SoundFont of the discovery list.
        QByteArray soundFont;
        // A SoundFont beside a song, with its base name, plays that song.
        bool songSoundFonts = true;
        // Songs with a loop play it on and fade out (ISequencer::setPlayLoops).
        bool playLoops = false;
        // No audio output: time passes only as render() is called, which is
        // how tests and the render tool drive the very same scheduler.
        bool renderToMemory = false;
        int sampleRate = 44100;
        // The sound server's stream: how far it is filled ahead of the
        // listener, and how much is rendered at each wake-up. Large values
        // cost the program and the server little; Play, Pause and Stop are
        // heard within milliseconds whatever they are.
        int latencyFrames = 22050;
        int periodSize = 7350;
    };

    explicit FluidSequencer(Options options);
    ~FluidSequencer() override;
    FluidSequencer(const FluidSequencer &) = delete;
    FluidSequencer &operator=(const FluidSequencer &) = delete;

    void open(const QByteArray &path) override;
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
    void setSoundFont(const QByteArray &path, std::function<void(const QString &error)> done) override;
    QByteArray soundFont() const override;
    void setPlayLoops(bool on) override;

    // With renderToMemory: synthesises the next `frames` frames (planar
    // stereo at sampleRate), playing the song on. Does nothing before the
    // first successful open.
    void render(int frames, float *left, float *right);
    // While a song plays: the frames left until its end.
    std::int64_t framesToEnd();

    int sampleRate() const { return m_options.sampleRate; }
    // Format and track count of the open song (0 while none is open).
    int songFormat() const { return m_format; }
    int songTracks() const { return m_tracks; }
    // Whether an audio stream (or driver) is open at this moment.
    bool outputOpen() const;

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
    void closeSong();
    void startEngine(const std::string &fontPath);
    fluid_synth_t *newSynth(fluid_sfont_t *sfont, int *sfontId);
    void useFont(fluid_sfont_t *sfont, const std::string &fontPath);
    void switchSynth(fluid_synth_t *synth, int sfontId, fluid_sfont_t *sfont, const std::string &fontPath,
                     SongPlayer::Instruments loaded);
    void loadChosenFont(const QByteArray &path, unsigned request, const std::function<void(const QString &)> &done);
    void setFontInUse(const std::string &fontPath);
    template <class Command> bool interrupt(Command command, bool atHeardPosition);
    // Deletes a synthesiser, handing its font back to the cache.
    static void dropSynth(fluid_synth_t *synth, fluid_sfont_t *sfont);
    template <class Command> bool start(Command command);
    void startFade();
    void finishFade();
    void silence();
    void applyFade(int frames, float *left, float *right);
    void restartClock();

    int renderAudio(int frames, float *left, float *right) override;
    std::int64_t songFrame() override;
    bool songPlaying() override;
    void outputLost(std::int64_t songFrame) override;

    Options m_options;
    // Held by every command and by a change of SoundFont, so that a font
    // loaded in the background never meets a song being changed.
    mutable std::mutex m_engineMutex;
    bool m_songHasOwnFont = false;
    unsigned m_fontRequests = 0; // the latest choice wins
    std::string m_pendingFont;   // chosen, still loading
    struct Loader {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::mutex m_loaderMutex;
    std::vector<Loader> m_loaders;
    mutable std::mutex m_fontNameMutex;
    std::string m_fontInUse;

    fluid_settings_t *m_settings = nullptr;
    fluid_synth_t *m_synth = nullptr;
    fluid_sfont_t *m_sfont = nullptr;
    std::unique_ptr<SongPlayer> m_player;
    std::unique_ptr<AudioOutput> m_output;
    int m_format = 0;
    int m_tracks = 0;

    // A fade the synthesiser's output goes through before everything is
    // silenced, where the output has nothing queued to fade; once silenced,
    // nothing is let through until the next Play.
    std::mutex m_fadeMutex;
    int m_fadeLeft = 0;
    bool m_fading = false;
    bool m_muted = false;

    std::mutex m_handlerMutex;
    std::function<void()> m_onSongEnd;
    std::atomic<unsigned> m_endsSeen{0};

    // Where the listener is while a buffering output plays: the song
    // millisecond heard at a moment of the steady clock (both in the one
    // word), and the least position to show since playing started.
    std::atomic<std::uint64_t> m_heard{0};
    mutable std::atomic<int> m_shownFloor{0};
};

// The sequencer the program plays through: FluidSynth with the General MIDI
// SoundFont, through the desktop's audio output.
std::unique_ptr<ISequencer> CreateDefaultSequencer();

// Starts loading the default SoundFont in the background; the program calls
// it at start-up so that the first Open finds the font loaded.
void PreloadSoundFont();
