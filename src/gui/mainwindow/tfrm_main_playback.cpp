// The playback engine on the main window: Play, Pause, Stop, Next, Back, the
// move through the playlist, the polling tick, and the player interface the
// rest of the program drives them by. The player's state lives in the
// enabled flags of Tmr1, "S&top" and "Pau&se"; nothing else holds it, and
// state() reads it from them.
#include "gui/mainwindow/tfrm_main.h"

#include "core/appinfo.h"
#include "core/paths.h"
#include "core/playlist.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/messages.h"
#include "gui/widgets/playlistview.h"
#include "gui/x11window.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>

#include <cstdlib>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {

// Paused, nothing the tick shows changes: it sleeps an hour, until woken.
constexpr int SleepMs = 3600 * 1000;
// Playing with nothing on screen following the position, it ticks once a
// second; the end of a song and every command still wake it at once.
constexpr int DozeMs = 1000;

} // namespace

void TFrm_main::Btn_PlayClick()
{
    const auto note = qScopeGuard([this] { noteState(); });
    // A stored SoundFont that could not be used is told of once, at the
    // first Play.
    showSoundFontNotice();
    if (Tmr1->isActive()) {
        MediaPlayer->Resume();
        Btn_pause->setEnabled(true);
        if (Frm_ctrl)
            Frm_ctrl->SetPauseEnabled(true);
        return;
    }

    try {
        if (Playlist.Items.isEmpty())
            return;
        if (SelectedRow() < 0)
            selectRowWithoutScrolling(0);
        const int row = SelectedRow();
        const QByteArray path = RowPath(row);
        if (!IsExistingFile(path)) {
            if (English1->isChecked())
                ShowErrorMessage(QStringLiteral("Bad file name : ") + DecodePath(path));
            else
                ShowErrorMessage(DecodePath(path) + QStringLiteral("が見つかりません"));
            return;
        }

        // Before Open: a song that fails to open still names itself in the
        // title and in the globals.
        CurrentSongPath = path;
        CurrentIndex = row;
        const QString fileName = RowFileName(row);
        SetTitle(TitleWith(fileName));
        SetApplicationTitle(fileName);

        MediaPlayer->FileName = CurrentSongPath;
        MediaPlayer->Open();
        MediaPlayer->Play();

        Btn_pause->setEnabled(true);
        Btn_delete->setEnabled(false);
        Btn_clear->setEnabled(false);
        Btn_Stop->setEnabled(true);
        Clear->setEnabled(false);
        // During start-up the controller does not exist yet; its creation
        // starts the timer and fills its displays.
        if (!StartingUp)
            startTick();
        MediaPlayer->SetTimeFormat(MCI_FORMAT_MILLISECONDS);
        if (!StartingUp && Frm_ctrl)
            Frm_ctrl->ShowLoadedSong(MediaPlayer->Length());
    } catch (const std::exception &e) {
        // The box names no reason; whoever runs the program from a terminal
        // learns it there (no sound server, no SoundFont, not a song).
        std::fprintf(stderr, "quavette: Error(b-1): %s\n", e.what());
        std::fflush(stderr);
        ShowErrorMessage(QStringLiteral("Error(b-1)"));
    } catch (...) {
        ShowErrorMessage(QStringLiteral("Error(b-1)"));
    }
}

void TFrm_main::Btn_StopClick()
{
    if (!Btn_Stop->isEnabled())
        return;
    const auto note = qScopeGuard([this] { noteState(); });
    stopTick();
    if (Frm_ctrl)
        Frm_ctrl->ShowStopped();
    // Halted (the tick closed the song and could not start the next): the
    // device has nothing to stop, and the rest of Stop still applies.
    if (MediaPlayer->IsOpen())
        MediaPlayer->Stop();
    MediaPlayer->Close();

    Btn_pause->setEnabled(false);
    Btn_delete->setEnabled(true);
    Btn_clear->setEnabled(true);
    Btn_Stop->setEnabled(false);
    Clear->setEnabled(true);

    SetTitles(CurrentListFile.isEmpty() ? ApplicationName() : TitleWith(DecodePath(CurrentListFile)));
}

void TFrm_main::Btn_pauseClick()
{
    const auto note = qScopeGuard([this] { noteState(); });
    // Halted: no song to pause; the buttons still go to their paused state.
    if (MediaPlayer->IsOpen())
        MediaPlayer->Pause();
    Btn_pause->setEnabled(false);
    if (Frm_ctrl)
        Frm_ctrl->SetPauseEnabled(false);
}

void TFrm_main::Btn_NextClick()
{
    if (!Btn_Stop->isEnabled())
        return;
    Btn_StopClick();
    ListMove(+1);
    Btn_PlayClick();
}

