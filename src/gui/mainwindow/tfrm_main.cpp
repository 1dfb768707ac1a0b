#include "gui/mainwindow/tfrm_main.h"

#include "gui/messages.h"
#include "core/settingsstore.h"
#include "gui/helpwindow.h"
#include "gui/widgets/splitterhandle.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "device/tmediaplayer.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>

#include <algorithm>

TFrm_main *Frm_main = nullptr;
QByteArray ProgramFolder;
int CurrentIndex = 0;
QByteArray CurrentSongPath;
QByteArray CurrentListFile;
bool StartingUp = false;
QString ApplicationHelpFile;

namespace {
const QString Section_Position = QStringLiteral("Position");
const QString Section_Option = QStringLiteral("Option");

QAction *makeAction(QMenu *menu, const char *name, const QString &caption)
{
    auto *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction *makeSeparator(QMenu *menu, const char *name)
{
    auto *action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction *makeCheckItem(QMenu *menu, const char *name, const QString &caption, bool checked = false)
{
    auto *action = makeAction(menu, name, caption);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}
} // namespace

QByteArray ComputeProgramFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        return {};
    folder += QStringLiteral("/Kestrix/Quavette/");
    QDir().mkpath(folder);
    return QFile::encodeName(folder);
}

TFrm_main::TFrm_main(std::unique_ptr<ISequencer> sequencer, QWidget *parent)
    : QMainWindow(parent)
    , MediaPlayer(std::make_unique<TMediaPlayer>(std::move(sequencer)))
{
    Frm_main = this;
    setObjectName(QStringLiteral("Frm_main"));
    SetTitle(QStringLiteral("Quavette"));
    setWindowIconText(EscapeTitlePlaceholder(ApplicationTitle()));
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    ClientArea = new QWidget(this);
    ClientArea->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(ClientArea);
    ClientArea->installEventFilter(this);

    buildMenus();
    buildFilePane();
    Splitter2 = new SplitterHandle(ClientArea);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->moved = [this](int left) {
        // The playlist view starts right of the 3-pixel handle; the file pane
        // cannot get narrower than nothing.
        const int clientWidth = ClientArea->width();
        setListWidth(clientWidth - std::max(0, left) - 3);
    };
    buildPlaylistView();
    buildButtons();

    Tmr1 = new QTimer(this);
    Tmr1->setObjectName(QStringLiteral("Tmr1"));
    Tmr1->setInterval(1);
    Tmr1->setTimerType(Qt::PreciseTimer);

    wireHandlers();

    // Default geometry until FormCreate applies the stored one.
    resize(549, 369);
    setListWidth(330);
}

TFrm_main::~TFrm_main()
{
    Tmr1->stop();
    // The media player closes an open song as it goes.
    MediaPlayer.reset();
    if (Frm_main == this)
        Frm_main = nullptr;
}

void TFrm_main::SetTitle(const QString &title)
{
    m_title = title;
    setWindowTitle(EscapeTitlePlaceholder(title));
}

void TFrm_main::buildMenus()
{
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Save1 = makeAction(File1, "Save1", QStringLiteral("&Save"));
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Save1->setEnabled(false);
    SaveAs1 = makeAction(File1, "SaveAs1", QStringLiteral("Save &As..."));
    SaveAs1->setEnabled(false);
    Open1 = makeAction(File1, "Open1", QStringLiteral("&Open..."));
    N4 = makeSeparator(File1, "N4");
    Uninstall1 = makeCheckItem(File1, "Uninstall1", QStringLiteral("&Uninstall"));
    N1 = makeSeparator(File1, "N1");
    Exit1 = makeAction(File1, "Exit1", QStringLiteral("E&xit"));

    Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Add1 = makeAction(Edit1, "Add1", QStringLiteral("&Add"));
    Delete1 = makeAction(Edit1, "Delete1", QStringLiteral("&Delete"));
    Delete1->setShortcut(QKeySequence(Qt::Key_Delete));
    Clear1 = makeAction(Edit1, "Clear1", QStringLiteral("&Clear"));
    Up1 = makeAction(Edit1, "Up1", QStringLiteral("&Up"));
    Down1 = makeAction(Edit1, "Down1", QStringLiteral("Do&wn"));

    Option1 = menuBar()->addMenu(QStringLiteral("&Option"));
    Option1->setObjectName(QStringLiteral("Option1"));
    RandomMode1 = makeCheckItem(Option1, "RandomMode1", QStringLiteral("&Random mode"));
    Loop = makeCheckItem(Option1, "Loop", QStringLiteral("Repea&t"));
    N5 = makeSeparator(Option1, "N5");
    N6 = makeCheckItem(Option1, "N6", QStringLiteral("&Save list"));
    Autoplay1 = makeCheckItem(Option1, "Autoplay1", QStringLiteral("&Auto play"));
    N7 = makeSeparator(Option1, "N7");
    Showcontroller1 = makeCheckItem(Option1, "Showcontroller1", QStringLiteral("Show &controller"));
    showposition1 = makeCheckItem(Option1, "showposition1", QStringLiteral("Show &position"));
    N2 = makeSeparator(Option1, "N2");
    English1 = makeCheckItem(Option1, "English1", QStringLiteral("&English"), true);
    Japanese1 = makeCheckItem(Option1, "Japanese1", QStringLiteral("&Japanese"));

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help2 = makeAction(Help1, "Help2", QStringLiteral("&Contents"));
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    N3 = makeSeparator(Help1, "N3");
    About1 = makeAction(Help1, "About1", QStringLiteral("&About..."));

    // Menu shortcuts work wherever the focus is in this window.
    for (QAction *action : {Save1, Delete1, Help2}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void TFrm_main::buildFilePane()
{
    Panel_Files = new QWidget(ClientArea);
    Panel_Files->setObjectName(QStringLiteral("Panel_Files"));
    Panel_Files->setGeometry(0, 0, 207, 303);
    Panel_Files->installEventFilter(this);

    DrvBox = new DriveList(Panel_Files);
    DrvBox->setObjectName(QStringLiteral("DrvBox"));
    DrvBox->setAccessibleName(QStringLiteral("Drives"));
    DrvBox->setGeometry(0, 0, 209, 18);
    DirListBox = new FolderList(Panel_Files);
    DirListBox->setObjectName(QStringLiteral("DirListBox"));
    DirListBox->setAccessibleName(QStringLiteral("Folders"));
    DirListBox->setGeometry(1, 24, 208, 152);
    FileListBox = new FileList(Panel_Files);
    FileListBox->setObjectName(QStringLiteral("FileListBox"));
    FileListBox->setAccessibleName(QStringLiteral("Files"));
    FileListBox->setGeometry(1, 176, 207, 126);
}

void TFrm_main::buildPlaylistView()
{
    Model = new PlaylistModel(this);
    VMusicList = new PlaylistView(ClientArea);
    VMusicList->setObjectName(QStringLiteral("VMusicList"));
    VMusicList->setAccessibleName(QStringLiteral("Playlist"));
    VMusicList->setModel(Model);
    VMusicList->header()->resizeSection(0, 100);
    VMusicList->header()->resizeSection(1, 150);

    PopupMenu = new QMenu(VMusicList);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    Up = makeAction(PopupMenu, "Up", QStringLiteral("&Up"));
    Down = makeAction(PopupMenu, "Down", QStringLiteral("Do&wn"));
    N9 = makeSeparator(PopupMenu, "N9");
    Clear = makeAction(PopupMenu, "Clear", QStringLiteral("&Clear"));
    connect(VMusicList, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        Dispatch([this, at] { PopupMenu->popup(VMusicList->viewport()->mapToGlobal(at)); });
    });
}

void TFrm_main::buildButtons()
{
    Panel_Btns = new QWidget(ClientArea);
    Panel_Btns->setObjectName(QStringLiteral("Panel_Btns"));
    struct ButtonDef {
        QPushButton **button;
        const char *name;
        QString caption;
        int left;
        int width;
        bool enabled;
    };
    const ButtonDef defs[] = {
        {&Btn_Play, "Btn_Play", QStringLiteral("&Play"), 8, 57, true},
        {&Btn_pause, "Btn_pause", QStringLiteral("Pau&se"), 72, 65, false},
        {&Btn_Stop, "Btn_Stop", QStringLiteral("S&top"), 144, 57, false},
        {&Btn_add, "Btn_add", QStringLiteral("&Add"), 216, 57, true},
        {&Btn_delete, "Btn_delete", QStringLiteral("&Delete"), 280, 57, true},
        {&Btn_clear, "Btn_clear", QStringLiteral("&Clear"), 344, 57, true},
        {&Btn_Up, "Btn_Up", QStringLiteral("&Up"), 408, 57, true},
        {&Btn_Down, "Btn_Down", QStringLiteral("Do&wn"), 472, 57, true},
        {&Btn_Back, "Btn_Back", QStringLiteral("&Back"), 544, 57, true},
        {&Btn_Next, "Btn_Next", QStringLiteral("&Next"), 608, 57, true},
    };
    for (const ButtonDef &def : defs) {
        auto *button = new QPushButton(def.caption, Panel_Btns);
        button->setObjectName(QString::fromLatin1(def.name));
        button->setGeometry(def.left, 0, def.width, 17);
        button->setEnabled(def.enabled);
        *def.button = button;
    }
}

void TFrm_main::connectCommand(QAction *action, void (TFrm_main::*handler)())
{
    connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
        if (action->isCheckable())
            action->setChecked(!checked);
        Dispatch([this, handler] { (this->*handler)(); });
    });
}

