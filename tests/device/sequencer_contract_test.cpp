// The fake sequencer that the window tests play through must keep the real
// one's rules: the same calls on both give the same answers and states.
#include "readattempt.h"
#include "renderclock.h"
#include "smfbuilder.h"
#include "support/fakesequencer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <string>

namespace {

const QByteArray Scale = TestMidi("jazzsoft__test-c-major-scale.mid"); // 4000 ms
const QByteArray NotMidi = TestMidi("jazzsoft__test-not-a-midi-file.mid");
const QByteArray OtherFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
const QByteArray MissingFont = "/nonexistent/font.sf2";

// Whether the SoundFont was taken, once the sequencer has answered.
int chooseSoundFont(ISequencer &s, const QByteArray &path)
{
    std::promise<QString> answer;
    s.setSoundFont(path, [&](const QString &error) { answer.set_value(error); });
    return int(answer.get_future().get().isEmpty() && s.soundFont() == path);
}

struct Step {
    std::string what;
    std::function<int(ISequencer &)> act; // its answer, where it gives one
};

// Time passes on the fake as it says; the real one renders it.
using Advance = std::function<void(int ms)>;

// `loopSong` lasts 1 s with a loop from 0.5 s to its end: 9.5 s with its loop played.
std::vector<Step> script(const Advance &advance, const QByteArray &loopSong = {})
{
    const auto wait = [advance](int ms) { return [advance, ms](ISequencer &) { advance(ms); return 0; }; };
    return {
        {"open a song", [](ISequencer &s) { return int(OpenError(s, Scale).isEmpty()); }},
        {"play", [](ISequencer &s) { return int(s.play()); }},
        {"1 s passes", wait(1000)},
        {"choose a SoundFont while playing", [](ISequencer &s) { return chooseSoundFont(s, OtherFont); }},
        {"choose one that cannot be loaded", [](ISequencer &s) { return chooseSoundFont(s, MissingFont); }},
        {"pause", [](ISequencer &s) { return int(s.pause()); }},
        {"1 s passes while paused", wait(1000)},
        {"resume", [](ISequencer &s) { return int(s.resume()); }},
        {"seek", [](ISequencer &s) { return int(s.seek(2500)); }},
        {"resume after a seek", [](ISequencer &s) { return int(s.resume()); }},
        {"play after a seek", [](ISequencer &s) { return int(s.play()); }},
        {"to the end", wait(2000)},
        {"seek beyond the end", [](ISequencer &s) { return int(s.seek(99999)); }},
        {"stop", [](ISequencer &s) { return int(s.stop()); }},
        {"open what is not a song", [](ISequencer &s) { return int(OpenError(s, NotMidi).isEmpty()); }},
        {"play with nothing open", [](ISequencer &s) { return int(s.play()); }},
        {"pause with nothing open", [](ISequencer &s) { return int(s.pause()); }},
        {"seek with nothing open", [](ISequencer &s) { return int(s.seek(10)); }},
        {"open again", [](ISequencer &s) { return int(OpenError(s, Scale).isEmpty()); }},
        {"loops on, for the next song", [](ISequencer &s) { s.setPlayLoops(true); return 0; }},
        {"open a song with a loop", [loopSong](ISequencer &s) { return int(OpenError(s, loopSong).isEmpty()); }},
        {"play it through", [advance](ISequencer &s) { s.play(); advance(9500); return 0; }},
        {"loops off, for the next song", [](ISequencer &s) { s.setPlayLoops(false); return 0; }},
        {"open it again", [loopSong](ISequencer &s) { return int(OpenError(s, loopSong).isEmpty()); }},
        {"close", [](ISequencer &s) { s.close(); return 0; }},
        {"stop after close", [](ISequencer &s) { return int(s.stop()); }},
    };
}

struct Observed {
    int answer;
    TPlayerMode mode;
    int position;
    int length;
    int ends; // calls of the song-end handler so far
    bool operator==(const Observed &) const = default;
};

std::vector<Observed> run(ISequencer &s, const Advance &advance, const QByteArray &loopSong)
{
    int ends = 0;
    s.setSongEndHandler([&] { ++ends; });
    std::vector<Observed> seen;
    for (const Step &step : script(advance, loopSong))
        seen.push_back({step.act(s), s.mode(), s.position(), s.length(), ends});
    s.setSongEndHandler({});
    return seen;
}

TEST(SequencerContract, TheFakeAnswersAsTheRealOneDoes)
{
    QTemporaryDir dir;
    const QByteArray loopSong = dir.filePath(QStringLiteral("loop.mid")).toLocal8Bit();
    TrackBuilder t;
    t.at(0, {0x90, 60, 100}).at(96, {0xB0, 111, 0}).at(96, {0x80, 60, 0}).end(0);
    ASSERT_TRUE(WriteFile(QString::fromLocal8Bit(loopSong), Smf(0, 96, {t})));

    FluidSequencer real(RenderOptions());
    RenderClock clock(&real);
    const std::vector<Observed> expected = run(real, [&](int ms) { clock.renderMs(ms); }, loopSong);

    FakeSequencer::Shared shared;
    shared.lengths.insert(Scale, 4000);
    shared.lengths.insert(loopSong, 1000);
    shared.loopLengths.insert(loopSong, 9500);
    shared.openErrors.insert(NotMidi, QStringLiteral("The file is not a MIDI file."));
    shared.soundFontErrors.insert(MissingFont, QStringLiteral("No SoundFont was found."));
    FakeSequencer fake(&shared);
    const std::vector<Observed> seen = run(fake, [&](int ms) { FakeSequencer::advance(&shared, ms); }, loopSong);

    const std::vector<Step> steps = script({});
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(seen[i].answer, expected[i].answer) << steps[i].what;
        EXPECT_EQ(int(seen[i].mode), int(expected[i].mode)) << steps[i].what;
        EXPECT_EQ(seen[i].position, expected[i].position) << steps[i].what;
        EXPECT_EQ(seen[i].length, expected[i].length) << steps[i].what;
        EXPECT_EQ(seen[i].ends, expected[i].ends) << steps[i].what;
    }
}

} // namespace
