// The fake sequencer that the window tests play through must keep the real
// one's rules: the same calls on both give the same answers and states.
#include "readattempt.h"
#include "renderclock.h"
#include "smfbuilder.h"
#include "support/fakesequencer.h"

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

std::vector<Step> script(const Advance &advance)
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

std::vector<Observed> run(ISequencer &s, const Advance &advance)
{
    int ends = 0;
    s.setSongEndHandler([&] { ++ends; });
    std::vector<Observed> seen;
    for (const Step &step : script(advance))
        seen.push_back({step.act(s), s.mode(), s.position(), s.length(), ends});
    s.setSongEndHandler({});
    return seen;
}

TEST(SequencerContract, TheFakeAnswersAsTheRealOneDoes)
{
    FluidSequencer real(RenderOptions());
    RenderClock clock(&real);
    const std::vector<Observed> expected = run(real, [&](int ms) { clock.renderMs(ms); });

    FakeSequencer::Shared shared;
    shared.lengths.insert(Scale, 4000);
    shared.openErrors.insert(NotMidi, QStringLiteral("The file is not a MIDI file."));
    shared.soundFontErrors.insert(MissingFont, QStringLiteral("No SoundFont was found."));
    FakeSequencer fake(&shared);
    const std::vector<Observed> seen = run(fake, [&](int ms) { FakeSequencer::advance(&shared, ms); });

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
