// The scheduler: plays one song into a FluidSynth synthesiser from the audio
// callback, event by event at its sample frame, and carries out the transport
// commands. Status queries read atomics only.
#pragma once

#include "device/sequencer.h"
#include "device/song.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class SongPlayer
{
public:
    // Each start of playback takes the next group of 16 synthesiser channels,
    // so that resetting and chasing it never touches the fading tails of what
    // played before (another song, or the same song before a pause or seek).
    static constexpr int ChannelGroups = 4;
    static constexpr int SynthChannels = ChannelGroups * 16;

    // `synth` must have SynthChannels MIDI channels and `sfontId` loaded; it
    // is used only under this object's lock.
    SongPlayer(fluid_synth_t *synth, int sfontId, int sampleRate);

    // Installs `song` (nullptr: none) stopped at its start, after releasing
    // the notes of the previous one, which is handed back so that the caller
    // frees it outside the lock. The samples of every instrument the song
    // plays are loaded here, so that no note waits for the disk while playing.
    // With `playLoops`, a song with a loop plays it as Song::playLengthUs
    // says: the position and the length count every pass played.
    std::shared_ptr<const Song> setSong(std::shared_ptr<const Song> song, bool playLoops = false);

    using Preset = std::pair<int, int>; // bank, program
    struct Instruments {
        std::set<Preset> presets;
        std::array<bool, 16> powerOn{}; // channel plays notes with its power-on instrument
    };
    // Moving to another synthesiser (like the first, with `sfontId` loaded
    // and no program set), in two steps: first the instruments of the song
    // are loaded there, with no lock, as the song plays on; then changeSynth
    // carries on there, chasing a playing song at its position as after a
    // seek. The former synthesiser, no longer used and holding nothing of its
    // font, is handed back to be deleted. `song` must still be the song then.
    std::shared_ptr<const Song> song();
    static Instruments loadInstruments(fluid_synth_t *synth, int sfontId, const Song *song);
    static void unloadInstruments(fluid_synth_t *synth, int sfontId, const Instruments &loaded);
    fluid_synth_t *changeSynth(fluid_synth_t *synth, int sfontId, Instruments loaded);

    bool play();
    bool pause();
    bool resume();
    bool stop();
    bool seek(int ms);

    // Takes the song back to `frame`, a frame already rendered but not yet
    // heard, keeping the mode: a buffering output makes a pause or a stop
    // take effect where the listener is. Held notes sound again on resuming.
    void rewindTo(std::int64_t frame);
    // Ends every note at once, released ones included: for when the output
    // has already faded the sound out.
    void silence();

    std::int64_t frame();       // the position, in frames
    std::int64_t framesToEnd(); // while playing: frames left until the end
    // How many times a song has reached its end; read without the lock.
    unsigned endCount() const { return m_endCount.load(std::memory_order_acquire); }

    // The audio callback: overwrites `frames` frames of left and right with
    // the synthesiser's output, playing the song's events as they fall due.
    void render(int frames, float *left, float *right);

    TPlayerMode mode() const;
    int position() const;
    // Both from one reading, so that they always agree.
    std::pair<TPlayerMode, int> status() const;
    int length() const { return m_length.load(std::memory_order_acquire); }

    struct ChannelState {
        int bank = 0;
        int program = 0;
        int pitchBend = 0;
        std::array<int, 128> cc{};
    };
    // What the synthesiser holds for song channel 0..15 of the group in use.
    ChannelState channelState(int channel);
    int activeVoices();

private:
    // The state chase() brings a fresh group to: the events to replay, in
    // order, and the notes to strike again.
    struct Chase {
        std::vector<int> ordered;
        std::array<std::array<std::uint8_t, 2>, 16> bankAtProgram{};
        std::array<std::array<std::uint8_t, 128>, 16> held{}; // velocity of each key down
    };
    // A song's loop in song frames, and the state at its start, made ready
    // before the song plays so that going back there takes no allocation.
    struct LoopPlan {
        std::int64_t startFrame = 0;
        std::int64_t endFrame = 0;
        std::size_t startEvent = 0; // the first event at or after the start
        std::size_t endEvent = 0;   // the first event at or after the end
        std::int64_t fadeFrames = 0;
        Chase chase;
    };

    void publish(TPlayerMode mode, int positionMs);
    std::int64_t playFrame() const;
    std::optional<LoopPlan> loopPlanOf(const Song &song) const;
    void loopBack();
    void fadeOut(float *left, float *right, int frames, bool advancing) const;
    void quiet();
    void wakeFromFade();
    int positionAt(std::int64_t frame) const;
    std::int64_t frameOf(std::int64_t us) const;
    bool playDueEvents();
    void finish();
    void startSession();
    void releaseNotes();
    void resetGroup();
    void releaseIdleGroups();
    void chase();
    static Chase chaseOf(const Song &song, std::size_t next);
    void applyChase(const Chase &chase);
    void moveTo(std::int64_t frame);
    static Instruments instrumentsOf(const Song &song, fluid_sfont_t *sfont);
    static Preset presetFor(fluid_sfont_t *sfont, const Voice &voice);
    bool isReset(const SongEvent &e) const { return isResetIn(*m_song, e); }
    static bool isResetIn(const Song &song, const SongEvent &e);
    void selectVoice(int channel, int program);
    void dispatch(const SongEvent &e);
    void sendSysEx(const std::uint8_t *data, std::size_t size);

    const int m_rate;

    std::mutex m_mutex; // everything below, and every use of m_synth
    fluid_synth_t *m_synth;
    int m_sfontId;
    std::shared_ptr<const Song> m_song;
    TPlayerMode m_mode = TPlayerMode::pmNotReady;
    std::int64_t m_frame = 0;    // song position
    std::int64_t m_endFrame = 0; // the position's: every pass of a loop counted
    std::optional<LoopPlan> m_loop; // only while playing loops
    std::int64_t m_passes = 0;      // times the song has gone back to its loop's start
    bool m_fadedOut = false;        // a looped song faded to its end: its tails stay unheard
    std::size_t m_next = 0;      // first event not yet played
    std::int64_t m_budget = 0;   // work left to events in this audio callback
    int m_base = 0;              // first synthesiser channel of the group in use
    std::array<bool, ChannelGroups> m_dirtyGroup{}; // key pressure, RPN/NRPN, tuning
    std::set<Preset> m_pinned; // instruments whose samples stay loaded
    std::array<bool, 16> m_powerOn{};
    SongStyle m_style;                  // of the song, for its whole run
    std::array<BankState, 16> m_banks{}; // of the group in use
    std::array<bool, 16> m_drum{};
    bool m_modesChanged = false; // by omni, mono or poly messages

    // Mode in the high half, position in ms in the low half: read together,
    // so that "stopped" is never seen with a position short of the end.
    std::atomic<std::uint64_t> m_status;
    std::atomic<int> m_length{0};
    std::atomic<unsigned> m_endCount{0};
};