void TFrm_main::Btn_BackClick()
{
    if (!Btn_Stop->isEnabled())
        return;
    Btn_StopClick();
    ListMove(-1);
    Btn_PlayClick();
}

void TFrm_main::ListMove(int direction)
{
    const int n = int(Playlist.Items.size());
    const int selected = SelectedRow();
    int next = 0;
    if (RandomMode1->isChecked()) {
        if (n > 0) {
            std::uniform_int_distribution<int> draw(0, n - 1);
            next = draw(Random);
            while (n >= 2 && next == selected)
                next = draw(Random);
        }
    } else if (selected >= 0) {
        next = selected + direction;
        if (next >= n)
            next = 0;
        else if (next < 0)
            next += n;
    }

    CurrentIndex = next;
    ClearRowSelection();
    selectRowWithoutScrolling(next);
}

void TFrm_main::Tmr1Timer()
{
    // A timer event may still arrive after the timer was stopped.
    if (!Tmr1->isActive())
        return;

    const auto note = qScopeGuard([this] { noteState(); });
    try {
        if (MediaPlayer->Mode() == TPlayerMode::pmStopped) {
            if (Loop->isChecked()) {
                MediaPlayer->SetPosition(0);
                MediaPlayer->Play();
                Q_EMIT positionJumped();
            } else {
                MediaPlayer->Close();
                ListMove(+1);
                // Off before Play: a box Play shows must not see further
                // advances.
                stopTick();
                Btn_PlayClick();
            }
            return;
        }

        int row = SelectedRow();
        if (row < 0) {
            selectRowWithoutScrolling(CurrentIndex);
            row = SelectedRow();
        }

        // Runs on every tick: each figure is asked for once, and only the
        // texts that change are written, in one write to the display.
        const DisplayBatch batch;
        const int position = MediaPlayer->Position();
        const int length = MediaPlayer->Length();
        if (showposition1->isChecked() && row >= 0) {
            const QString title = TitleWith(QString::number(position) + QLatin1Char('/')
                                            + QString::number(length) + QStringLiteral(" - ") + RowFileName(row));
            if (title != Title())
                SetTitle(title);
        }
        // A hidden controller is brought up to date as it comes back.
        if (Frm_ctrl && Frm_ctrl->isVisible())
            Frm_ctrl->ShowPosition(position, length);

        // Paused, the displays now show all there is until something changes.
        if (MediaPlayer->Mode() == TPlayerMode::pmPaused)
            sleepTick(SleepMs);
        else if (!positionOnScreen())
            sleepTick(DozeMs);
    } catch (...) {
        // One report at a time for a failure that recurs on every tick.
        if (m_tickBoxOpen)
            return;
        m_tickBoxOpen = true;
        ShowErrorMessage(QStringLiteral("Error (t-1)"));
        m_tickBoxOpen = false;
    }
}

void TFrm_main::VMusicListDblClick()
{
    runIfEnabled(Btn_Play, &TFrm_main::Btn_PlayClick);
}

// The check mark has toggled itself; the choice takes effect at the next
// move or the next end of a song.
void TFrm_main::RandomMode1Click()
{
    Q_EMIT optionsChanged();
}

void TFrm_main::LoopClick()
{
    Q_EMIT optionsChanged();
}

// Qt's views scroll to a new current row; the playlist view must not move
// under the user when the player picks a row.
void TFrm_main::selectRowWithoutScrolling(int row)
{
    const bool autoScroll = VMusicList->hasAutoScroll();
    VMusicList->setAutoScroll(false);
    SelectRowAsCurrent(row);
    VMusicList->setAutoScroll(autoScroll);
}

void TFrm_main::runIfEnabled(QPushButton *button, void (TFrm_main::*handler)())
{
    if (button->isEnabled())
        (this->*handler)();
}

void TFrm_main::startTick()
{
    m_tickAsleep = false;
    Tmr1->start(TickMs);
}

void TFrm_main::stopTick()
{
    m_tickAsleep = false;
    Tmr1->stop();
}

void TFrm_main::sleepTick(int ms)
{
    if (!Tmr1->isActive())
        return;
    m_tickAsleep = true;
    Tmr1->start(ms);
}

bool TFrm_main::positionOnScreen() const
{
    return showposition1->isChecked() || (Frm_ctrl && Frm_ctrl->isVisible() && !Frm_ctrl->isMinimized());
}

void TFrm_main::controllerOnScreen()
{
    wakeTick();
    if (!Tmr1->isActive() || !Frm_ctrl)
        return;
    try {
        Frm_ctrl->ShowPosition(MediaPlayer->Position(), MediaPlayer->Length());
    } catch (...) {
        // The next tick meets the same failure and reports it.
    }
}

void TFrm_main::wakeTick()
{
    if (m_tickAsleep && Tmr1->isActive())
        startTick();
}

