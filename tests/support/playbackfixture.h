// The windows of the program over a fake sequencer, a playlist of files in a
// temporary folder, and a reading of the player's state from the flags that
// carry it.
#pragma once

#include "core/settingsstore.h"
#include "support/windowparts.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "core/playlist.h"
#include "gui/widgets/playlistmodel.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>

// Readable failures.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class PlaybackFixture : public ::testing::Test
{
protected:
    FakeSequencer::Shared device;
    MessageRecorder messages;
    QTemporaryDir dir;
    AppWindows w;
    TFrm_main *m = nullptr;
    TFrm_ctrl *c = nullptr;

    void SetUp() override
    {
        // Every test starts as a first run, also when they share a process.
        DeleteSettingsKey();
        QFile::remove(QFile::decodeName(ComputeProgramFolder() + "list.qvt"));
        Playlist.Items.clear();
        CurrentListFile.clear();
        CurrentSongPath.clear();
    }

    void TearDown() override
    {
        w = AppWindows();
        Playlist.Items.clear();
    }

    // A song file in the temporary folder; `exists` false leaves it missing.
    QByteArray song(const QByteArray &name, bool exists = true)
    {
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        // Made by its bytes: Qt would decode a name that is not UTF-8.
        if (exists) {
            std::FILE *file = std::fopen(path.constData(), "wb");
            if (!file)
                ADD_FAILURE() << "cannot create " << path.constData();
            else
                std::fclose(file);
        }
        return path;
    }

    void start(const QList<QByteArray> &paths = {})
    {
        w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
        m = w.main.get();
        c = w.ctrl.get();
        if (!paths.isEmpty())
            setPlaylist(paths);
    }

    void setPlaylist(const QList<QByteArray> &paths)
    {
        Playlist.Items.clear();
        for (const QByteArray &p : paths)
            Playlist.Items.append(TQVTItem{p});
        m->RebuildPlaylistView();
    }

    // n existing songs "s0.mid" .. .
    QList<QByteArray> songs(int n)
    {
        QList<QByteArray> out;
        for (int i = 0; i < n; ++i)
            out << song("s" + QByteArray::number(i) + ".mid");
        return out;
    }

    void playRow(int row)
    {
        m->SelectRowAsCurrent(row);
        m->Btn_PlayClick();
    }

    void endSongAndTick()
    {
        FakeSequencer::finish(&device);
        m->Tmr1Timer();
    }

    QStringList callsSince(qsizetype from) const { return device.calls.mid(from); }

    // The player's state as the enable table defines it, checked against the
    // device; the editing flags always mirror "S&top".
    std::string state() const
    {
        const bool tmr = Part<QTimer>(*m, "Tmr1")->isActive(), stop = Part<QPushButton>(*m, "Btn_Stop")->isEnabled(),
                   pause = Part<QPushButton>(*m, "Btn_pause")->isEnabled(), open = m->MediaPlayer->IsOpen();
        const bool editing = Part<QPushButton>(*m, "Btn_delete")->isEnabled();
        if (editing != !stop || Part<QPushButton>(*m, "Btn_clear")->isEnabled() != editing || Part<QAction>(*m, "Clear")->isEnabled() != editing)
            return "editing flags out of step";
        if (!tmr && !stop && !pause && !open)
            return "Idle";
        if (tmr && stop && pause && open && device.mode == TPlayerMode::pmPlaying)
            return "Playing";
        if (tmr && stop && !pause && open && device.mode == TPlayerMode::pmPaused)
            return "Paused";
        if (!tmr && stop && pause && !open)
            return "Halted";
        return "unknown: timer " + std::to_string(tmr) + " stop " + std::to_string(stop) + " pause "
            + std::to_string(pause) + " open " + std::to_string(open);
    }
};
