// The playback engine over the fake sequencer: the state machine, the enable
// and title tables, moving through the list, the tick and its failures.
#include "support/playbackfixture.h"
#include "support/windowparts.h"

#include "gui/widgets/playlistview.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <set>

namespace {

class PlaybackEngine : public PlaybackFixture
{
};

TEST_F(PlaybackEngine, EmptyPlaylistIgnoresEveryTransportCommand)
{
    start();
    Part<QPushButton>(*m, "Btn_Play")->click();
    Part<QPushButton>(*m, "Btn_Next")->click();
    Part<QPushButton>(*m, "Btn_Back")->click();
    c->Btn_Play->click();
    m->VMusicListDblClick();
    EXPECT_TRUE(device.calls.isEmpty());
    EXPECT_TRUE(messages.boxes.isEmpty());
    EXPECT_EQ(state(), "Idle");
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
}

TEST_F(PlaybackEngine, PlayWithoutSelectionStartsRowZeroAndFillsTheController)
{
    const auto paths = songs(2);
    start(paths);
    device.defaultLength = 4321;
    Part<QPushButton>(*m, "Btn_Play")->click();

    EXPECT_EQ(device.calls, QStringList({QStringLiteral("open:") + QString::fromUtf8(paths[0]), QStringLiteral("play")}));
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(m->SelectedRow(), 0);
    EXPECT_EQ(Part<PlaylistView>(*m, "VMusicList")->currentIndex().row(), 0);
    EXPECT_EQ(CurrentIndex, 0);
    EXPECT_EQ(CurrentSongPath, paths[0]);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - s0.mid"));
    EXPECT_EQ(m->windowIconText(), QStringLiteral("s0.mid"));
    EXPECT_EQ(c->Scr_Time->maximum(), 4321);
    EXPECT_EQ(c->Scr_change->maximum(), 4321);
    EXPECT_EQ(c->Lbl_ToTime->text(), QStringLiteral("0/4321"));
    EXPECT_TRUE(c->Btn_pause->isEnabled());
}

TEST_F(PlaybackEngine, EnableTableColumnByColumn)
{
    start(songs(2));
    struct Step {
        const char *what;
        std::function<void()> act;
        std::string state;
        bool ctrlPause;
    };
    const Step steps[] = {
        {"play", [&] { Part<QPushButton>(*m, "Btn_Play")->click(); }, "Playing", true},
        {"pause", [&] { Part<QPushButton>(*m, "Btn_pause")->click(); }, "Paused", false},
        {"stop leaves the controller's pause alone", [&] { Part<QPushButton>(*m, "Btn_Stop")->click(); }, "Idle", false},
        {"play again", [&] { Part<QPushButton>(*m, "Btn_Play")->click(); }, "Playing", true},
        {"play while playing resumes", [&] { Part<QPushButton>(*m, "Btn_Play")->click(); }, "Playing", true},
        {"stop", [&] { Part<QPushButton>(*m, "Btn_Stop")->click(); }, "Idle", true},
        {"stop while idle", [&] { c->Btn_Stop->click(); }, "Idle", true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(state(), step.state);
        EXPECT_EQ(c->Btn_pause->isEnabled(), step.ctrlPause);
    }
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(PlaybackEngine, PauseThenPlayContinuesFromThePausePoint)
{
    start(songs(1));
    c->show(); // a hidden controller is left alone
    Part<QPushButton>(*m, "Btn_Play")->click();
    FakeSequencer::advance(&device, 3000);
    Part<QPushButton>(*m, "Btn_pause")->click();
    m->Tmr1Timer(); // a paused song is not at its end
    EXPECT_EQ(state(), "Paused");
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("3000/10000"));

    const auto from = device.calls.size();
    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("resume")}));
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(device.position, 3000);
    EXPECT_TRUE(c->Btn_pause->isEnabled());
}

