// The real sequencer with the real synthesiser and SoundFont: state rules,
// timing and what can be heard, checked on audio rendered into memory.
#include "device/fluidsequencer.h"
#include "readattempt.h"
#include "renderclock.h"
#include "smfbuilder.h"
#include "soundserver.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <QFile>

#include <atomic>
#include <future>
#include <thread>

namespace {

const QByteArray Scale = TestMidi("jazzsoft__test-c-major-scale.mid"); // 8 notes, 4000 ms

class Sequencer : public ::testing::Test
{
protected:
    Sequencer() : seq(RenderOptions()), clock(&seq) {}

    QByteArray write(const char *name, const Bytes &bytes)
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        EXPECT_TRUE(WriteFile(path, bytes));
        return path.toLocal8Bit();
    }

    QTemporaryDir dir;
    FluidSequencer seq;
    RenderClock clock;
};

} // namespace

TEST_F(Sequencer, NothingOpenRefusesEveryCommand)
{
    EXPECT_EQ(seq.mode(), TPlayerMode::pmNotReady);
    EXPECT_EQ(seq.position(), 0);
    EXPECT_EQ(seq.length(), 0);
    EXPECT_FALSE(seq.play());
    EXPECT_FALSE(seq.pause());
    EXPECT_FALSE(seq.resume());
    EXPECT_FALSE(seq.stop());
    EXPECT_FALSE(seq.seek(10));
    seq.close();

    ASSERT_EQ(OpenError(seq, Scale), QString());
    seq.close();
    EXPECT_EQ(seq.mode(), TPlayerMode::pmNotReady);
    EXPECT_EQ(seq.position(), 0);
    EXPECT_EQ(seq.length(), 0);
    EXPECT_FALSE(seq.play());
}

TEST_F(Sequencer, TransportFollowsTheStateRules)
{
    ASSERT_EQ(OpenError(seq, Scale), QString());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_EQ(seq.position(), 0);
    EXPECT_EQ(seq.length(), 4000);
    clock.renderMs(200);
    EXPECT_EQ(seq.position(), 0) << "open must not start playing";

    ASSERT_TRUE(seq.play());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);
    clock.renderMs(1000);
    EXPECT_EQ(seq.position(), 1000);

    ASSERT_TRUE(seq.pause());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPaused);
    clock.renderMs(500);
    EXPECT_EQ(seq.position(), 1000);
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPaused);

    ASSERT_TRUE(seq.resume());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);
    clock.renderMs(500);
    EXPECT_EQ(seq.position(), 1500);
    EXPECT_TRUE(seq.resume()) << "resume while playing keeps playing";
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);

    ASSERT_TRUE(seq.seek(3000));
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_EQ(seq.position(), 3000);
    EXPECT_FALSE(seq.resume()) << "a seek stops; resume is refused";
    ASSERT_TRUE(seq.play());
    clock.renderMs(200);
    EXPECT_EQ(seq.position(), 3200);

    ASSERT_TRUE(seq.stop());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_EQ(seq.position(), 3200);
    EXPECT_FALSE(seq.resume());

    EXPECT_TRUE(seq.seek(-50));
    EXPECT_EQ(seq.position(), 0);
    EXPECT_TRUE(seq.seek(99999));
    EXPECT_EQ(seq.position(), 4000);
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
}

TEST_F(Sequencer, PositionAfterSeekNeverFallsBackWhenPlayingOn)
{
    ASSERT_EQ(OpenError(seq, Scale), QString());
    for (int ms : {1, 7, 1234, 3999}) {
        ASSERT_TRUE(seq.seek(ms));
        EXPECT_EQ(seq.position(), ms);
        ASSERT_TRUE(seq.play());
        clock.renderFrames(1, 1);
        EXPECT_EQ(seq.position(), ms);
        clock.renderFrames(44, 1);
        EXPECT_GE(seq.position(), ms);
        EXPECT_LE(seq.position(), ms + 1);
    }
}

