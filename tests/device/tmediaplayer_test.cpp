// TMediaPlayer on the real sequencer: the component's own rules (no song
// open, auto-rewind, the resume fallback) over real playback.
#include "device/tmediaplayer.h"
#include "renderclock.h"
#include "smfbuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const QByteArray Scale = TestMidi("jazzsoft__test-c-major-scale.mid"); // 4000 ms
const QByteArray Short = TestMidi("malcohol__test-length-0.mid");      // 500 ms

class MediaPlayer : public ::testing::Test
{
protected:
    MediaPlayer()
    {
        auto sequencer = std::make_unique<FluidSequencer>(RenderOptions());
        seq = sequencer.get();
        player = std::make_unique<TMediaPlayer>(std::move(sequencer));
        clock = std::make_unique<RenderClock>(seq);
    }

    void open(const QByteArray &path)
    {
        player->FileName = path;
        player->Open();
    }

    void playToEnd()
    {
        for (int i = 0; i < 1000 && player->Mode() == TPlayerMode::pmPlaying; ++i)
            clock->renderMs(50);
        ASSERT_EQ(player->Mode(), TPlayerMode::pmStopped);
        ASSERT_EQ(player->Position(), player->Length());
    }

    FluidSequencer *seq = nullptr;
    std::unique_ptr<TMediaPlayer> player;
    std::unique_ptr<RenderClock> clock;
};

const QString NoDevice = QString::fromUtf8("MCI デバイスがありません");

} // namespace

TEST_F(MediaPlayer, CommandsThatNeedASongRaiseWithNoneOpen)
{
    const std::pair<const char *, std::function<void()>> commands[] = {
        {"Play", [&] { player->Play(); }},
        {"Pause", [&] { player->Pause(); }},
        {"Resume", [&] { player->Resume(); }},
        {"Stop", [&] { player->Stop(); }},
        {"SetPosition", [&] { player->SetPosition(100); }},
        {"Length", [&] { player->Length(); }},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto &[name, command] : commands) {
            try {
                command();
                ADD_FAILURE() << name << " did not raise";
            } catch (const EMCIDeviceError &e) {
                EXPECT_EQ(e.message(), NoDevice) << name;
            }
        }
        EXPECT_EQ(player->Mode(), TPlayerMode::pmNotReady);
        EXPECT_EQ(player->Position(), 0);
        EXPECT_NO_THROW(player->SetTimeFormat(MCI_FORMAT_MILLISECONDS));
        EXPECT_NO_THROW(player->Close());
        EXPECT_FALSE(player->IsOpen());
        // The same after a song has been open and closed again.
        open(Scale);
        player->Play();
        player->Close();
    }
}

TEST_F(MediaPlayer, ARefusedFileRaisesItsTextAndLeavesThePlayerClosed)
{
    open(Scale);
    player->FileName = TestMidi("jazzsoft__test-not-a-midi-file.mid");
    try {
        player->Open();
        FAIL() << "Open did not raise";
    } catch (const EMCIDeviceError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("The file is not a MIDI file."));
    }
    EXPECT_FALSE(player->IsOpen());
    EXPECT_EQ(player->Mode(), TPlayerMode::pmNotReady);
    EXPECT_THROW(player->Play(), EMCIDeviceError);
    open(Scale);
    EXPECT_TRUE(player->IsOpen());
}

TEST_F(MediaPlayer, OpenWithoutASoundFontRaises)
{
    TMediaPlayer noFont(std::make_unique<FluidSequencer>(RenderOptions("/nonexistent/font.sf2")));
    noFont.FileName = Scale;
    try {
        noFont.Open();
        FAIL() << "Open did not raise";
    } catch (const EMCIDeviceError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("No SoundFont was found."));
    }
    EXPECT_FALSE(noFont.IsOpen());
}

TEST_F(MediaPlayer, OpenWhileOpenClosesTheFirstSong)
{
    open(Scale);
    player->Play();
    clock->renderMs(300);
    open(Short);
    EXPECT_TRUE(player->IsOpen());
    EXPECT_EQ(player->Length(), 500);
    EXPECT_EQ(player->Position(), 0);
    EXPECT_EQ(player->Mode(), TPlayerMode::pmStopped);
}

TEST_F(MediaPlayer, PlayAtTheEndStartsAgainAndElsewhereContinues)
{
    open(Short);
    player->SetTimeFormat(MCI_FORMAT_MILLISECONDS);
    player->Play();
    playToEnd();
    player->Play();
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
    EXPECT_EQ(player->Position(), 0);
    clock->renderMs(100);
    EXPECT_EQ(player->Position(), 100);

    player->SetPosition(player->Length());
    player->Play();
    EXPECT_EQ(player->Position(), 0);

    player->SetPosition(250);
    player->Play();
    clock->renderMs(100);
    EXPECT_EQ(player->Position(), 350);

    player->AutoRewind = false;
    playToEnd();
    player->Play();
    EXPECT_EQ(player->Position(), player->Length());
}

TEST_F(MediaPlayer, ResumeContinuesOrFallsBackToPlay)
{
    open(Scale);
    player->Play();
    clock->renderMs(500);
    player->Resume(); // while playing: keeps playing from where it is
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
    EXPECT_EQ(player->Position(), 500);
    EXPECT_EQ(player->LastError, 0);

    player->Pause();
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPaused);
    clock->renderMs(300);
    player->Resume();
    clock->renderMs(100);
    EXPECT_EQ(player->Position(), 600);

    player->Pause();
    player->SetPosition(2000); // the controller's "Change!" path
    EXPECT_EQ(player->Mode(), TPlayerMode::pmStopped);
    player->Resume();
    EXPECT_EQ(player->LastError, 0) << "the fallback Play succeeded";
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
    clock->renderMs(100);
    EXPECT_EQ(player->Position(), 2100);

    player->Stop();
    player->Resume();
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
    EXPECT_EQ(player->Position(), 2100);

    playToEnd();
    player->Resume(); // at the end: the fallback rewinds
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
    EXPECT_EQ(player->Position(), 0);
}

TEST_F(MediaPlayer, RepeatAfterTheEndPlaysTheSongAgainWithSound)
{
    open(Short);
    player->Play();
    playToEnd();
    clock->renderMs(2000);
    player->SetPosition(0);
    player->Play();
    const auto again = clock->renderMs(400);
    EXPECT_GT(RenderClock::rms(again), 20 * SilentRms);
    EXPECT_EQ(player->Mode(), TPlayerMode::pmPlaying);
}

TEST_F(MediaPlayer, TheSongEndHandlerIsPassedToTheSequencer)
{
    int calls = 0;
    player->setSongEndHandler([&] { ++calls; });
    open(Short);
    player->Play();
    playToEnd();
    EXPECT_EQ(calls, 1);
}
