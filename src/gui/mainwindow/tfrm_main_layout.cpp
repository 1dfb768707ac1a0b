// The main window's layout (the panes and their size rules), the option
// commands of the shell, help and about.
#include "gui/mainwindow/tfrm_main.h"

#include "core/paths.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/helpwindow.h"
#include "gui/messages.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/playlistview.h"
#include "gui/widgets/splitterhandle.h"

#include <QAction>
#include <QEvent>
#include <QTimer>

#include <fluidsynth.h>

#include <algorithm>

void TFrm_main::setListWidth(int width)
{
    m_listWidth = width;
    layoutClient();
    VMusicListResize();
}

int TFrm_main::listWidth() const
{
    return m_listWidth;
}

void TFrm_main::layoutClient()
{
    const int w = ClientArea->width();
    const int h = ClientArea->height();
    const int listHeight = std::max(0, h - 17);
    Panel_Btns->setGeometry(0, h - 17, w, 17);
    // The stored width may be any integer; no widget is wider than this, and
    // the sums below stay inside int.
    const int shownWidth = std::clamp(m_listWidth, 0, QWIDGETSIZE_MAX);
    const int listLeft = w - shownWidth;
    VMusicList->setGeometry(listLeft, 0, shownWidth, listHeight);
    Splitter2->setGeometry(listLeft - 3, 0, 3, listHeight);
    Panel_Files->setGeometry(0, 0, std::max(0, listLeft - 3), listHeight);
}

void TFrm_main::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    noteRestoredBounds();
    FormResize();
}

void TFrm_main::FormResize()
{
    if (qint64(m_listWidth) + 20 >= width())
        setListWidth(width() - 20);
    else
        layoutClient();
}

void TFrm_main::VMusicListResize()
{
    if (m_listWidth < 50)
        setListWidth(50);
}

void TFrm_main::Panel_FilesResize()
{
    const int w = Panel_Files->width();
    const int h = Panel_Files->height();
    DrvBox->setGeometry(0, 0, w, DrvBox->height());
    // A pane too low for the folder list leaves it empty, not negative.
    const int dirHeight = std::max(0, h / 2 - 24);
    DirListBox->setGeometry(1, DirListBox->y(), w, dirHeight);
    FileListBox->setGeometry(1, dirHeight + 24, w, h / 2);
}

bool TFrm_main::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        if (watched == ClientArea)
            layoutClient();
        else if (watched == Panel_Files)
            Panel_FilesResize();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The option items' check marks have toggled themselves when these run.
void TFrm_main::N6Click()
{
    if (!N6->isChecked())
        Autoplay1->setChecked(false);
}

void TFrm_main::Autoplay1Click()
{
    N6->setChecked(true);
}

bool TFrm_main::autoPlay() const
{
    return Autoplay1->isChecked();
}

void TFrm_main::Showcontroller1Click()
{
    if (!Frm_ctrl)
        return;
    if (!Showcontroller1->isChecked()) {
        Frm_ctrl->close();
        return;
    }
    // From any state, minimised too.
    Frm_ctrl->setWindowState(Frm_ctrl->windowState() & ~Qt::WindowMinimized);
    Frm_ctrl->show();
    Frm_ctrl->raise();
    wakeTick();
    if (Tmr1->isActive())
        Frm_ctrl->ShowPositionMaximum(MediaPlayer->Length());
}

void TFrm_main::showposition1Click()
{
    if (showposition1->isChecked() || !Tmr1->isActive())
        return;
    // With no row selected there is no file name to show: the title stays.
    const int row = SelectedRow();
    if (row >= 0)
        SetTitle(TitleWith(RowFileName(row)));
}

void TFrm_main::showControllerAtStart()
{
    Showcontroller1->trigger();
}

void TFrm_main::controllerClosed()
{
    Showcontroller1->setChecked(false);
}

void TFrm_main::Help2Click()
{
    if (!m_helpWindow) {
        m_helpWindow = new HelpWindow(this);
        m_helpWindow->setWindowFlag(Qt::Window);
    }
    m_helpWindow->showContents(Japanese1->isChecked());
}

void TFrm_main::About1Click()
{
    const QByteArray soundFont = MediaPlayer->soundFont();
    const QString text = QStringLiteral("Quavette version %1\n"
                                        "A player for Standard MIDI Files.\n\n"
                                        "Qt %2 (built with %3)\n"
                                        "FluidSynth %4\n"
                                        "SoundFont: %5")
                             .arg(QStringLiteral(QUAVETTE_VERSION), QString::fromLatin1(qVersion()),
                                  QStringLiteral(QT_VERSION_STR), QString::fromLatin1(fluid_version_str()),
                                  soundFont.isEmpty() ? QStringLiteral("none") : DecodePath(soundFont));
    ShowMessage({QStringLiteral("About"), text, MsgIcon::None, QMessageBox::Ok});
}

void TFrm_main::wireOptionHandlers()
{
    connectCommand(N6, &TFrm_main::N6Click);
    connectCommand(Autoplay1, &TFrm_main::Autoplay1Click);
    connectCommand(Showcontroller1, &TFrm_main::Showcontroller1Click);
    connectCommand(showposition1, &TFrm_main::showposition1Click);
    connectCommand(English1, &TFrm_main::English1Click);
    connectCommand(Japanese1, &TFrm_main::Japanese1Click);
    connectCommand(Help2, &TFrm_main::Help2Click);
    connectCommand(About1, &TFrm_main::About1Click);
}