void TFrm_main::wireHandlers()
{
    connectCommand(Exit1, &TFrm_main::Exit1Click);
    connectCommand(Uninstall1, &TFrm_main::Uninstall1Click);
    wireOptionHandlers();
    wirePlaylistFileHandlers();
    wireEditingHandlers();
    wirePlaybackHandlers();
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

void TFrm_main::FormCreate()
{
    StartingUp = true;
    // An error ends these steps with the toolkit's error box; the steps after
    // them still run, so that the file pane and the timer work.
    Dispatch([this] {
        ProgramFolder = ComputeProgramFolder();
        SettingsStore store;

        const int top = store.ReadIntSetting(Section_Position, QStringLiteral("Top"), 78);
        move(x(), top);
        const int left = store.ReadIntSetting(Section_Position, QStringLiteral("Left"), 156);
        move(left, y());
        const int width = store.ReadIntSetting(Section_Position, QStringLiteral("Width"), 549);
        resize(width, height());
        const int height = store.ReadIntSetting(Section_Position, QStringLiteral("Height"), 369);
        resize(this->width(), height);
        setListWidth(store.ReadIntSetting(Section_Position, QStringLiteral("ListWidth"), 329));
        VMusicList->header()->resizeSection(0, store.ReadIntSetting(Section_Position, QStringLiteral("FileNameWidth"), 100));
        VMusicList->header()->resizeSection(1, store.ReadIntSetting(Section_Position, QStringLiteral("PathNameWidth"), 150));
        if (store.ReadFlagSetting(Section_Position, QStringLiteral("Maximized"), false))
            setWindowState(windowState() | Qt::WindowMaximized);

        RandomMode1->setChecked(store.ReadFlagSetting(Section_Option, QStringLiteral("Random"), false));
        showposition1->setChecked(store.ReadFlagSetting(Section_Option, QStringLiteral("ShowPosition"), false));
        N6->setChecked(store.ReadFlagSetting(Section_Option, QStringLiteral("ListSave"), false));
        Autoplay1->setChecked(store.ReadFlagSetting(Section_Option, QStringLiteral("AutoPlay"), false));

        if (!store.ReadFlagSetting(Section_Option, QStringLiteral("English"), true))
            Japanese1Click();

        // A list that cannot be read is reported, and start-up goes on.
        Dispatch([this] { ReadAutomaticPlaylist(); });

        store.EraseSettingsSection(QStringLiteral("List"));

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
        QRect bounds(pos(), size());
        if (maximized) {
            // normalGeometry() is the client area's; "Top"/"Left" are the
            // frame's, as pos() gives them, or the window creeps each time.
            const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
            bounds = normalGeometry().translated(-frame.left(), -frame.top());
            setWindowState(windowState() & ~Qt::WindowMaximized);
        }
        store.WriteIntSetting(Section_Position, QStringLiteral("Top"), bounds.top());
        store.WriteIntSetting(Section_Position, QStringLiteral("Left"), bounds.left());
        store.WriteIntSetting(Section_Position, QStringLiteral("Height"), bounds.height());
        store.WriteIntSetting(Section_Position, QStringLiteral("Width"), bounds.width());
        store.WriteIntSetting(Section_Position, QStringLiteral("ListWidth"), listWidth());
        store.WriteIntSetting(Section_Position, QStringLiteral("FileNameWidth"), VMusicList->header()->sectionSize(0));
        store.WriteIntSetting(Section_Position, QStringLiteral("PathNameWidth"), VMusicList->header()->sectionSize(1));
        store.WriteFlagSetting(Section_Position, QStringLiteral("Maximized"), maximized);

        store.WriteFlagSetting(Section_Option, QStringLiteral("Random"), RandomMode1->isChecked());
        store.WriteFlagSetting(Section_Option, QStringLiteral("English"), English1->isChecked());
        store.WriteFlagSetting(Section_Option, QStringLiteral("ListSave"), N6->isChecked());
        store.WriteFlagSetting(Section_Option, QStringLiteral("ShowPosition"), showposition1->isChecked());
        store.WriteFlagSetting(Section_Option, QStringLiteral("AutoPlay"), Autoplay1->isChecked());
        store.WriteFlagSetting(Section_Option, QStringLiteral("ShowController"), Showcontroller1->isChecked());

        const QPoint ctrl = Frm_ctrl ? Frm_ctrl->pos() : QPoint(176, 141);
        store.WriteIntSetting(Section_Position, QStringLiteral("CtrlTop"), ctrl.y());
        store.WriteIntSetting(Section_Position, QStringLiteral("CtrlLeft"), ctrl.x());

        // Settings that cannot be stored are reported, but must not keep the
        // program from ever closing.
        Dispatch([&store] { store.Flush(); });

        WriteAutomaticPlaylist();
    }
    if (Uninstall1->isChecked())
        DeleteSettingsKey();
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
    Q_EMIT closed();
}

void TFrm_main::Exit1Click()
{
    close();
}

void TFrm_main::Uninstall1Click()
{
    Uninstall1->setChecked(!Uninstall1->isChecked());
}

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
