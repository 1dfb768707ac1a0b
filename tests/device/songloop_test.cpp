// Songs with a loop marked in them, played with loops on: found from each
// kind of marker, and heard from the real sequencer as intro, two passes and
// a fading pass, with the music after the loop never played.
#include "device/song.h"
#include "readattempt.h"
#include "renderclock.h"
#include "smfbuilder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace {

// One tick is one millisecond: 500 ticks a quarter at 120 beats a minute.
constexpr int Division = 500;

struct Timed {
    std::uint32_t ms;
    Bytes bytes;
};

Bytes Meta(std::uint8_t type, const std::string &text)
{
    Bytes b{0xFF, type};
    Append(b, Vlq(std::uint32_t(text.size())));
    for (const char c : text)
        b.push_back(std::uint8_t(c));
    return b;
}

Bytes SongOf(std::vector<Timed> events, std::uint32_t endMs)
{
    std::stable_sort(events.begin(), events.end(), [](const Timed &a, const Timed &b) { return a.ms < b.ms; });
    TrackBuilder t;
    t.tempo(0, 500000);
    std::uint32_t at = 0;
    for (const Timed &e : events) {
        Append(t.data, Vlq(e.ms - at));
        Append(t.data, e.bytes);
        at = e.ms;
    }
    t.end(endMs - at);
    return Smf(0, Division, {t});
}

// Three notes a song that loops from 1 s to 2 s: the intro's, the loop's
// (held through the whole loop) and the one struck at the loop's end.
constexpr int IntroKey = 60, BodyKey = 66, OutroKey = 75;
constexpr int LoopStart = 1000, LoopEnd = 2000;

std::vector<Timed> Notes(std::uint32_t songEnd)
{
    std::vector<Timed> notes = {
        {0, {0x90, IntroKey, 100}},  {400, {0x80, IntroKey, 0}},   {LoopStart, {0x90, BodyKey, 100}},
        {LoopEnd, {0x80, BodyKey, 0}}, {LoopEnd, {0x90, OutroKey, 100}},
    };
    if (songEnd > LoopEnd + 400)
        notes.push_back({LoopEnd + 400, {0x80, OutroKey, 0}});
    return notes;
}

