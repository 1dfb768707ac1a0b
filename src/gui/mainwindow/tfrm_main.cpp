#include "gui/mainwindow/tfrm_main.h"

#include "core/appinfo.h"
#include "device/tmediaplayer.h"
#include "gui/captions.h"
#include "gui/designfont.h"
#include "gui/lyrics/lyricswindow.h"
#include "gui/messages.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"
#include "gui/widgets/splitterhandle.h"
#include "gui/x11window.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <utility>

TFrm_main *Frm_main = nullptr;
QByteArray ProgramFolder;
int CurrentIndex = 0;
QByteArray CurrentSongPath;
QByteArray CurrentListFile;
bool StartingUp = false;

namespace {

// Captions come from the caption tables once every control exists.
QAction *makeAction(QMenu *menu, const char *name)
{
    auto *action = menu->addAction(QString());
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction *makeSeparator(QMenu *menu, const char *name)
{
    auto *action = menu->addSeparator();
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction *makeCheckItem(QMenu *menu, const char *name, bool checked = false)
{
    auto *action = makeAction(menu, name);
    action->setCheckable(true);
    action->setChecked(checked);
    return action;
}
} // namespace

TFrm_main::TFrm_main(std::unique_ptr<ISequencer> sequencer, QWidget *parent)
    : QMainWindow(parent)
    , MediaPlayer(std::make_unique<TMediaPlayer>(std::move(sequencer)))
{
    Frm_main = this;
    setObjectName(QStringLiteral("Frm_main"));
    SetTitle(ApplicationName());
    SetMessageOwner(this);
    setFont(DesignFont());

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
    ApplyMainCreationCaptions(*this);
    showCopiedCaptions(Language::English);

    // About the rate of a 1 ms timer on the platform the program was first
    // written for, without the thousand wake-ups a second of a real one.
    Tmr1 = new QTimer(this);
    Tmr1->setObjectName(QStringLiteral("Tmr1"));
    Tmr1->setInterval(TickMs);
    Tmr1->setTimerType(Qt::PreciseTimer);

    wireHandlers();

    // The end of a song is acted on at once, not at the next tick, so that
    // the next song follows without a gap. The sequencer calls this on its
    // audio thread; the queued call runs the tick on this window's thread.
    // Nothing of it outlives the window: the media player goes first.
    MediaPlayer->setSongEndHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { Dispatch([this] { Tmr1Timer(); }); }, Qt::QueuedConnection);
    });

    // A tick asleep over a paused song wakes when something it shows may
    // have changed: the player's state, the playlist's rows or selection,
    // "Show position".
    connect(this, &TFrm_main::stateChanged, this, &TFrm_main::wakeTick);
    connect(VMusicList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TFrm_main::wakeTick);
    const auto rowsChanged = [this] {
        wakeTick();
        Q_EMIT playlistChanged();
    };
    connect(Model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(Model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    connect(Model, &QAbstractItemModel::modelReset, this, rowsChanged);
    connect(showposition1, &QAction::toggled, this, &TFrm_main::wakeTick);

    // Default geometry until FormCreate applies the stored one.
    resize(549, 369);
    setListWidth(330);
}

TFrm_main::~TFrm_main()
{
    delete m_lyricsWindow;
    stopTick();
    // The media player closes an open song as it goes.
    MediaPlayer.reset();
    if (Frm_main == this)
        Frm_main = nullptr;
}

void TFrm_main::SetTitle(const QString &title)
{
    m_title = title;
    SetTitleQuietly(this, title);
    // A paused tick shows the position in the title; it puts back what
    // another command wrote there.
    wakeTick();
}

void TFrm_main::SetTitles(const QString &title)
{
    SetTitle(title);
    SetApplicationTitle(title);
}

QString TFrm_main::TitleWith(const QString &text)
{
    return ApplicationName() + QStringLiteral(" - ") + text;
}

void TFrm_main::buildMenus()
{
    File1 = menuBar()->addMenu(QString());
    File1->setObjectName(QStringLiteral("File1"));
    Save1 = makeAction(File1, "Save1");
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Save1->setEnabled(false);
    SaveAs1 = makeAction(File1, "SaveAs1");
    SaveAs1->setEnabled(false);
    Open1 = makeAction(File1, "Open1");
    N4 = makeSeparator(File1, "N4");
    Uninstall1 = makeCheckItem(File1, "Uninstall1");
    N1 = makeSeparator(File1, "N1");
    Exit1 = makeAction(File1, "Exit1");

    Edit1 = menuBar()->addMenu(QString());
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Add1 = makeAction(Edit1, "Add1");
    Delete1 = makeAction(Edit1, "Delete1");
    Delete1->setShortcut(QKeySequence(Qt::Key_Delete));
    Clear1 = makeAction(Edit1, "Clear1");
    Up1 = makeAction(Edit1, "Up1");
    Down1 = makeAction(Edit1, "Down1");

    Option1 = menuBar()->addMenu(QString());
    Option1->setObjectName(QStringLiteral("Option1"));
    RandomMode1 = makeCheckItem(Option1, "RandomMode1");
    Loop = makeCheckItem(Option1, "Loop");
    N5 = makeSeparator(Option1, "N5");
    N6 = makeCheckItem(Option1, "N6");
    Autoplay1 = makeCheckItem(Option1, "Autoplay1");
    N7 = makeSeparator(Option1, "N7");
    Showcontroller1 = makeCheckItem(Option1, "Showcontroller1");
    showposition1 = makeCheckItem(Option1, "showposition1");
    N2 = makeSeparator(Option1, "N2");
    // The language items keep their captions in both languages.
    English1 = makeCheckItem(Option1, "English1", true);
    English1->setText(QStringLiteral("&English"));
    Japanese1 = makeCheckItem(Option1, "Japanese1");
    Japanese1->setText(QStringLiteral("&Japanese"));
    SoundFontSeparator = makeSeparator(Option1, "SoundFontSeparator");
    SoundFont1 = makeAction(Option1, "SoundFont1");
    LyricsSeparator = makeSeparator(Option1, "LyricsSeparator");
    ShowLyrics1 = makeCheckItem(Option1, "ShowLyrics1");
    PlayLoops1 = makeCheckItem(Option1, "PlayLoops1");

    Help1 = menuBar()->addMenu(QString());
    Help1->setObjectName(QStringLiteral("Help1"));
    Help2 = makeAction(Help1, "Help2");
    Help2->setShortcut(QKeySequence(Qt::Key_F1));
    N3 = makeSeparator(Help1, "N3");
    About1 = makeAction(Help1, "About1");

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

    // The lists report a folder they cannot read; the window shows it.
    connect(DrvBox, &DriveList::failed, this, &ShowErrorMessage);
    connect(DirListBox, &FolderList::failed, this, &ShowErrorMessage);
    connect(FileListBox, &FileList::failed, this, &ShowErrorMessage);
}

void TFrm_main::buildPlaylistView()
{
    Model = new PlaylistModel(this);
    Model->setObjectName(QStringLiteral("Model"));
    VMusicList = new PlaylistView(ClientArea);
    VMusicList->setObjectName(QStringLiteral("VMusicList"));
    VMusicList->setAccessibleName(QStringLiteral("Playlist"));
    VMusicList->setModel(Model);
    // The selected row is asked for on every tick; it is found again only
    // after the selection or the rows change. Connected first, so that no
    // other handler of these reads it stale.
    const auto selectionMoved = [this] { m_selectedRowKnown = false; };
    connect(VMusicList->selectionModel(), &QItemSelectionModel::selectionChanged, this, selectionMoved);
    connect(Model, &QAbstractItemModel::rowsInserted, this, selectionMoved);
    connect(Model, &QAbstractItemModel::rowsRemoved, this, selectionMoved);
    connect(Model, &QAbstractItemModel::rowsMoved, this, selectionMoved);
    connect(Model, &QAbstractItemModel::modelReset, this, selectionMoved);
    connect(Model, &QAbstractItemModel::layoutChanged, this, selectionMoved);
    VMusicList->header()->resizeSection(0, 100);
    VMusicList->header()->resizeSection(1, 150);

    PopupMenu = new QMenu(VMusicList);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    Up = makeAction(PopupMenu, "Up");
    Down = makeAction(PopupMenu, "Down");
    N9 = makeSeparator(PopupMenu, "N9");
    Clear = makeAction(PopupMenu, "Clear");
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
        int left;
        int width;
        bool enabled;
    };
    const ButtonDef defs[] = {
        {&Btn_Play, "Btn_Play", 8, 57, true},
        {&Btn_pause, "Btn_pause", 72, 65, false},
        {&Btn_Stop, "Btn_Stop", 144, 57, false},
        {&Btn_add, "Btn_add", 216, 57, true},
        {&Btn_delete, "Btn_delete", 280, 57, true},
        {&Btn_clear, "Btn_clear", 344, 57, true},
        {&Btn_Up, "Btn_Up", 408, 57, true},
        {&Btn_Down, "Btn_Down", 472, 57, true},
        {&Btn_Back, "Btn_Back", 544, 57, true},
        {&Btn_Next, "Btn_Next", 608, 57, true},
    };
    for (const ButtonDef &def : defs) {
        auto *button = new QPushButton(Panel_Btns);
        button->setObjectName(QString::fromLatin1(def.name));
        button->setGeometry(def.left, 0, def.width, 17);
        button->setEnabled(def.enabled);
        *def.button = button;
    }
}

void TFrm_main::connectCommand(QAction *action, void (TFrm_main::*handler)())
{
    connect(action, &QAction::triggered, this, [this, handler] { Dispatch([this, handler] { (this->*handler)(); }); });
}

void TFrm_main::wireHandlers()
{
    connectCommand(Exit1, &TFrm_main::Exit1Click);
    connectCommand(Uninstall1, &TFrm_main::Uninstall1Click);
    wireOptionHandlers();
    wirePlaylistFileHandlers();
    wireEditingHandlers();
    wirePlaybackHandlers();
    wireDesktopHandlers();
    wireSoundFontHandlers();
    wireLyricsHandlers();
    wireLoopHandlers();
}

