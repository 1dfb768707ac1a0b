// The main window as it is made: layout, button row, menus, the start-up
// flag, closing, the dispatcher and the title.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "core/settingsstore.h"
#include "gui/startup.h"
#include "gui/widgets/splitterhandle.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistview.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    FakeSequencer::Shared device;
    MessageRecorder messages;

    AppWindows start() { return CreateAppWindows(std::make_unique<FakeSequencer>(&device)); }
};

TEST_F(MainWindowTest, FirstRunOpensWithTheDefaultGeometry)
{
    AppWindows w = start();
    TFrm_main &m = *w.main;
    EXPECT_EQ(m.pos(), QPoint(156, 78));
    EXPECT_EQ(m.size(), QSize(549, 369));
    EXPECT_EQ(m.listWidth(), 329);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->width(), 329);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->header()->sectionSize(0), 100);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->header()->sectionSize(1), 150);
    EXPECT_FALSE(m.isMaximized());
    EXPECT_EQ(m.Title(), QStringLiteral("Quavette"));
    EXPECT_EQ(m.windowIconText(), QStringLiteral("Quavette"));
    EXPECT_FALSE(w.ctrl->isVisible());
    EXPECT_TRUE(messages.boxes.isEmpty());

    // Bottom panel, then the view right-aligned with the splitter left of it,
    // then the file pane in the rest.
    m.show();
    const QRect client = Part<QWidget>(m, "ClientArea")->rect();
    EXPECT_EQ(Part<QWidget>(m, "Panel_Btns")->geometry(), QRect(0, client.height() - 17, client.width(), 17));
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->geometry(), QRect(client.width() - 329, 0, 329, client.height() - 17));
    EXPECT_EQ(Part<SplitterHandle>(m, "Splitter2")->geometry(), QRect(client.width() - 332, 0, 3, client.height() - 17));
    EXPECT_EQ(Part<QWidget>(m, "Panel_Files")->geometry(), QRect(0, 0, client.width() - 332, client.height() - 17));
}

TEST_F(MainWindowTest, ButtonRowHasItsCaptionsPlacesAndFlags)
{
    AppWindows w = start();
    struct Expect {
        const char *name;
        const char *caption;
        int left;
        int width;
        bool enabled;
    };
    const Expect rows[] = {
        {"Btn_Play", "&Play", 8, 57, true},     {"Btn_pause", "Pau&se", 72, 65, false},
        {"Btn_Stop", "S&top", 144, 57, false},  {"Btn_add", "&Add", 216, 57, true},
        {"Btn_delete", "&Delete", 280, 57, true}, {"Btn_clear", "&Clear", 344, 57, true},
        {"Btn_Up", "&Up", 408, 57, true},       {"Btn_Down", "Do&wn", 472, 57, true},
        {"Btn_Back", "&Back", 544, 57, true},   {"Btn_Next", "&Next", 608, 57, true},
    };
    const QList<QPushButton *> inOrder = Part<QWidget>(*w.main, "Panel_Btns")->findChildren<QPushButton *>();
    ASSERT_EQ(inOrder.size(), 10);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(rows[i].name);
        QPushButton *b = inOrder[i];
        EXPECT_EQ(b->objectName(), QString::fromLatin1(rows[i].name)) << "tab order";
        EXPECT_EQ(b->text(), QString::fromUtf8(rows[i].caption));
        EXPECT_EQ(b->geometry(), QRect(rows[i].left, 0, rows[i].width, 17));
        EXPECT_EQ(b->isEnabled(), rows[i].enabled);
    }
    EXPECT_FALSE(Part<QTimer>(*w.main, "Tmr1")->isActive());
    EXPECT_EQ(Part<QTimer>(*w.main, "Tmr1")->interval(), 16);
    EXPECT_EQ(Part<QTimer>(*w.main, "Tmr1")->timerType(), Qt::PreciseTimer);
}