double Frequency(int key)
{
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

// The amplitude of the key's fundamental in [fromMs, toMs) of `mix`.
double Tone(const std::vector<float> &mix, int key, int fromMs, int toMs)
{
    const std::size_t from = std::size_t(fromMs) * 44100 / 1000;
    const std::size_t to = std::min(mix.size(), std::size_t(toMs) * 44100 / 1000);
    if (from >= to)
        return 0;
    const double w = 2 * std::numbers::pi * Frequency(key) / 44100;
    const double k = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double s0 = mix[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    return 2 * std::sqrt(std::max(0.0, power)) / double(to - from);
}

// A note sounds well above this; a note not played stays well below it.
constexpr double Heard = 0.002;

class SongLoops : public ::testing::Test
{
protected:
    SongLoops() : seq(loopOptions()), clock(&seq) {}

    static FluidSequencer::Options loopOptions()
    {
        FluidSequencer::Options o = RenderOptions();
        o.playLoops = true;
        return o;
    }

    QByteArray write(const std::string &name, const Bytes &bytes)
    {
        const QString path = dir.filePath(QString::fromStdString(name) + QStringLiteral(".mid"));
        EXPECT_TRUE(WriteFile(path, bytes));
        return path.toLocal8Bit();
    }

    QTemporaryDir dir;
    FluidSequencer seq;
    RenderClock clock;
};

struct MarkerCase {
    const char *kind;
    std::vector<Timed> marks;
    std::uint32_t songEnd;
};

const MarkerCase Markers[] = {
    {"marker", {{LoopStart, Meta(0x06, "loopStart")}, {LoopEnd, Meta(0x06, "loopEnd")}}, 3000},
    {"cue_point", {{LoopStart, Meta(0x07, "LOOPSTART")}, {LoopEnd, Meta(0x07, "LoopEnd")}}, 3000},
    {"controller_111", {{LoopStart, {0xB1, 111, 0}}}, LoopEnd},
    {"controllers_116_117", {{LoopStart, {0xB2, 116, 127}}, {LoopEnd, {0xB2, 117, 127}}}, 3000},
};

TEST_F(SongLoops, EachMarkerKindPlaysTheIntroOnceTheLoopInEveryPassAndNeverTheOutro)
{
    for (const MarkerCase &c : Markers) {
        SCOPED_TRACE(c.kind);
        std::vector<Timed> events = Notes(c.songEnd);
        events.insert(events.end(), c.marks.begin(), c.marks.end());
        const QByteArray path = write(c.kind, SongOf(events, c.songEnd));

        const Song song = Song::load(path.toStdString());
        ASSERT_EQ(song.loopUs(), Song::Loop(LoopStart * 1000, LoopEnd * 1000));
        ASSERT_EQ(OpenError(seq, path), QString());
        constexpr int Length = LoopStart + 2 * (LoopEnd - LoopStart) + 8000;
        EXPECT_EQ(seq.length(), Length);
        ASSERT_TRUE(seq.play());
        const auto mix = clock.renderMs(Length - 10);
        EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);
        clock.renderMs(20);
        EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
        EXPECT_EQ(seq.position(), Length);
        EXPECT_LT(RenderClock::rms(clock.renderMs(300)), SilentRms) << "faded out, nothing rings on";

        EXPECT_GT(Tone(mix, IntroKey, 100, 400), Heard);
        double previous = 1;
        for (int pass = 0; pass < 10; ++pass) {
            SCOPED_TRACE(pass);
            const int from = LoopStart + pass * (LoopEnd - LoopStart);
            const double body = Tone(mix, BodyKey, from + 100, from + 600);
            EXPECT_LT(Tone(mix, OutroKey, from, from + 500), Heard / 4);
            if (pass >= 1) {
                EXPECT_LT(Tone(mix, IntroKey, from, from + 500), Heard / 4);
            }
            if (pass < 2) {
                EXPECT_GT(body, Heard);
                // The note held to the loop's end is struck again at once.
                for (int ms = from + 980; ms < from + 1020; ms += 5)
                    EXPECT_GT(RenderClock::rms(mix, std::size_t(ms) * 441 / 10, std::size_t(ms + 5) * 441 / 10), 20 * SilentRms) << ms;
            } else { // fading
                EXPECT_LT(body, previous * (pass == 2 ? 1.0 : 0.95));
            }
            previous = body;
        }
    }
}

TEST_F(SongLoops, WithLoopsOffTheSongPlaysAsItStands)
{
    std::vector<Timed> events = Notes(3000);
    events.insert(events.end(), Markers[0].marks.begin(), Markers[0].marks.end());
    const QByteArray path = write("marker", SongOf(events, 3000));
    seq.setPlayLoops(false);
    ASSERT_EQ(OpenError(seq, path), QString());
    EXPECT_EQ(seq.length(), 3000);
    ASSERT_TRUE(seq.play());
    const auto mix = clock.renderMs(3000);
    EXPECT_EQ(seq.mode(), TPlayerMode::pmStopped);
    EXPECT_GT(Tone(mix, OutroKey, LoopEnd + 100, LoopEnd + 400), Heard);
    EXPECT_LT(Tone(mix, BodyKey, LoopEnd + 500, LoopEnd + 1000), Heard / 4);
}

TEST_F(SongLoops, MarksThatMakeNoLoopAreIgnored)
{
    const struct {
        const char *name;
        std::vector<Timed> marks;
    } cases[] = {
        {"end_before_start", {{LoopEnd, Meta(0x06, "loopStart")}, {LoopStart, Meta(0x06, "loopEnd")}}},
        {"shorter_than_100ms", {{LoopStart, Meta(0x06, "loopStart")}, {LoopStart + 99, Meta(0x06, "loopEnd")}}},
        {"controllers_end_first", {{LoopEnd, {0xB0, 116, 0}}, {LoopStart, {0xB0, 117, 0}}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Timed> events = Notes(3000);
        events.insert(events.end(), c.marks.begin(), c.marks.end());
        const QByteArray path = write(c.name, SongOf(events, 3000));
        EXPECT_EQ(Song::load(path.toStdString()).loopUs(), std::nullopt);
        ASSERT_EQ(OpenError(seq, path), QString());
        EXPECT_EQ(seq.length(), 3000);
    }
}

TEST_F(SongLoops, ASeekIntoTheFadeFallsOnThatPassAtItsGain)
{
    std::vector<Timed> events = Notes(3000);
    events.insert(events.end(), Markers[0].marks.begin(), Markers[0].marks.end());
    ASSERT_EQ(OpenError(seq, write("marker", SongOf(events, 3000))), QString());
    const auto bodyAfterSeek = [&](int ms) {
        EXPECT_TRUE(seq.seek(ms));
        EXPECT_TRUE(seq.play());
        const auto mix = clock.renderMs(400);
        EXPECT_EQ(seq.position(), ms + 400);
        return Tone(mix, BodyKey, 100, 400);
    };
    const double full = bodyAfterSeek(LoopEnd + 200);         // second pass
    const double faded = bodyAfterSeek(LoopEnd + 7 * 1000 + 200); // gain 0.15 to 0.2
    EXPECT_GT(full, Heard);
    EXPECT_GT(faded, full * 0.1);
    EXPECT_LT(faded, full * 0.3);
}

// Programs and controllers at each pass's start are those the song had at
// the loop's start, whatever the loop changed after it.
TEST_F(SongLoops, EachPassStartsFromTheStateAtTheLoopStart)
{
    std::vector<Timed> events = Notes(3000);
    events.insert(events.end(), Markers[0].marks.begin(), Markers[0].marks.end());
    events.insert(events.end(), {{0, {0xC0, 19}}, {0, {0xB0, 7, 90}}, {LoopStart + 500, {0xC0, 40}},
                                 {LoopStart + 500, {0xB0, 7, 30}}});
    ASSERT_EQ(OpenError(seq, write("state", SongOf(events, 3000))), QString());
    ASSERT_TRUE(seq.play());
    clock.renderMs(LoopStart + 600);
    EXPECT_EQ(seq.channelState(0).program, 40);
    EXPECT_EQ(seq.channelState(0).volume, 30);
    clock.renderMs(LoopEnd - (LoopStart + 600) + 100); // the second pass's first 100 ms
    EXPECT_EQ(seq.channelState(0).program, 19);
    EXPECT_EQ(seq.channelState(0).volume, 90);
}

} // namespace