TEST_F(Sequencer, SoundWhileNotesPlayAndSilenceAfterPause)
{
    ASSERT_EQ(OpenError(seq, Scale), QString());
    const auto before = clock.renderMs(300);
    EXPECT_LT(RenderClock::rms(before), SilentRms) << "nothing sounds before Play";

    ASSERT_TRUE(seq.play());
    const auto playing = clock.renderMs(400);
    EXPECT_GT(RenderClock::rms(playing, playing.size() / 4), 50 * SilentRms);

    ASSERT_TRUE(seq.pause());
    const auto paused = clock.renderMs(600);
    // Faded, not cut, and silent within 30 ms.
    EXPECT_GT(RenderClock::rms(paused, 0, 220), 5 * SilentRms);
    EXPECT_LT(RenderClock::rms(paused, 30 * 44), SilentRms);
    EXPECT_EQ(seq.activeVoices(), 0);
    EXPECT_EQ(seq.position(), 400);
}

// One note held for the whole song, with the sustain pedal down: every way
// of silencing it is heard within 30 ms.
TEST_F(Sequencer, PauseStopSeekAndCloseSilenceHeldNotesAtOnce)
{
    TrackBuilder t;
    t.at(0, {0xC0, 48}).at(0, {0xB0, 64, 127}).at(0, {0x90, 60, 110}).at(960, {0x80, 60, 0}).end(0);
    const QByteArray held = write("held.mid", Smf(0, 96, {t})); // 5000 ms
    using Command = bool (*)(FluidSequencer &);
    const Command commands[] = {
        [](FluidSequencer &s) { return s.pause(); },
        [](FluidSequencer &s) { return s.stop(); },
        [](FluidSequencer &s) { return s.seek(2500); },
        [](FluidSequencer &s) { s.close(); return true; },
    };
    for (Command command : commands) {
        ASSERT_EQ(OpenError(seq, held), QString());
        ASSERT_TRUE(seq.play());
        const auto sounding = clock.renderMs(500);
        EXPECT_GT(clock.tailRms(sounding, 100), 50 * SilentRms);
        ASSERT_TRUE(command(seq));
        const auto after = clock.renderMs(600);
        EXPECT_LT(RenderClock::rms(after, 30 * 44), SilentRms);
    }
}

TEST_F(Sequencer, ABurstAtOneInstantStretchesTheSongOverManyCallbacks)
{
    // 100,000 program changes at the start, the last of them 42, then a note.
    TrackBuilder t;
    t.at(0, {0xC0, 0});
    for (int i = 1; i < 100000; ++i)
        t.at(0, {std::uint8_t(i % 40)});
    t.at(0, {42}).at(0, {0x90, 60, 100}).at(96, {0x80, 60, 0}).end(0);
    ASSERT_EQ(OpenError(seq, write("burst.mid", Smf(0, 96, {t}))), QString());
    ASSERT_TRUE(seq.play());

    clock.renderFrames(512);
    EXPECT_EQ(seq.position(), 0) << "one callback played the whole burst";
    int callbacks = 1;
    while (seq.position() == 0 && callbacks < 1000) {
        EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);
        clock.renderFrames(512);
        ++callbacks;
    }
    EXPECT_GT(callbacks, 2);
    EXPECT_EQ(seq.channelState(0).program, 42) << "the burst was played to its end, in order";
    const auto note = clock.renderMs(300);
    EXPECT_GT(clock.tailRms(note, 100), 50 * SilentRms);
    EXPECT_EQ(seq.length(), 500);
}

TEST_F(Sequencer, EndsExactlyAtLengthAndTheLastNotesRingOut)
{
    ASSERT_EQ(OpenError(seq, Scale), QString());
    ASSERT_TRUE(seq.seek(3400)); // before the last note, which ends on the last tick
    ASSERT_TRUE(seq.play());
    long frames = 0;
    int last = seq.position();
    while (seq.mode() == TPlayerMode::pmPlaying && frames < 44100) {
        clock.renderFrames(1, 1);
        ++frames;
        const int now = seq.position();
        EXPECT_GE(now, last);
        last = now;
        if (seq.mode() == TPlayerMode::pmPlaying) {
            EXPECT_LT(now, seq.length());
        }
    }
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_EQ(seq.position(), seq.length());
    EXPECT_NEAR(frames * 1000.0 / 44100, 600.0, 1.0);

    // Its release is heard.
    const auto tail = clock.renderMs(3000);
    EXPECT_GT(RenderClock::rms(tail, 0, 441 * 2), 5 * SilentRms);
    EXPECT_LT(clock.tailRms(tail, 500), SilentRms);
    EXPECT_EQ(seq.position(), seq.length());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
}