TEST_F(MainWindowTest, MenusHaveEveryItemInOrder)
{
    AppWindows w = start();
    // name, caption ("-" separator), shortcut, checkable, checked, enabled
    struct Item {
        const char *name;
        const char *caption;
        const char *shortcut;
        bool checkable;
        bool checked;
        bool enabled;
    };
    const QList<QPair<QString, QList<Item>>> menus = {
        {QStringLiteral("&File"),
         {{"Save1", "&Save", "Ctrl+S", false, false, false},
          {"SaveAs1", "Save &As...", "", false, false, false},
          {"Open1", "&Open...", "", false, false, true},
          {"N4", "-", "", false, false, true},
          {"Uninstall1", "&Uninstall", "", true, false, true},
          {"N1", "-", "", false, false, true},
          {"Exit1", "E&xit", "", false, false, true}}},
        {QStringLiteral("&Edit"),
         {{"Add1", "&Add", "", false, false, true},
          {"Delete1", "&Delete", "Del", false, false, true},
          {"Clear1", "&Clear", "", false, false, true},
          {"Up1", "&Up", "", false, false, true},
          {"Down1", "Do&wn", "", false, false, true}}},
        {QStringLiteral("&Option"),
         {{"RandomMode1", "&Random mode", "", true, false, true},
          {"Loop", "Repea&t", "", true, false, true},
          {"N5", "-", "", false, false, true},
          {"N6", "&Save list", "", true, false, true},
          {"Autoplay1", "&Auto play", "", true, false, true},
          {"N7", "-", "", false, false, true},
          {"Showcontroller1", "Show &controller", "", true, false, true},
          {"showposition1", "Show &position", "", true, false, true},
          {"N2", "-", "", false, false, true},
          {"English1", "&English", "", true, true, true},
          {"Japanese1", "&Japanese", "", true, false, true},
          {"SoundFontSeparator", "-", "", false, false, true},
          {"SoundFont1", "Sound&Font...", "", false, false, true},
          {"LyricsSeparator", "-", "", false, false, true},
          {"ShowLyrics1", "Show &lyrics", "", true, false, true},
          {"PlayLoops1", "Play &loops", "", true, false, true}}},
        {QStringLiteral("&Help"),
         {{"Help2", "&Contents", "F1", false, false, true},
          {"N3", "-", "", false, false, true},
          {"About1", "&About...", "", false, false, true}}},
    };
    const QList<QAction *> top = w.main->menuBar()->actions();
    ASSERT_EQ(top.size(), menus.size());
    for (int m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(top[m]->text(), menus[m].first);
        const QList<QAction *> items = top[m]->menu()->actions();
        ASSERT_EQ(items.size(), menus[m].second.size()) << menus[m].first.toStdString();
        for (int i = 0; i < items.size(); ++i) {
            const Item &e = menus[m].second[i];
            SCOPED_TRACE(e.name);
            QAction *a = items[i];
            EXPECT_EQ(a->objectName(), QString::fromLatin1(e.name));
            if (QByteArray(e.caption) == "-") {
                EXPECT_TRUE(a->isSeparator());
                continue;
            }
            EXPECT_EQ(a->text(), QString::fromUtf8(e.caption));
            EXPECT_EQ(a->shortcut().toString(), QString::fromLatin1(e.shortcut));
            EXPECT_EQ(a->isCheckable(), e.checkable);
            EXPECT_EQ(a->isChecked(), e.checked);
            EXPECT_EQ(a->isEnabled(), e.enabled);
        }
    }
    const QList<QAction *> popup = Part<QMenu>(*w.main, "PopupMenu")->actions();
    ASSERT_EQ(popup.size(), 4);
    EXPECT_EQ(popup[0]->text(), QStringLiteral("&Up"));
    EXPECT_EQ(popup[1]->text(), QStringLiteral("Do&wn"));
    EXPECT_TRUE(popup[2]->isSeparator());
    EXPECT_EQ(popup[3]->text(), QStringLiteral("&Clear"));
}

TEST_F(MainWindowTest, StartingUpIsRaisedOnlyInsideTheCreationHandler)
{
    // A stored value of another type raises an error inside the creation
    // handler; the box it shows tells whether the flag was up.
    {
        QSettings s(QStringLiteral("Kestrix"), QStringLiteral("Quavette"));
        s.setValue(QStringLiteral("Position/Top"), QStringList{QStringLiteral("1"), QStringLiteral("2")});
    }
    QList<bool> flagWhileShown;
    messages.onShow = [&](const MessageRequest &) { flagWhileShown << StartingUp; };
    AppWindows w = start();
    ASSERT_EQ(flagWhileShown.size(), 1);
    EXPECT_TRUE(flagWhileShown[0]);
    EXPECT_FALSE(StartingUp);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("'Top' のデータ型が不正です."));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(CurrentIndex, 0) << "the steps after an error still run";
}