TEST_F(PlaybackEngine, TitlesFollowPlayTickAndStop)
{
    start(songs(2));
    c->show(); // a hidden controller is left alone
    Part<QAction>(*m, "showposition1")->setChecked(true);
    playRow(1);
    FakeSequencer::advance(&device, 1234);
    m->Tmr1Timer();
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - 1234/10000 - s1.mid"));
    EXPECT_EQ(m->windowIconText(), QStringLiteral("s1.mid"));
    EXPECT_EQ(c->Scr_Time->value(), 1234);
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("1234/10000"));

    const auto from = device.calls.size();
    Part<QPushButton>(*m, "Btn_Stop")->click();
    EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("stop"), QStringLiteral("close")}));
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
    EXPECT_EQ(m->windowIconText(), QStringLiteral("Quavette"));
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("Stopped"));
    EXPECT_EQ(c->Scr_Time->maximum(), 0);
    EXPECT_EQ(c->Scr_Time->value(), 0);
    EXPECT_EQ(m->SelectedRow(), 1);
    EXPECT_EQ(CurrentIndex, 1);

    // With a playlist file current, Stop names it.
    CurrentListFile = "/lists/evening.qvt";
    Part<QPushButton>(*m, "Btn_Play")->click();
    Part<QPushButton>(*m, "Btn_Stop")->click();
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - /lists/evening.qvt"));
    EXPECT_EQ(m->windowIconText(), m->Title());
}

TEST_F(PlaybackEngine, TickWithoutShowPositionLeavesTheTitleAndReselectsThePlayingRow)
{
    start(songs(3));
    c->show(); // a hidden controller is left alone
    playRow(2);
    m->ClearRowSelection();
    FakeSequencer::advance(&device, 500);
    m->Tmr1Timer();
    EXPECT_EQ(m->SelectedRow(), 2);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - s2.mid"));
    EXPECT_EQ(c->Lbl_time->text(), QStringLiteral("500/10000"));
}

TEST_F(PlaybackEngine, UncheckingShowPositionWhileASongIsLoadedRestoresTheSongTitle)
{
    for (const bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "playing");
        start(songs(2));
        c->show(); // a hidden controller is left alone
        Part<QAction>(*m, "showposition1")->trigger();
        playRow(1);
        FakeSequencer::advance(&device, 1500);
        if (paused)
            Part<QPushButton>(*m, "Btn_pause")->click();
        m->Tmr1Timer();
        ASSERT_EQ(m->Title(), QStringLiteral("Quavette - 1500/10000 - s1.mid"));

        Part<QAction>(*m, "showposition1")->trigger();
        EXPECT_FALSE(Part<QAction>(*m, "showposition1")->isChecked());
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette - s1.mid"));
        EXPECT_EQ(m->windowIconText(), QStringLiteral("s1.mid"));

        FakeSequencer::advance(&device, 500);
        m->Tmr1Timer();
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette - s1.mid")) << "a later tick brought the position back";
        EXPECT_EQ(c->Lbl_time->text(), paused ? QStringLiteral("1500/10000") : QStringLiteral("2000/10000"));
    }
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(PlaybackEngine, UncheckingShowPositionWithNoRowSelectedKeepsTheTitle)
{
    start(songs(2));
    Part<QAction>(*m, "showposition1")->trigger();
    playRow(1);
    FakeSequencer::advance(&device, 800);
    m->Tmr1Timer();
    m->ClearRowSelection();
    Part<QAction>(*m, "showposition1")->trigger();
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - 800/10000 - s1.mid"));
    m->Tmr1Timer(); // selects the playing row again, and leaves the title
    EXPECT_EQ(m->SelectedRow(), 1);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - 800/10000 - s1.mid"));
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(PlaybackEngine, MissingFileMessageInEitherLanguageChangesNothingElse)
{
    for (const bool english : {true, false}) {
        SCOPED_TRACE(english ? "English" : "Japanese");
        const QByteArray missing = song("gone.mid", false);
        start({missing});
        Part<QAction>(*m, "English1")->setChecked(english);
        Part<QAction>(*m, "Japanese1")->setChecked(!english);
        messages.clear();
        Part<QPushButton>(*m, "Btn_Play")->click();
        ASSERT_EQ(messages.boxes.size(), 1);
        const QString path = QString::fromUtf8(missing);
        EXPECT_EQ(messages.boxes[0].text, english ? QStringLiteral("Bad file name : ") + path
                                                  : path + QStringLiteral("が見つかりません"));
        EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("error"));
        EXPECT_EQ(messages.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_TRUE(device.calls.isEmpty());
        EXPECT_EQ(state(), "Idle");
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
        EXPECT_TRUE(CurrentSongPath.isEmpty());
        EXPECT_EQ(m->SelectedRow(), 0);
    }
}

TEST_F(PlaybackEngine, AFolderIsNotASongFile)
{
    start({QFile::encodeName(dir.path())});
    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Bad file name : ") + dir.path()}));
    EXPECT_TRUE(device.calls.isEmpty());
}

TEST_F(PlaybackEngine, UnplayableFileGivesErrorB1WithTheNewTitleAlreadyShown)
{
    const QByteArray good = song("good.mid"), bad = song("bad.mid");
    device.openErrors.insert(bad, QStringLiteral("The file is not a MIDI file."));
    start({good, bad});
    playRow(1);
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Error(b-1)")}));
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("error"));
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - bad.mid"));
    EXPECT_EQ(m->windowIconText(), QStringLiteral("bad.mid"));
    EXPECT_EQ(CurrentSongPath, bad);
    EXPECT_EQ(CurrentIndex, 1);
    EXPECT_EQ(m->MediaPlayer->FileName, bad);
    EXPECT_EQ(state(), "Idle");
    EXPECT_FALSE(c->Btn_pause->isEnabled());
}