PlayerState TFrm_main::state() const
{
    if (!Btn_Stop->isEnabled())
        return PlayerState::Idle;
    if (Tmr1->isActive())
        return Btn_pause->isEnabled() ? PlayerState::Playing : PlayerState::Paused;
    // The timer off with "S&top" on: the automatic advance could not start
    // the next song, or auto play waits for the controller to start the timer.
    if (!MediaPlayer->IsOpen())
        return PlayerState::Halted;
    return Btn_pause->isEnabled() ? PlayerState::Playing : PlayerState::Paused;
}

void TFrm_main::noteState()
{
    const PlayerState now = state();
    const QByteArray song = currentSong();
    if (now != m_state) {
        m_state = now;
        Q_EMIT stateChanged(now);
    }
    if (song != m_currentSong || (!song.isEmpty() && CurrentIndex != m_currentIndex)) {
        m_currentSong = song;
        m_currentIndex = CurrentIndex;
        Q_EMIT currentSongChanged();
    }
}

bool TFrm_main::songOpen() const
{
    return state() != PlayerState::Idle && MediaPlayer->IsOpen();
}

int TFrm_main::position() const
{
    return MediaPlayer->Position();
}

int TFrm_main::length() const
{
    return MediaPlayer->Length();
}

QByteArray TFrm_main::currentSong() const
{
    return state() == PlayerState::Idle ? QByteArray() : CurrentSongPath;
}

void TFrm_main::play()
{
    Btn_PlayClick();
}

void TFrm_main::pause()
{
    runIfEnabled(Btn_pause, &TFrm_main::Btn_pauseClick);
}

void TFrm_main::stop()
{
    runIfEnabled(Btn_Stop, &TFrm_main::Btn_StopClick);
}

void TFrm_main::next()
{
    Btn_NextClick();
}

void TFrm_main::back()
{
    Btn_BackClick();
}

void TFrm_main::skip(int steps)
{
    if (steps == 0 || !Btn_Stop->isEnabled())
        return;
    if (steps == 1 || steps == -1) {
        steps > 0 ? Btn_NextClick() : Btn_BackClick();
        return;
    }
    Btn_StopClick();
    const int n = int(Playlist.Items.size());
    // In order, the moves come round every n; at random, one draw is as good
    // as many.
    const int moves = RandomMode1->isChecked() ? 1 : (n > 0 ? std::abs(steps) % n : 0);
    for (int i = 0; i < moves; ++i)
        ListMove(steps > 0 ? +1 : -1);
    Btn_PlayClick();
}

void TFrm_main::seek(int ms)
{
    if (!songOpen())
        return;
    MediaPlayer->SetPosition(ms);
    Q_EMIT positionJumped();
}

void TFrm_main::playRow(int row)
{
    // What the view and its handlers do for a double click: the press
    // selects and focuses the row (and, while a song is loaded, switches to
    // it), then the double click plays.
    SelectRowAsCurrent(row);
    VMusicList->scrollTo(VMusicList->currentIndex());
    VMusicList->setFocus();
    VMusicListMouseDown();
    VMusicListDblClick();
}

bool TFrm_main::repeat() const
{
    return Loop->isChecked();
}

void TFrm_main::setRepeat(bool on)
{
    if (Loop->isChecked() != on)
        Loop->trigger();
}

bool TFrm_main::shuffle() const
{
    return RandomMode1->isChecked();
}

void TFrm_main::setShuffle(bool on)
{
    if (RandomMode1->isChecked() != on)
        RandomMode1->trigger();
}

void TFrm_main::startPolling()
{
    const auto note = qScopeGuard([this] { noteState(); });
    startTick();
}

void TFrm_main::wirePlaybackHandlers()
{
    ConnectHandler(Btn_Play, &QPushButton::clicked, this, &TFrm_main::Btn_PlayClick);
    ConnectHandler(Btn_pause, &QPushButton::clicked, this, &TFrm_main::Btn_pauseClick);
    ConnectHandler(Btn_Stop, &QPushButton::clicked, this, &TFrm_main::Btn_StopClick);
    ConnectHandler(Btn_Next, &QPushButton::clicked, this, &TFrm_main::Btn_NextClick);
    ConnectHandler(Btn_Back, &QPushButton::clicked, this, &TFrm_main::Btn_BackClick);
    ConnectHandler(Tmr1, &QTimer::timeout, this, &TFrm_main::Tmr1Timer);
    ConnectHandler(VMusicList, &PlaylistView::dblClick, this, &TFrm_main::VMusicListDblClick);
    connectCommand(RandomMode1, &TFrm_main::RandomMode1Click);
    connectCommand(Loop, &TFrm_main::LoopClick);
}