TEST_F(MainWindowTest, ExitRunsTheCloseHandler)
{
    AppWindows w = start();
    w.main->show();
    QSignalSpy closed(w.main.get(), &TFrm_main::closed);
    Part<QAction>(*w.main, "Exit1")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(w.main->isVisible());
    QSettings s(QStringLiteral("Kestrix"), QStringLiteral("Quavette"));
    EXPECT_EQ(s.value(QStringLiteral("Position/Width")).toString(), QStringLiteral("549"));
    EXPECT_EQ(s.value(QStringLiteral("Option/English")).toString(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, AnExceptionInAHandlerShowsOneErrorBoxAndTheWindowGoesOn)
{
    AppWindows w = start();
    SetApplicationTitle(QStringLiteral("song.mid"));
    QPushButton probe(w.main.get());
    QObject::connect(&probe, &QPushButton::clicked, [] {
        Dispatch([] { throw std::runtime_error("Something broke"); });
    });
    probe.click();
    probe.click();
    ASSERT_EQ(messages.boxes.size(), 2);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Something broke."));
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("song.mid"));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(messages.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    messages.clear();
    Dispatch([] { throw std::runtime_error("Already a sentence."); });
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Already a sentence.")});

    // The window still answers its commands.
    Part<QAction>(*w.main, "Uninstall1")->trigger();
    EXPECT_TRUE(Part<QAction>(*w.main, "Uninstall1")->isChecked());
}

TEST_F(MainWindowTest, UninstallTogglesOnlyItsCheckMark)
{
    AppWindows w = start();
    Part<QAction>(*w.main, "Uninstall1")->trigger();
    EXPECT_TRUE(Part<QAction>(*w.main, "Uninstall1")->isChecked());
    Part<QAction>(*w.main, "Uninstall1")->trigger();
    EXPECT_FALSE(Part<QAction>(*w.main, "Uninstall1")->isChecked());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(MainWindowTest, TitleShowsPlaceholderTextAsItStands)
{
    AppWindows w = start();
    w.main->SetTitle(QStringLiteral("Quavette - [*]odd.mid"));
    w.main->show();
    EXPECT_EQ(w.main->windowTitle(), QStringLiteral("Quavette - [*][*]odd.mid"));
    EXPECT_EQ(w.main->windowHandle()->title(), QStringLiteral("Quavette - [*]odd.mid"));
}

// The text Qt shows for a window text, its "[*]" placeholder rule applied.
QString shownByQt(const QString &windowText)
{
    QWidget probe;
    probe.winId();
    probe.setWindowTitle(windowText);
    return probe.windowHandle()->title();
}

TEST_F(MainWindowTest, ApplicationTitleShowsPlaceholderTextAsItStands)
{
    AppWindows w = start();
    w.main->show();
    const QString title = QStringLiteral("Quavette - /lists/[*]mine[*][*].qvt");
    SetApplicationTitle(title);
    EXPECT_EQ(ApplicationTitle(), title);
    // The icon text (the task-bar text) follows the same rule as the title.
    EXPECT_EQ(shownByQt(w.main->windowIconText()), title);
    SetApplicationTitle(QStringLiteral("Quavette"));
}

TEST(RealMessageBox, TheToolkitErrorBoxShowsItsCaptionAsItStands)
{
    SetApplicationTitle(QStringLiteral("[*]odd.mid"));
    struct Seen {
        bool found = false;
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    } seen;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(top);
            if (!box || !box->isVisible())
                continue;
            seen = {true, box->windowHandle()->title(), box->text(), box->icon(), box->standardButtons()};
            box->accept();
            return;
        }
        QCoreApplication::exit(); // no box: leave its loop rather than hang
    });
    ShowToolkitError(QStringLiteral("Something broke"));
    SetApplicationTitle(QStringLiteral("Quavette"));
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, QStringLiteral("[*]odd.mid"));
    EXPECT_EQ(seen.text, QStringLiteral("Something broke."));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(MainWindowTest, ProgramFolderIsThePerUserDataFolder)
{
    AppWindows w = start();
    EXPECT_EQ(ProgramFolder, QFile::encodeName(qEnvironmentVariable("XDG_DATA_HOME")) + "/Kestrix/Quavette/");
    EXPECT_TRUE(QFileInfo(QFile::decodeName(ProgramFolder)).isDir());
}

} // namespace