TEST_F(PlaybackEngine, NextAndBackWrapAroundAndRestartFromTheBeginning)
{
    const auto paths = songs(3);
    struct Case {
        int from;
        bool next;
        int to;
    };
    for (const Case k : {Case{2, true, 0}, Case{0, false, 2}, Case{1, true, 2}, Case{1, false, 0}}) {
        SCOPED_TRACE(testing::Message() << k.from << (k.next ? " next" : " back"));
        start(paths);
        playRow(k.from);
        Part<QPushButton>(*m, "Btn_pause")->click(); // paused or playing, Next and Back start afresh
        const auto from = device.calls.size();
        (k.next ? Part<QPushButton>(*m, "Btn_Next") : Part<QPushButton>(*m, "Btn_Back"))->click();
        EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("stop"), QStringLiteral("close"),
                                                 QStringLiteral("open:") + QString::fromUtf8(paths[k.to]),
                                                 QStringLiteral("play")}));
        EXPECT_EQ(m->SelectedRow(), k.to);
        EXPECT_EQ(CurrentIndex, k.to);
        EXPECT_EQ(state(), "Playing");
    }
}

TEST_F(PlaybackEngine, OneEntryRestartsOnNextAndAtItsEnd)
{
    const auto paths = songs(1);
    start(paths);
    Part<QPushButton>(*m, "Btn_Play")->click();
    FakeSequencer::advance(&device, 700);
    Part<QPushButton>(*m, "Btn_Next")->click();
    EXPECT_EQ(device.position, 0);
    endSongAndTick();
    EXPECT_EQ(device.calls.count(QStringLiteral("open:") + QString::fromUtf8(paths[0])), 3);
    EXPECT_EQ(state(), "Playing");
}

TEST_F(PlaybackEngine, EndOfSongAdvancesInOrderAndWrapsToTheFirst)
{
    const auto paths = songs(3);
    start(paths);
    Part<QPushButton>(*m, "Btn_Play")->click();
    for (const int expected : {1, 2, 0}) {
        const auto from = device.calls.size();
        endSongAndTick();
        EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("close"),
                                                 QStringLiteral("open:") + QString::fromUtf8(paths[expected]),
                                                 QStringLiteral("play")}));
        EXPECT_EQ(m->SelectedRow(), expected);
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette - s%1.mid").arg(expected));
        EXPECT_EQ(state(), "Playing");
    }
}

// The sequencer's word that a song ended moves on at once, without waiting
// for the next tick.
TEST_F(PlaybackEngine, EndOfSongIsActedOnBeforeTheNextTick)
{
    const auto paths = songs(2);
    start(paths);
    Part<QPushButton>(*m, "Btn_Play")->click();
    Part<QTimer>(*m, "Tmr1")->setInterval(3600 * 1000); // no tick comes in this test
    const auto from = device.calls.size();
    FakeSequencer::finish(&device);
    QCoreApplication::processEvents();
    EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("close"),
                                             QStringLiteral("open:") + QString::fromUtf8(paths[1]),
                                             QStringLiteral("play")}));
    EXPECT_EQ(state(), "Playing");
}

// Paused, the tick stays active (it is part of the state) but sleeps once the
// displays are current, and wakes for whatever may change them: an option,
// a lost selection, the position bar moved by hand, Play.
TEST_F(PlaybackEngine, APausedTickSleepsUntilSomethingChanges)
{
    start(songs(3));
    playRow(1);
    FakeSequencer::advance(&device, 1000);
    Part<QPushButton>(*m, "Btn_pause")->click();
    const auto asleep = [&] { return QTest::qWaitFor([&] { return TickAsleep(*m); }, 2000); };
    ASSERT_TRUE(asleep());
    EXPECT_EQ(state(), "Paused");

    Part<QAction>(*m, "showposition1")->trigger();
    EXPECT_FALSE(TickAsleep(*m));
    ASSERT_TRUE(asleep());
    EXPECT_TRUE(m->Title().contains(QStringLiteral("1000/10000 - s1.mid"))) << m->Title().toStdString();

    m->ClearRowSelection();
    EXPECT_FALSE(TickAsleep(*m));
    ASSERT_TRUE(asleep());
    EXPECT_EQ(m->SelectedRow(), 1);

    c->Scr_Time->triggerAction(QAbstractSlider::SliderPageStepAdd); // the person drags the position bar
    EXPECT_FALSE(TickAsleep(*m));
    ASSERT_TRUE(asleep());
    EXPECT_EQ(c->Scr_Time->value(), 1000) << "put back where the song is";

    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_FALSE(TickAsleep(*m));
    EXPECT_EQ(state(), "Playing");
}