TEST_F(Sequencer, SeekChasesProgramsControllersAndPitchBend)
{
    TrackBuilder t;
    t.at(0, {0xC0, 40})
        .at(0, {0xB0, 7, 50})
        .at(0, {0xB0, 101, 0}) // pitch-bend range: 12 semitones, through RPN 0
        .at(0, {0xB0, 100, 0})
        .at(0, {0xB0, 6, 12})
        .at(0, {0x90, 60, 100})
        .at(96, {0xB0, 10, 20})
        .at(0, {0xE0, 0x00, 0x60})
        .at(0, {0xB0, 64, 127})
        .at(96, {0xC1, 73})
        .at(192, {0x80, 60, 0})
        .end(0);
    const QByteArray song = write("chase.mid", Smf(0, 96, {t})); // 2000 ms

    ASSERT_EQ(OpenError(seq, song), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(1500);
    const auto straight0 = seq.channelState(0);
    const auto straight1 = seq.channelState(1);
    EXPECT_EQ(straight0.program, 40);
    EXPECT_EQ(straight0.volume, 50);
    EXPECT_EQ(straight0.pan, 20);
    EXPECT_EQ(straight0.pitchBend, 0x3000);
    EXPECT_EQ(straight0.sustain, 127);
    EXPECT_EQ(straight1.program, 73);

    ASSERT_TRUE(seq.seek(1500));
    ASSERT_TRUE(seq.play());
    clock.renderFrames(64);
    const auto chased0 = seq.channelState(0);
    EXPECT_EQ(chased0.program, straight0.program);
    EXPECT_EQ(chased0.volume, straight0.volume);
    EXPECT_EQ(chased0.pan, straight0.pan);
    EXPECT_EQ(chased0.pitchBend, straight0.pitchBend);
    EXPECT_EQ(chased0.sustain, straight0.sustain);
    EXPECT_EQ(seq.channelState(1).program, 73);

    ASSERT_TRUE(seq.seek(250)); // before the bend, the pan and channel 1's program
    ASSERT_TRUE(seq.play());
    clock.renderFrames(64);
    const auto early = seq.channelState(0);
    EXPECT_EQ(early.program, 40);
    EXPECT_EQ(early.volume, 50);
    EXPECT_EQ(early.pan, 64);
    EXPECT_EQ(early.pitchBend, 8192);
    EXPECT_EQ(early.sustain, 0);
    EXPECT_EQ(seq.channelState(1).program, 0);

    // Pause and resume restore the held pedal on the new channels as well.
    ASSERT_TRUE(seq.seek(1500));
    ASSERT_TRUE(seq.play());
    ASSERT_TRUE(seq.pause());
    ASSERT_TRUE(seq.resume());
    EXPECT_EQ(seq.channelState(0).sustain, 127);
}

TEST_F(Sequencer, GsDrumPartSysexIsPlayedAndChased)
{
    ASSERT_EQ(OpenError(seq, TestMidi("jazzsoft__test-sysex-gs-40-1x-15-drum-part-change.mid")), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(1000);
    EXPECT_EQ(seq.channelState(0).bank, 128) << "part 1 became a rhythm part";
    clock.renderMs(2500);
    EXPECT_EQ(seq.channelState(0).bank, 128);
    EXPECT_NE(seq.channelState(9).bank, 128) << "part 10 became a melodic part";

    ASSERT_TRUE(seq.seek(3500));
    ASSERT_TRUE(seq.play());
    clock.renderFrames(64);
    EXPECT_EQ(seq.channelState(0).bank, 128);
    EXPECT_NE(seq.channelState(9).bank, 128);
    ASSERT_TRUE(seq.seek(500));
    ASSERT_TRUE(seq.play());
    clock.renderFrames(64);
    EXPECT_EQ(seq.channelState(9).bank, 128);
}

TEST_F(Sequencer, EverySongStartsFromGeneralMidiDefaults)
{
    TrackBuilder a;
    a.at(0, {0xC0, 40}).at(0, {0xB0, 7, 30}).at(0, {0xB0, 10, 0}).at(0, {0xE0, 0, 0}).at(0, {0xB0, 64, 127})
        .at(0, {0x90, 60, 100}).at(96, {0x80, 60, 0}).end(0);
    TrackBuilder b;
    b.at(0, {0x90, 60, 100}).at(0, {0x99, 38, 100}).at(96, {0x80, 60, 0}).at(0, {0x89, 38, 0}).end(0);
    const QByteArray songA = write("a.mid", Smf(0, 96, {a}));
    const QByteArray songB = write("b.mid", Smf(0, 96, {b}));

    ASSERT_EQ(OpenError(seq, songA), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(600);
    ASSERT_EQ(seq.mode(), TPlayerMode::pmStopped);
    ASSERT_EQ(seq.channelState(0).program, 40);

    ASSERT_EQ(OpenError(seq, songB), QString());
    ASSERT_TRUE(seq.play());
    clock.renderFrames(64);
    const auto s = seq.channelState(0);
    EXPECT_EQ(s.program, 0);
    EXPECT_EQ(s.bank, 0);
    EXPECT_EQ(s.volume, 100);
    EXPECT_EQ(s.pan, 64);
    EXPECT_EQ(s.pitchBend, 8192);
    EXPECT_EQ(s.sustain, 0);
    EXPECT_EQ(seq.channelState(9).bank, 128);
}

// The next song's reset and first events must leave the previous song's
// fading tail exactly as it would have sounded alone.
TEST_F(Sequencer, TheNextSongDoesNotTouchThePreviousTail)
{
    TrackBuilder a;
    a.at(0, {0xC0, 48}).at(0, {0x90, 60, 120}).at(172, {0x80, 60, 0}).end(20); // ends at 1000 ms
    TrackBuilder b;
    b.at(0, {0xB0, 7, 127}).at(0, {0xE0, 0x7F, 0x7F}).at(0, {0xB0, 10, 0}).end(384); // silent
    const QByteArray songA = write("a.mid", Smf(0, 96, {a}));
    const QByteArray songB = write("b.mid", Smf(0, 96, {b}));

    ASSERT_EQ(OpenError(seq, songA), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(1000);
    ASSERT_EQ(seq.mode(), TPlayerMode::pmStopped);
    const auto alone = clock.renderMs(400);

    FluidSequencer other(RenderOptions());
    RenderClock otherClock(&other);
    ASSERT_EQ(OpenError(other, songA), QString());
    ASSERT_TRUE(other.play());
    otherClock.renderMs(1000);
    ASSERT_EQ(other.mode(), TPlayerMode::pmStopped);
    other.close();
    ASSERT_EQ(OpenError(other, songB), QString());
    ASSERT_TRUE(other.play());
    const auto followed = otherClock.renderMs(400);

    ASSERT_GT(RenderClock::rms(alone), 5 * SilentRms) << "the test needs an audible tail";
    ASSERT_EQ(alone.size(), followed.size());
    float worst = 0;
    for (std::size_t i = 0; i < alone.size(); ++i)
        worst = std::max(worst, std::fabs(alone[i] - followed[i]));
    EXPECT_LT(worst, 1e-6f);
}

TEST_F(Sequencer, OpeningReplacesTheSongAndARefusalLeavesNothingOpen)
{
    ASSERT_EQ(OpenError(seq, Scale), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(300);
    ASSERT_EQ(OpenError(seq, TestMidi("jazzsoft__test-karaoke-kar.mid")), QString());
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_EQ(seq.position(), 0);
    EXPECT_EQ(seq.length(), 10600);
    EXPECT_EQ(seq.songFormat(), 1);
    EXPECT_EQ(seq.songTracks(), 3);

    EXPECT_EQ(OpenError(seq, TestMidi("jazzsoft__test-not-a-midi-file.mid")), QStringLiteral("The file is not a MIDI file."));
    EXPECT_EQ(seq.mode(), TPlayerMode::pmNotReady);
    EXPECT_EQ(seq.length(), 0);
    EXPECT_EQ(OpenError(seq, TestMidi("jazzsoft__test-empty.mid")), QStringLiteral("The file holds no music."));
    EXPECT_EQ(OpenError(seq, "/nonexistent/song.mid"), QStringLiteral("The file could not be read."));
    EXPECT_EQ(OpenError(seq, Scale), QString());
}

TEST(SequencerSetup, MissingOrBrokenSoundFontFailsOpen)
{
    FluidSequencer missing(RenderOptions("/nonexistent/font.sf2"));
    EXPECT_EQ(OpenError(missing, Scale), QStringLiteral("No SoundFont was found."));
    EXPECT_EQ(missing.mode(), TPlayerMode::pmNotReady);

    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.sf2"));
    ASSERT_TRUE(WriteFile(broken, Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'}));
    FluidSequencer bad(RenderOptions(broken.toLocal8Bit().constData()));
    EXPECT_EQ(OpenError(bad, Scale), QStringLiteral("The SoundFont could not be loaded."));
    EXPECT_FALSE(bad.play());
}

TEST(SequencerSetup, NoAudioOutputFailsOpen)
{
    // Neither sound server nor ALSA device can be reached.
    setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);
    FluidSequencer::Options options;
    options.soundFont = TestSoundFont;
    FluidSequencer sequencer(options);
    EXPECT_EQ(OpenError(sequencer, Scale), QStringLiteral("No audio output could be opened."));
    EXPECT_EQ(sequencer.mode(), TPlayerMode::pmNotReady);
}

// The GUI polls while the audio thread plays: whenever it sees "stopped",
// the position it reads next is the length, and positions never go back.
TEST_F(Sequencer, StatusQueriesFromAnotherThreadStayConsistent)
{
    ASSERT_EQ(OpenError(seq, TestMidi("malcohol__test-length-1.mid")), QString()); // 1000 ms
    ASSERT_TRUE(seq.play());
    std::atomic<bool> done{false};
    std::thread audio([&] {
        RenderClock c(&seq);
        while (seq.mode() == TPlayerMode::pmPlaying)
            c.renderFrames(64, 64);
        done = true;
    });
    int last = 0;
    long polls = 0;
    // At least one poll, even when the audio thread wins the race.
    do {
        const TPlayerMode mode = seq.mode();
        const int position = seq.position();
        EXPECT_GE(position, last);
        last = position;
        if (mode == TPlayerMode::pmStopped) {
            EXPECT_EQ(position, seq.length());
        }
        ++polls;
    } while (!done);
    audio.join();
    EXPECT_EQ(seq.position(), 1000);
    EXPECT_GT(polls, 0);
}

// The player's own path: the SoundFont preloaded from start-up and found
// through the discovery list (the large General MIDI font on this system).
TEST(SequencerSetup, PreloadedDefaultSoundFontPlays)
{
    PreloadSoundFont();
    FluidSequencer::Options options;
    options.renderToMemory = true;
    FluidSequencer sequencer(options);
    RenderClock clock(&sequencer);
    ASSERT_EQ(OpenError(sequencer, Scale), QString());
    ASSERT_TRUE(sequencer.play());
    const auto sound = clock.renderMs(400);
    EXPECT_GT(RenderClock::rms(sound, sound.size() / 4), 50 * SilentRms);
}

TEST_F(Sequencer, RmidFilePlaysWhateverItsName)
{
    TrackBuilder t;
    t.at(0, {0x90, 60, 110}).at(96, {0x80, 60, 0}).end(0);
    for (const char *name : {"song.rmi", "song.mid"}) {
        ASSERT_EQ(OpenError(seq, write(name, Rmid(Smf(0, 96, {t})))), QString()) << name;
        EXPECT_EQ(seq.length(), 500);
        ASSERT_TRUE(seq.play());
        const auto sound = clock.renderMs(300);
        EXPECT_GT(RenderClock::rms(sound), 50 * SilentRms) << name;
    }
}

// A chord held from 2 s to 6 s sounds again, struck anew, when playing goes
// on inside it, and only there.
TEST_F(Sequencer, HeldNotesSoundAgainAfterPauseAndSeek)
{
    TrackBuilder t;
    t.at(0, {0xC0, 16}).at(192, {0x90, 60, 100}).at(0, {0x90, 64, 100}).at(0, {0x90, 67, 100})
        .at(384, {0x80, 60, 0}).at(0, {0x80, 64, 0}).at(0, {0x80, 67, 0}).end(96);
    const QByteArray chord = write("chord.mid", Smf(0, 48, {t})); // 96 ticks a second: 2 s to 6 s, ends at 7 s
    struct Case {
        const char *name;
        int seekMs; // -1: pause at 3.3 s and play on
        bool sounds;
    };
    for (const Case c : {Case{"pause inside the chord", -1, true}, Case{"seek into the chord", 2500, true},
                         Case{"seek past the chord", 6500, false}}) {
        ASSERT_EQ(OpenError(seq, chord), QString());
        if (c.seekMs < 0) {
            ASSERT_TRUE(seq.play());
            clock.renderMs(3300);
            ASSERT_TRUE(seq.pause());
            clock.renderMs(1000);
        } else {
            ASSERT_TRUE(seq.seek(c.seekMs));
        }
        ASSERT_TRUE(seq.play());
        const auto after = clock.renderMs(300);
        if (c.sounds) {
            EXPECT_GT(RenderClock::rms(after, 20 * 44), 50 * SilentRms) << c.name;
        } else {
            EXPECT_LT(RenderClock::rms(after), SilentRms) << c.name;
        }
        seq.stop();
        clock.renderMs(2000); // what this case left sounding dies away
    }
}

// With the SoundFont's samples loaded per song, an instrument first heard in
// the middle of a song still sounds from its first note on, however that
// point is reached.
TEST_F(Sequencer, TheFirstNoteOfAnInstrumentSoundsAtOnce)
{
    TrackBuilder t;
    t.at(0, {0x90, 60, 100}).at(48, {0x80, 60, 0}).at(48, {0xC1, 56}).at(0, {0x91, 72, 110}).at(96, {0x81, 72, 0})
        .end(48);
    const QByteArray song = write("trumpet.mid", Smf(0, 96, {t})); // the trumpet at 1000 ms
    for (const int seekMs : {0, 1000}) {
        for (int reopen = 0; reopen < 2; ++reopen) {
            ASSERT_EQ(OpenError(seq, song), QString());
            ASSERT_TRUE(seq.seek(seekMs));
            ASSERT_TRUE(seq.play());
            const auto sound = clock.renderMs(1000 - seekMs + 30);
            EXPECT_GT(clock.tailRms(sound, 25), 50 * SilentRms) << "from " << seekMs << " ms, opened " << reopen + 1;
            seq.close();
        }
    }
}

TEST_F(Sequencer, TheSongEndHandlerIsCalledOnceAtTheEnd)
{
    int calls = 0;
    bool stoppedAtLength = false;
    seq.setSongEndHandler([&] {
        ++calls;
        stoppedAtLength = seq.mode() == TPlayerMode::pmStopped && seq.position() == seq.length();
    });
    ASSERT_EQ(OpenError(seq, TestMidi("malcohol__test-length-0.mid")), QString()); // 500 ms
    ASSERT_TRUE(seq.play());
    clock.renderMs(200);
    ASSERT_TRUE(seq.pause());
    ASSERT_TRUE(seq.stop());
    clock.renderMs(200);
    EXPECT_EQ(calls, 0) << "Pause and Stop are no end";
    ASSERT_TRUE(seq.play());
    clock.renderMs(1000);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(stoppedAtLength);
    ASSERT_TRUE(seq.seek(0));
    ASSERT_TRUE(seq.play());
    clock.renderMs(1000);
    EXPECT_EQ(calls, 2) << "each end is told";
}

// Through a real sound server: a stream is open only while a song can sound,
// and the end of a song is told from the audio thread.
TEST(SequencerOutput, AStreamIsOpenOnlyWhileASongCanSound)
{
    SoundServer server;
    if (!server.running())
        GTEST_SKIP() << "PulseAudio could not be started";
    FluidSequencer::Options options;
    options.soundFont = TestSoundFont;
    FluidSequencer seq(options);
    std::atomic<int> ends{0};
    seq.setSongEndHandler([&] { ++ends; });
    const auto closes = [&] { return SoundServer::waitFor([&] { return server.streams() == 0; }, 5); };

    EXPECT_EQ(server.streams(), 0);
    ASSERT_EQ(OpenError(seq, TestMidi("malcohol__test-length-0.mid")), QString()); // 500 ms
    EXPECT_EQ(server.streams(), 0) << "opening a song plays nothing";
    ASSERT_TRUE(seq.play());
    EXPECT_EQ(server.streams(), 1);
    ASSERT_TRUE(seq.pause());
    EXPECT_TRUE(closes()) << "paused";
    ASSERT_TRUE(seq.resume());
    EXPECT_EQ(server.streams(), 1);
    EXPECT_TRUE(SoundServer::waitFor([&] { return ends == 1; }, 5));
    EXPECT_TRUE(closes()) << "at the end";
    ASSERT_TRUE(seq.seek(0));
    ASSERT_TRUE(seq.play());
    ASSERT_TRUE(seq.stop());
    EXPECT_TRUE(closes()) << "stopped";
    EXPECT_EQ(ends, 1);
}

namespace {

const char *const OtherSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

QString setSoundFont(FluidSequencer &seq, const QByteArray &path)
{
    std::promise<QString> answer;
    seq.setSoundFont(path, [&](const QString &error) { answer.set_value(error); });
    return answer.get_future().get();
}

// An organ held for 4 s, bent and quieter.
Bytes heldOrgan()
{
    TrackBuilder t;
    t.at(0, {0xC0, 19}).at(0, {0xB0, 7, 90}).at(0, {0xE0, 0, 80}).at(0, {0x90, 60, 100}).at(768, {0x80, 60, 0}).end(0);
    return Smf(0, 96, {t});
}

} // namespace

// A SoundFont chosen while a song plays: the song goes on without a gap and
// sounds from that moment as it does with that font after a seek there.
TEST_F(Sequencer, AChosenSoundFontTakesOverThePlayingSong)
{
    const QByteArray song = write("organ.mid", heldOrgan());
    FluidSequencer reference(RenderOptions(OtherSoundFont));
    RenderClock referenceClock(&reference);
    ASSERT_EQ(OpenError(reference, song), QString());
    ASSERT_TRUE(reference.seek(1000));
    ASSERT_TRUE(reference.play());
    const auto expected = referenceClock.renderMs(500);

    ASSERT_EQ(OpenError(seq, song), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(1000);
    ASSERT_EQ(setSoundFont(seq, OtherSoundFont), QString());
    EXPECT_EQ(seq.soundFont(), QByteArray(OtherSoundFont));
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);
    const auto after = clock.renderMs(500);
    double difference = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        difference = std::max(difference, double(std::fabs(after[i] - expected[i])));
    EXPECT_LT(difference, SilentRms);
    EXPECT_GT(RenderClock::rms(after, 0, 2205), 50 * SilentRms) << "no gap at the change";
}

TEST_F(Sequencer, ASoundFontThatCannotBeLoadedIsRefusedAndTheOldOneStays)
{
    const QByteArray broken = write("broken.sf2", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 's', 'f', 'b', 'k'});
    ASSERT_EQ(OpenError(seq, Scale), QString());
    ASSERT_TRUE(seq.play());
    EXPECT_EQ(setSoundFont(seq, broken), QStringLiteral("The SoundFont could not be loaded."));
    EXPECT_EQ(seq.soundFont(), QByteArray(TestSoundFont));
    EXPECT_GT(RenderClock::rms(clock.renderMs(300)), 50 * SilentRms);
}

// song.mid plays with song.sf2 or song.sf3 beside it, letter case ignored;
// the next song with the font chosen.
TEST_F(Sequencer, ASongsOwnSoundFontPlaysThatSongAlone)
{
    const QString own = dir.filePath(QStringLiteral("TUNE.Sf3"));
    ASSERT_TRUE(QFile::link(QString::fromLatin1(OtherSoundFont), own));
    ASSERT_EQ(OpenError(seq, write("tune.mid", heldOrgan())), QString());
    EXPECT_EQ(seq.soundFont(), own.toLocal8Bit());
    ASSERT_TRUE(seq.play());
    EXPECT_GT(RenderClock::rms(clock.renderMs(300)), 50 * SilentRms);
    ASSERT_EQ(OpenError(seq, Scale), QString());
    EXPECT_EQ(seq.soundFont(), QByteArray(TestSoundFont));
}
