// The main window's creation and close: the stored settings applied and
// written, the automatic playlist, and the end of the program.
#include "gui/mainwindow/tfrm_main.h"

#include "core/durablefile.h"
#include "core/paths.h"
#include "core/playlist.h"
#include "core/settingsstore.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/helpwindow.h"
#include "gui/lyrics/lyricswindow.h"
#include "gui/messages.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/playlistview.h"
#include "gui/windowplacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>

void TFrm_main::FormCreate()
{
    StartingUp = true;
    // An error ends these steps with the toolkit's error box; the steps after
    // them still run, so that the file pane and the timer work.
    Dispatch([this] {
        ProgramFolder = ComputeProgramFolder();
        // What a write cut short left behind; this is the one instance now.
        RemoveStaleTemporaries(ProgramFolder);
        RemoveStaleTemporaries(QFile::encodeName(QFileInfo(SettingsStore::FilePath()).absolutePath()));
        SettingsStore store;
        // Something other than a file in its place: start with the defaults.
        if (!store.Refusal().isEmpty())
            ShowToolkitError(store.Refusal());

        const int top = store.ReadIntSetting(Settings::Top);
        const int left = store.ReadIntSetting(Settings::Left);
        const int width = store.ReadIntSetting(Settings::Width);
        const int height = store.ReadIntSetting(Settings::Height);
        // Bounds that would leave the window unseen, unusable or out of reach
        // are mended before they are applied; usable ones apply as stored.
        const QRect bounds = UsableBoundsOnScreens(left, top, width, height,
                                                   QSize(Settings::Width.defaultValue, Settings::Height.defaultValue));
        move(bounds.topLeft());
        resize(bounds.size());
        m_restoredBounds = QRect(pos(), size());
        m_readBounds = QRect(left, top, width, height);
        m_appliedBounds = bounds;
        setListWidth(store.ReadIntSetting(Settings::ListWidth));
        VMusicList->header()->resizeSection(0, store.ReadIntSetting(Settings::FileNameWidth));
        VMusicList->header()->resizeSection(1, store.ReadIntSetting(Settings::PathNameWidth));
        if (store.ReadFlagSetting(Settings::Maximized))
            setWindowState(windowState() | Qt::WindowMaximized);

        RandomMode1->setChecked(store.ReadFlagSetting(Settings::Random));
        showposition1->setChecked(store.ReadFlagSetting(Settings::ShowPosition));
        N6->setChecked(store.ReadFlagSetting(Settings::ListSave));
        Autoplay1->setChecked(store.ReadFlagSetting(Settings::AutoPlay));

        if (!store.ReadFlagSetting(Settings::English))
            Japanese1Click();
        UseStoredSoundFont(store.ReadTextSetting(Settings::SoundFont));
        readLyricsSettings(store);
        readLoopSettings(store);

        // A list that cannot be read is reported, and start-up goes on.
        Dispatch([this] { ReadAutomaticPlaylist(); });

        store.EraseSettingsSection(QLatin1String(Settings::ListSection));

        if (!Playlist.Items.isEmpty()) {
            SaveAs1->setEnabled(true);
            if (Autoplay1->isChecked()) {
                SelectRowAsCurrent(0);
                VMusicList->setFocus();
                Btn_PlayClick();
            }
        }
    });

    const QTime now = QDateTime::currentDateTimeUtc().time();
    Random.seed(std::uint32_t(((now.hour() * 60 + now.minute()) * 60 + now.second()) * 1000 + now.msec()));
    CurrentIndex = 0;
    DirListBox->setFileList(FileListBox);
    DrvBox->setDirList(DirListBox);
    StartingUp = false;
}

void TFrm_main::FormClose()
{
    {
        SettingsStore store;
        const bool maximized = isMaximized();
        const QRect bounds = BoundsToStore(m_readBounds, m_appliedBounds,
                                           maximized ? m_restoredBounds : QRect(pos(), size()), WindowPlacesAreKnown());
        if (maximized)
            setWindowState(windowState() & ~Qt::WindowMaximized);
        store.WriteIntSetting(Settings::Top, bounds.top());
        store.WriteIntSetting(Settings::Left, bounds.left());
        store.WriteIntSetting(Settings::Height, bounds.height());
        store.WriteIntSetting(Settings::Width, bounds.width());
        store.WriteIntSetting(Settings::ListWidth, listWidth());
        store.WriteIntSetting(Settings::FileNameWidth, VMusicList->header()->sectionSize(0));
        store.WriteIntSetting(Settings::PathNameWidth, VMusicList->header()->sectionSize(1));
        store.WriteFlagSetting(Settings::Maximized, maximized);

        store.WriteFlagSetting(Settings::Random, RandomMode1->isChecked());
        store.WriteFlagSetting(Settings::English, English1->isChecked());
        store.WriteFlagSetting(Settings::ListSave, N6->isChecked());
        store.WriteFlagSetting(Settings::ShowPosition, showposition1->isChecked());
        store.WriteFlagSetting(Settings::AutoPlay, Autoplay1->isChecked());
        store.WriteFlagSetting(Settings::ShowController, Showcontroller1->isChecked());

        const QPoint ctrl = Frm_ctrl ? Frm_ctrl->Place()
                                     : QPoint(Settings::CtrlLeft.defaultValue, Settings::CtrlTop.defaultValue);
        store.WriteIntSetting(Settings::CtrlTop, ctrl.y());
        store.WriteIntSetting(Settings::CtrlLeft, ctrl.x());
        if (!m_soundFontSetting.isEmpty())
            store.WriteTextSetting(Settings::SoundFont, DecodePath(m_soundFontSetting));
        writeLyricsSettings(store);
        writeLoopSettings(store);

        // Settings that cannot be stored are reported, but must not keep the
        // program from ever closing.
        Dispatch([&store] { store.Flush(); });

        WriteAutomaticPlaylist();
    }
    if (Uninstall1->isChecked())
        DeleteSettingsKey();
}

void TFrm_main::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    noteRestoredBounds();
}

void TFrm_main::noteRestoredBounds()
{
    // normalGeometry() is the client area's, or, for a window that started
    // maximized, the stored frame place taken for the client area's; and
    // restoring is asynchronous under a window manager. So the close stores
    // what was last seen in the normal state. (A window manager reports a
    // maximize before the maximized geometry.)
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        m_restoredBounds = QRect(pos(), size());
}

void TFrm_main::closeEvent(QCloseEvent *event)
{
    bool done = false;
    Dispatch([&] {
        FormClose();
        done = true;
    });
    if (!done) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_helpWindow)
        m_helpWindow->close();
    if (Frm_ctrl)
        Frm_ctrl->hide();
    if (m_lyricsWindow)
        m_lyricsWindow->hide();
    Q_EMIT closed();
}

void TFrm_main::Exit1Click()
{
    close();
}

// The check mark, toggled by itself, is read at close.
void TFrm_main::Uninstall1Click()
{
}

void TFrm_main::quit()
{
    Exit1->trigger();
}