// Playing with neither the title nor the controller following the position,
// the tick dozes; the end of a song is still acted on at once, and showing
// the controller wakes it.
TEST_F(PlaybackEngine, APlayingTickDozesWhileNothingShowsThePosition)
{
    const auto paths = songs(2);
    start(paths);
    playRow(0);
    const auto dozing = [&] { return QTest::qWaitFor([&] { return TickAsleep(*m); }, 2000); };
    ASSERT_TRUE(dozing());
    const auto from = device.calls.size();
    FakeSequencer::finish(&device);
    QCoreApplication::processEvents();
    EXPECT_TRUE(callsSince(from).contains(QStringLiteral("open:") + QString::fromUtf8(paths[1])));
    ASSERT_TRUE(dozing());

    Part<QAction>(*m, "Showcontroller1")->trigger();
    EXPECT_FALSE(TickAsleep(*m));
    QTest::qWait(100);
    EXPECT_FALSE(TickAsleep(*m)) << "the controller shows the position";
}

TEST_F(PlaybackEngine, RepeatReplaysTheSameSongWithoutMovingTheSelection)
{
    start(songs(3));
    Part<QAction>(*m, "Loop")->trigger();
    ASSERT_TRUE(Part<QAction>(*m, "Loop")->isChecked());
    playRow(1);
    const auto from = device.calls.size();
    endSongAndTick();
    EXPECT_EQ(callsSince(from), QStringList({QStringLiteral("seek:0"), QStringLiteral("play")}));
    EXPECT_EQ(device.position, 0);
    EXPECT_EQ(m->SelectedRow(), 1);
    EXPECT_EQ(state(), "Playing");
}

TEST_F(PlaybackEngine, DeletedFileReachedAtTheEndHaltsWithOneMessage)
{
    const QByteArray a = song("a.mid"), gone = song("gone.mid", false), b = song("b.mid");
    start({a, gone, b});
    Part<QPushButton>(*m, "Btn_Play")->click();
    endSongAndTick();
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Bad file name : ") + QString::fromUtf8(gone)}));
    EXPECT_EQ(state(), "Halted");
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - a.mid"));
    m->Tmr1Timer(); // a late tick changes nothing
    EXPECT_EQ(messages.boxes.size(), 1);

    // Pause has no song to pause and says nothing.
    const auto from = device.calls.size();
    Part<QPushButton>(*m, "Btn_pause")->click();
    EXPECT_TRUE(callsSince(from).isEmpty());
    EXPECT_EQ(messages.boxes.size(), 1);

    playRow(2);
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(CurrentSongPath, b);
}

TEST_F(PlaybackEngine, StopWhileHaltedReturnsToIdleWithoutABox)
{
    start({song("a.mid"), song("gone.mid", false)});
    Part<QPushButton>(*m, "Btn_Play")->click();
    endSongAndTick();
    ASSERT_EQ(state(), "Halted");
    Part<QPushButton>(*m, "Btn_Stop")->click();
    EXPECT_EQ(state(), "Idle");
    EXPECT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
}

TEST_F(PlaybackEngine, RandomModeWithOneOrTwoEntries)
{
    start(songs(1));
    Part<QAction>(*m, "RandomMode1")->trigger();
    for (int i = 0; i < 20; ++i) {
        m->ListMove(+1);
        ASSERT_EQ(m->SelectedRow(), 0);
    }
    setPlaylist(songs(2));
    m->SelectRowAsCurrent(0);
    for (int i = 0; i < 40; ++i) {
        const int before = m->SelectedRow();
        m->ListMove(i % 2 ? -1 : +1);
        ASSERT_EQ(m->SelectedRow(), 1 - before);
        ASSERT_EQ(CurrentIndex, 1 - before);
    }
}

