// The player interface the rest of the program drives the main window by:
// its state read from the window's flags, and its news.
#include "support/playbackfixture.h"

#include <QSignalSpy>

namespace {

const char *name(PlayerState state)
{
    switch (state) {
    case PlayerState::Idle: return "Idle";
    case PlayerState::Playing: return "Playing";
    case PlayerState::Paused: return "Paused";
    case PlayerState::Halted: return "Halted";
    }
    return "?";
}

class PlayerInterface : public PlaybackFixture {};

TEST_F(PlayerInterface, StateIsWhatTheFlagsSay)
{
    start({song("a.mid"), song("gone.mid", false)});
    struct Step {
        const char *what;
        std::function<void()> run;
        const char *state;
    } steps[] = {
        {"start", [] {}, "Idle"},
        {"play", [&] { m->play(); }, "Playing"},
        {"pause", [&] { m->pause(); }, "Paused"},
        {"play again", [&] { m->play(); }, "Playing"},
        {"end of the song, the next is missing", [&] { endSongAndTick(); }, "Halted"},
        {"stop", [&] { m->stop(); }, "Idle"},
    };
    for (const Step &step : steps) {
        step.run();
        EXPECT_EQ(state(), step.state) << step.what;
        EXPECT_STREQ(name(m->state()), step.state) << step.what;
    }
}

TEST_F(PlayerInterface, StateChangedComesOncePerChangeAndNotFromTicks)
{
    start(songs(2));
    QSignalSpy spy(m, &TFrm_main::stateChanged);
    m->play();
    m->Tmr1Timer();
    m->Tmr1Timer();
    m->pause();
    m->pause(); // disabled: nothing happens
    m->stop();
    QStringList said;
    for (const QList<QVariant> &args : spy)
        said << QString::fromLatin1(name(args.at(0).value<PlayerState>()));
    EXPECT_EQ(said, QStringList({QStringLiteral("Playing"), QStringLiteral("Paused"), QStringLiteral("Idle")}));
}

TEST_F(PlayerInterface, CurrentSongChangedNamesEachSongStartedAndItsEnd)
{
    const auto paths = songs(2);
    start(paths);
    QList<QByteArray> songsSaid;
    QObject::connect(m, &TFrm_main::currentSongChanged, m, [&] { songsSaid << m->currentSong(); });
    m->play();
    endSongAndTick();
    m->stop();
    EXPECT_EQ(songsSaid, QList<QByteArray>({paths[0], paths[1], QByteArray()}));
}

} // namespace
