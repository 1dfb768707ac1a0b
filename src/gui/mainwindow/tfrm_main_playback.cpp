// The playback engine on the main window: Play, Pause, Stop, Next, Back, the
// move through the playlist, and the polling tick. The player's state lives
// in the enabled flags of Tmr1, "S&top" and "Pau&se"; nothing else holds it.
#include "gui/mainwindow/tfrm_main.h"

#include "core/appinfo.h"
#include "core/paths.h"
#include "core/playlist.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/messages.h"
#include "gui/widgets/playlistview.h"
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace {
// Qt's views scroll to a new current row; the playlist view must not move
// under the user when the player picks a row.
void SelectRowWithoutScrolling(TFrm_main &main, int row)
{
    const bool autoScroll = main.VMusicList->hasAutoScroll();
    main.VMusicList->setAutoScroll(false);
    main.SelectRowAsCurrent(row);
    main.VMusicList->setAutoScroll(autoScroll);
}

} // namespace

void TFrm_main::Btn_PlayClick()
{
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
            SelectRowWithoutScrolling(*this, 0);
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
            Tmr1->start();
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
    Tmr1->stop();
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
    SelectRowWithoutScrolling(*this, next);
}

void TFrm_main::Tmr1Timer()
{
    // A timer event may still arrive after the timer was stopped.
    if (!Tmr1->isActive())
        return;

    try {
        if (MediaPlayer->Mode() == TPlayerMode::pmStopped) {
            if (Loop->isChecked()) {
                MediaPlayer->SetPosition(0);
                MediaPlayer->Play();
            } else {
                MediaPlayer->Close();
                ListMove(+1);
                // Off before Play: a box Play shows must not see further
                // advances.
                Tmr1->stop();
                Btn_PlayClick();
            }
            return;
        }

        int row = SelectedRow();
        if (row < 0) {
            SelectRowWithoutScrolling(*this, CurrentIndex);
            row = SelectedRow();
        }

        // Runs on every tick: each figure is asked for once, and only the
        // texts that change are written.
        const int position = MediaPlayer->Position();
        int length = -1;
        if (showposition1->isChecked() && row >= 0) {
            length = MediaPlayer->Length();
            const QString title = TitleWith(QString::number(position) + QLatin1Char('/')
                                            + QString::number(length) + QStringLiteral(" - ") + RowFileName(row));
            if (title != Title())
                SetTitle(title);
        }
        if (length < 0)
            length = MediaPlayer->Length();
        if (Frm_ctrl)
            Frm_ctrl->ShowPosition(position, length);

        // Paused, the displays now show all there is until something changes.
        if (MediaPlayer->Mode() == TPlayerMode::pmPaused) {
            Tmr1->sleep();
            m_tickJustSlept = true;
        }
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
    if (Btn_Play->isEnabled())
        Btn_PlayClick();
}

void TFrm_main::RandomMode1Click()
{
    RandomMode1->setChecked(!RandomMode1->isChecked());
}

void TFrm_main::LoopClick()
{
    Loop->setChecked(!Loop->isChecked());
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