TEST_F(PlaybackEngine, BackInRandomModeIsRandomToo)
{
    start(songs(6));
    Part<QAction>(*m, "RandomMode1")->trigger();
    m->Random.seed(7);
    playRow(3);
    std::set<int> reached;
    for (int i = 0; i < 60; ++i) {
        const int before = m->SelectedRow();
        Part<QPushButton>(*m, "Btn_Back")->click();
        ASSERT_NE(m->SelectedRow(), before);
        reached.insert(m->SelectedRow());
    }
    EXPECT_EQ(reached.size(), 6u);
}

TEST_F(PlaybackEngine, RandomDrawIsUniformOverTheWholeList)
{
    constexpr int n = 10, draws = 20000;
    QList<QByteArray> paths;
    for (int i = 0; i < n; ++i)
        paths << "/x/" + QByteArray::number(i);
    start(paths);
    Part<QAction>(*m, "RandomMode1")->setChecked(true);
    m->Random.seed(20240607);
    int counts[n] = {};
    for (int i = 0; i < draws; ++i) {
        m->ClearRowSelection(); // with no row selected the first draw stands
        m->ListMove(+1);
        ++counts[m->SelectedRow()];
    }
    double chi2 = 0;
    for (const int k : counts)
        chi2 += std::pow(k - draws / n, 2) / (draws / n);
    EXPECT_LT(chi2, 27.88) << "chi-square, 9 degrees of freedom, p = 0.001";
}

TEST_F(PlaybackEngine, ListMoveSelectsWithoutScrollingTheView)
{
    QList<QByteArray> paths;
    for (int i = 0; i < 300; ++i)
        paths << "/x/" + QByteArray::number(i) + ".mid";
    start(paths);
    m->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m));
    m->SelectRowAsCurrent(0);
    const int top = Part<PlaylistView>(*m, "VMusicList")->verticalScrollBar()->value();
    m->ListMove(-1);
    QCoreApplication::processEvents();
    EXPECT_EQ(m->SelectedRow(), 299);
    EXPECT_EQ(Part<PlaylistView>(*m, "VMusicList")->currentIndex().row(), 299);
    EXPECT_EQ(Part<PlaylistView>(*m, "VMusicList")->verticalScrollBar()->value(), top);
    EXPECT_TRUE(Part<PlaylistView>(*m, "VMusicList")->hasAutoScroll());
}

TEST_F(PlaybackEngine, DoubleClickWhileStoppedPlaysTheClickedRow)
{
    const auto paths = songs(3);
    start(paths);
    m->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m));
    const QRect row = Part<PlaylistView>(*m, "VMusicList")->visualRect(Part<PlaylistModel>(*m, "Model")->index(2, 0));
    QTest::mouseDClick(Part<PlaylistView>(*m, "VMusicList")->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(device.openPath, paths[2]);
    EXPECT_EQ(state(), "Playing");
}

TEST_F(PlaybackEngine, AnyFileNamePlaysByItsBytes)
{
    const QByteArray shiftJis = song("\x83\x65\x83\x58\x83\x67.mid"); // "テスト" in Shift-JIS
    start({shiftJis});
    Part<QPushButton>(*m, "Btn_Play")->click();
    EXPECT_TRUE(messages.boxes.isEmpty());
    EXPECT_EQ(device.openPath, shiftJis);
    EXPECT_EQ(m->windowIconText(), QStringLiteral("テスト.mid"));
}

TEST_F(PlaybackEngine, ARecurringTickFailureShowsOneBoxAtATime)
{
    start(songs(1));
    Part<QPushButton>(*m, "Btn_Play")->click();
    m->MediaPlayer->Close(); // the song is gone behind the timer's back
    int queriesWhileOpen = -1;
    int depth = 0;
    messages.onShow = [&](const MessageRequest &) {
        if (depth++ > 0)
            return; // a second box inside the first: recorded, and the test fails
        const int before = device.statusQueries;
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        queriesWhileOpen = device.statusQueries - before;
        m->Tmr1Timer(); // a tick that does get in finds the box open
    };
    QTRY_VERIFY_WITH_TIMEOUT(!messages.boxes.isEmpty(), 2000);
    messages.onShow = nullptr;
    EXPECT_EQ(messages.texts(), QStringList({QStringLiteral("Error (t-1)")}));
    EXPECT_EQ(queriesWhileOpen, 0) << "the timer re-entered its handler while the box was open";
    EXPECT_TRUE(Part<QTimer>(*m, "Tmr1")->isActive());
    m->Tmr1Timer();
    EXPECT_EQ(messages.boxes.size(), 2); // the next failure, once the box is closed, reports again
}

} // namespace
