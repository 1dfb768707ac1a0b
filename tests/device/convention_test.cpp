// Songs written for GM, GM2, GS and XG, built here: which convention each is
// known by, and renders of the real sequencer that must sound alike.
#include "device/fluidsequencer.h"
#include "readattempt.h"
#include "device/song.h"
#include "device/songlistrender.h"
#include "renderclock.h"
#include "smfbuilder.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// FluidSynth plays events at the start of its blocks of 64 frames. A tick of
// 0.64 s is 441 blocks at 44.1 kHz: every event of these songs falls on a
// block, and every song ends on one, so that a song's notes fall on the same
// frames alone and after another.
constexpr int UsPerTick = 640000;
constexpr std::size_t FramesPerTick = 28224;

const Bytes GmOn{0x7E, 0x7F, 0x09, 0x01, 0xF7};
const Bytes Gm2On{0x7E, 0x7F, 0x09, 0x03, 0xF7};
const Bytes GsReset{0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
const Bytes XgOn{0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};

// GS "use for rhythm part" for song channel 0..8.
Bytes GsRhythmPart(int channel, std::uint8_t device = 0x10)
{
    const std::uint8_t address = std::uint8_t(0x11 + channel);
    const int sum = 0x40 + address + 0x15 + 0x02;
    return {0x41, device, 0x42, 0x12, 0x40, address, 0x15, 0x02, std::uint8_t((128 - sum % 128) % 128), 0xF7};
}

TrackBuilder Opening(const std::vector<Bytes> &sysex, std::initializer_list<std::initializer_list<std::uint8_t>> setup)
{
    TrackBuilder t;
    t.tempo(0, UsPerTick);
    for (const Bytes &s : sysex)
        t.sysex(0, 0xF0, s);
    for (const auto &e : setup)
        t.at(0, e);
    return t;
}

// Two bars of kick, snare and hi-hat on `drums`, over a tune on channel 2:
// eight ticks.
TrackBuilder Beat(TrackBuilder t, std::uint8_t drums)
{
    const std::uint8_t on = std::uint8_t(0x90 | drums), off = std::uint8_t(0x80 | drums);
    for (int beat = 0; beat < 8; ++beat) {
        const std::uint8_t note = beat % 2 ? 38 : 36;
        const std::uint8_t tune = std::uint8_t(60 + (beat * 5) % 12);
        t.at(0, {on, note, 110}).at(0, {on, 42, 80}).at(0, {0x92, tune, 90});
        t.at(1, {off, note, 0}).at(0, {off, 42, 0}).at(0, {0x82, tune, 0});
    }
    return t;
}

class Conventions : public ::testing::Test
{
protected:
    QByteArray write(const std::string &name, TrackBuilder track)
    {
        const QString path = dir.filePath(QString::fromStdString(name));
        EXPECT_TRUE(WriteFile(path, Smf(0, 1, {track})));
        return path.toLocal8Bit();
    }

    // The list rendered as the player plays it; the audio from the start of
    // its last song on.
    std::vector<float> lastSong(const std::vector<QByteArray> &songs)
    {
        FluidSequencer seq(RenderOptions());
        std::vector<float> out;
        const auto keep = [&](std::size_t song, const float *left, const float *right, int frames) {
            for (int i = 0; song + 1 == songs.size() && i < frames; ++i)
                out.push_back(0.5f * (left[i] + right[i]));
            return true;
        };
        EXPECT_TRUE(RenderSongList(seq, songs, keep));
        return out;
    }

    QTemporaryDir dir;
};

TEST(ConventionOfASong, NamedByItsResetOrInferred)
{
    struct Case {
        const char *name;
        std::vector<Bytes> sysex;
        std::initializer_list<std::initializer_list<std::uint8_t>> events;
        Convention expected;
        std::uint8_t device = 0x10;
    };
    const Case cases[] = {
        {"GM System On", {GmOn}, {}, Convention::GM},
        {"GM2 System On", {Gm2On}, {}, Convention::GM2},
        {"GS Reset", {GsReset}, {}, Convention::GS},
        {"XG System On", {XgOn}, {}, Convention::XG},
        {"GM System On, then the song's own reset", {GmOn, XgOn}, {}, Convention::XG},
        {"a drum kit by bank on channel 1", {}, {{0xB0, 0, 127}, {0xC0, 0}}, Convention::XG},
        {"a variation by bank LSB", {}, {{0xB3, 32, 3}, {0xC3, 4}}, Convention::XG},
        {"a GS part parameter", {GsRhythmPart(1, 0x11)}, {}, Convention::GS, 0x11},
        {"a bank MSB on the drum channel only", {}, {{0xB9, 0, 127}, {0xC9, 0}}, Convention::None},
        {"nothing", {}, {}, Convention::None},
    };
    for (const Case &c : cases) {
        TrackBuilder t = Opening(c.sysex, c.events);
        std::string error;
        const auto file = Attempt([&] { return MidiFile::parse(Smf(0, 1, {Beat(t, 9).end(0)})); }, &error);
        ASSERT_TRUE(file) << error;
        const auto song = Attempt([&] { return Song::fromFile(*file); }, &error);
        ASSERT_TRUE(song) << error;
        EXPECT_EQ(song->style().convention, c.expected) << c.name;
        EXPECT_EQ(song->style().deviceId, c.device) << c.name;
    }
}

// Each pair of lists must sound the same from the start of its last song.
// FluidSynth's reverb and chorus modulate on a clock of their own, and a
// voice it reuses starts a little differently: a song after another differs
// from it alone by 1 to 3 % (RMS), where a leak of any one setting (a bend
// range, a volume, a reverb send, a pedal, a fine tuning) makes 15 to 75 %.
constexpr double Tolerance = 0.05;
TEST_F(Conventions, SongsSoundAsTheirConventionSays)
{
    // An XG song that leaves everything changed: master volume and tuning,
    // a wide pitch-bend range and an NRPN, channel 3 turned into a kit, full
    // effect sends, and a pedal held at its end.
    TrackBuilder leaver = Beat(Opening({XgOn, {0x7F, 0x7F, 0x04, 0x01, 0x00, 0x10, 0xF7},
                                     {0x7F, 0x7F, 0x04, 0x03, 0x00, 0x50, 0xF7}},
                                    {{0xB2, 0, 127}, {0xC2, 0}, {0xB2, 101, 0}, {0xB2, 100, 0}, {0xB2, 6, 24},
                                     {0xB2, 99, 120}, {0xB2, 98, 8}, {0xB2, 6, 0}, {0xB2, 91, 127}, {0xB2, 93, 127}}),
                               2);
    leaver.at(0, {0xB2, 64, 127}).at(0, {0xB9, 64, 127}).end(6);
    const TrackBuilder plain = Beat(Opening({}, {{0xE2, 0, 0x60}}), 9).end(0);
    const TrackBuilder silent = Opening({}, {}).end(1);
    const TrackBuilder mono = Beat(Opening({}, {{0xB0, 126, 0}}), 9).end(2);

    struct Case {
        const char *name;
        std::vector<TrackBuilder> first, second;
    };
    const Case cases[] = {
        {"a GS rhythm part off channel 10", {Beat(Opening({GsReset, GsRhythmPart(1)}, {}), 1).end(0)},
         {Beat(Opening({GsReset}, {}), 9).end(0)}},
        {"an XG kit by bank 127 on channel 1", {Beat(Opening({XgOn}, {{0xB0, 0, 127}, {0xC0, 25}}), 0).end(0)},
         {Beat(Opening({XgOn}, {{0xC9, 25}}), 9).end(0)}},
        {"an XG drum part set by SysEx on channel 1",
         {Beat(Opening({XgOn, {0x43, 0x10, 0x4C, 0x08, 0x00, 0x07, 0x01, 0xF7}}, {{0xC0, 25}}), 0).end(0)},
         {Beat(Opening({XgOn}, {{0xC9, 25}}), 9).end(0)}},
        {"an XG SFX kit by bank 126 on channel 1", {Beat(Opening({XgOn}, {{0xB0, 0, 126}, {0xC0, 0}}), 0).end(0)},
         {Beat(Opening({XgOn}, {{0xC9, 56}}), 9).end(0)}},
        {"a GM2 kit by bank 120 on channel 1", {Beat(Opening({Gm2On}, {{0xB0, 0, 120}, {0xC0, 25}}), 0).end(0)},
         {Beat(Opening({Gm2On}, {{0xC9, 25}}), 9).end(0)}},
        {"an XG variation the SoundFont lacks", {Beat(Opening({XgOn}, {{0xB2, 32, 3}, {0xC2, 4}}), 9).end(0)},
         {Beat(Opening({XgOn}, {{0xC2, 4}}), 9).end(0)}},
        {"a song after one that leaves state behind", {leaver, plain}, {plain}},
        // The fourth song plays on the synthesiser's first channels, where
        // FluidSynth takes mono mode for every channel.
        {"a song after one that turns mono mode on", {silent, silent, silent, mono, plain}, {plain}},
    };
    for (const Case &c : cases) {
        std::vector<QByteArray> first, second;
        for (const TrackBuilder &t : c.first)
            first.push_back(write(std::to_string(first.size()) + "a.mid", t));
        for (const TrackBuilder &t : c.second)
            second.push_back(write(std::to_string(second.size()) + "b.mid", t));
        const std::vector<float> a = lastSong(first), b = lastSong(second);
        ASSERT_GE(std::min(a.size(), b.size()), 8 * FramesPerTick) << c.name;
        ASSERT_GT(RenderClock::rms(a), 10 * SilentRms) << c.name;
        std::vector<float> difference(std::min(a.size(), b.size()));
        for (std::size_t i = 0; i < difference.size(); ++i)
            difference[i] = a[i] - b[i];
        EXPECT_LT(RenderClock::rms(difference), Tolerance * RenderClock::rms(a)) << c.name;
    }
}

// A seek chases the kit a bank chose, as it chases programs.
TEST_F(Conventions, SeekKeepsTheKitsOfTheConvention)
{
    FluidSequencer seq(RenderOptions());
    RenderClock clock(&seq);
    for (const Bytes &reset : {XgOn, Gm2On}) {
        const std::uint8_t bank = reset == XgOn ? 127 : 120;
        ASSERT_EQ(OpenError(seq, write("kit.mid", Beat(Opening({reset}, {{0xB0, 0, bank}, {0xC0, 25}}), 0).end(0))), QString());
        ASSERT_TRUE(seq.seek(2000)); // in the third beat
        ASSERT_TRUE(seq.play());
        clock.renderFrames(64);
        EXPECT_EQ(seq.channelState(0).bank, 128) << int(bank);
        EXPECT_EQ(seq.channelState(0).program, 25) << int(bank);
    }
}

} // namespace
