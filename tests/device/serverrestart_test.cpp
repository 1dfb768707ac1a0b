// The real output meets a sound server that goes away while a song plays and
// comes back: the song holds where it was heard, and goes on from there.
#include "device/pulseoutput.h"
#include "readattempt.h"
#include "renderclock.h"
#include "soundserver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

const QByteArray Corpus = QUAVETTE_TEST_DATA "/midi/";

TEST(RetryDelay, GrowsToALimitAndStartsOverOnceBack)
{
    RetryDelay delay;
    std::vector<int> waits;
    for (int i = 0; i < 7; ++i)
        waits.push_back(delay.next());
    EXPECT_EQ(waits, (std::vector<int>{100, 200, 400, 800, 1600, 3200, 3200}));
    delay.reset();
    EXPECT_EQ(delay.next(), 100);
}

TEST(ServerRestart, TheSongHoldsWhereHeardAndGoesOnOnceTheServerIsBack)
{
    SoundServer server;
    if (!server.running())
        GTEST_SKIP() << "PulseAudio could not be started";
    FluidSequencer::Options options;
    options.soundFont = TestSoundFont;
    FluidSequencer seq(options);
    std::atomic<int> ends{0};
    seq.setSongEndHandler([&] { ++ends; });
    ASSERT_EQ(OpenError(seq, Corpus + "tonejs__concerto_for_orchestra_1.mid"), QString());
    ASSERT_GT(seq.length(), 5000);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(seq.play());
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));

    ASSERT_TRUE(server.kill());
    const auto killed = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const int held = seq.position();
    // Nothing was heard after the kill: the song holds at or before it.
    const auto heardMs = std::chrono::duration_cast<std::chrono::milliseconds>(killed - started).count();
    EXPECT_LE(held, heardMs + 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(seq.position(), held) << "the position ran on in silence";
    EXPECT_EQ(seq.mode(), TPlayerMode::pmPlaying);

    ASSERT_TRUE(server.start());
    EXPECT_TRUE(SoundServer::waitFor([&] { return seq.position() > held + 300; }, 10)) << "never went on";
    EXPECT_EQ(server.streams(), 1);
    // The end is reached and reported, so that a playlist moves on.
    ASSERT_TRUE(seq.seek(seq.length() - 300));
    ASSERT_TRUE(seq.play());
    EXPECT_TRUE(SoundServer::waitFor([&] { return ends == 1; }, 5));
}

} // namespace
