// The settings as the windows use them: what start-up reads, what the close
// writes, the maximized state, "&Uninstall", and an unwritable settings
// folder. Each case runs in its own process with its own configuration.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "core/settingsstore.h"
#include "gui/startup.h"
#include "gui/widgets/splitterhandle.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/controller/tfrm_ctrl.h"
#include "core/playlist.h"
#include "gui/widgets/playlistview.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The stored texts, read as plain INI so that nothing is converted.
QMap<QString, QString> storedValues()
{
    QMap<QString, QString> out;
    QSettings ini(SettingsStore::FilePath(), QSettings::IniFormat);
    for (const QString &key : ini.allKeys())
        out.insert(key, ini.value(key).toString());
    return out;
}

class SettingsWindowTest : public ::testing::Test
{
protected:
    FakeSequencer::Shared device;
    MessageRecorder messages;

    AppWindows start() { return CreateAppWindows(std::make_unique<FakeSequencer>(&device)); }
    QString automaticList() const { return QFile::decodeName(ProgramFolder) + QStringLiteral("list.qvt"); }
};

TEST_F(SettingsWindowTest, FirstRunCreatesAnEmptyFileAndUsesDefaults)
{
    ASSERT_FALSE(QFile::exists(SettingsStore::FilePath()));
    AppWindows w = start();
    EXPECT_TRUE(QFileInfo(SettingsStore::FilePath()).isFile());
    EXPECT_EQ(readFile(SettingsStore::FilePath()), QByteArray());
    TFrm_main &m = *w.main;
    for (QAction *option : {Part<QAction>(m, "RandomMode1"), Part<QAction>(m, "showposition1"), Part<QAction>(m, "N6"), Part<QAction>(m, "Autoplay1"), Part<QAction>(m, "Showcontroller1"), Part<QAction>(m, "Japanese1")})
        EXPECT_FALSE(option->isChecked()) << option->objectName().toStdString();
    EXPECT_TRUE(Part<QAction>(m, "English1")->isChecked());
    EXPECT_EQ(w.ctrl->pos(), QPoint(176, 141));
    EXPECT_TRUE(messages.boxes.isEmpty()) << "erasing a missing \"List\" is silent";
}

TEST_F(SettingsWindowTest, CloseWritesEveryValueAsTextAndTheNextStartRestoresIt)
{
    {
        AppWindows w = start();
        TFrm_main &m = *w.main;
        m.move(-40, 20); // left of the primary screen
        m.resize(700, 500);
        m.setListWidth(300);
        Part<PlaylistView>(m, "VMusicList")->header()->resizeSection(0, 120);
        Part<PlaylistView>(m, "VMusicList")->header()->resizeSection(1, 130);
        Part<QAction>(m, "RandomMode1")->setChecked(true);
        Part<QAction>(m, "N6")->setChecked(true);
        Part<QAction>(m, "Showcontroller1")->setChecked(true);
        w.ctrl->move(10, 30);
        m.FormClose();
    }
    const QMap<QString, QString> expected = {
        {QStringLiteral("Position/Top"), QStringLiteral("20")},
        {QStringLiteral("Position/Left"), QStringLiteral("-40")},
        {QStringLiteral("Position/Width"), QStringLiteral("700")},
        {QStringLiteral("Position/Height"), QStringLiteral("500")},
        {QStringLiteral("Position/ListWidth"), QStringLiteral("300")},
        {QStringLiteral("Position/FileNameWidth"), QStringLiteral("120")},
        {QStringLiteral("Position/PathNameWidth"), QStringLiteral("130")},
        {QStringLiteral("Position/Maximized"), QStringLiteral("0")},
        {QStringLiteral("Position/CtrlTop"), QStringLiteral("30")},
        {QStringLiteral("Position/CtrlLeft"), QStringLiteral("10")},
        {QStringLiteral("Option/Random"), QStringLiteral("1")},
        {QStringLiteral("Option/ShowPosition"), QStringLiteral("0")},
        {QStringLiteral("Option/ListSave"), QStringLiteral("1")},
        {QStringLiteral("Option/AutoPlay"), QStringLiteral("0")},
        {QStringLiteral("Option/English"), QStringLiteral("1")},
        {QStringLiteral("Option/ShowController"), QStringLiteral("1")},
    };
    EXPECT_EQ(storedValues(), expected);
    EXPECT_TRUE(readFile(SettingsStore::FilePath()).contains("\nLeft=-40\n")) << "plain text, no type wrapper";
    EXPECT_EQ(QDir(QFileInfo(SettingsStore::FilePath()).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("Quavette.conf")})
        << "nothing left beside it";

    AppWindows w = start();
    TFrm_main &m = *w.main;
    EXPECT_EQ(QRect(m.pos(), m.size()), QRect(-40, 20, 700, 500));
    EXPECT_EQ(m.listWidth(), 300);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->header()->sectionSize(0), 120);
    EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->header()->sectionSize(1), 130);
    EXPECT_TRUE(Part<QAction>(m, "RandomMode1")->isChecked());
    EXPECT_TRUE(Part<QAction>(m, "N6")->isChecked());
    EXPECT_FALSE(Part<QAction>(m, "Autoplay1")->isChecked());
    EXPECT_TRUE(Part<QAction>(m, "Showcontroller1")->isChecked());
    QApplication::processEvents(); // the shown controller's place comes back from the window system
    EXPECT_EQ(w.ctrl->pos(), QPoint(10, 30));
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(SettingsWindowTest, MaximizedClosingWritesTheRestoredBoundsAndTheNextStartMaximizes)
{
    {
        AppWindows w = start();
        TFrm_main &m = *w.main;
        m.move(50, 60);
        m.resize(600, 400);
        m.show();
        m.showMaximized();
        QApplication::processEvents();
        ASSERT_TRUE(m.isMaximized());
        m.close();
    }
    const QMap<QString, QString> stored = storedValues();
    EXPECT_EQ(stored.value(QStringLiteral("Position/Maximized")), QStringLiteral("1"));
    EXPECT_EQ(stored.value(QStringLiteral("Position/Left")), QStringLiteral("50"));
    EXPECT_EQ(stored.value(QStringLiteral("Position/Top")), QStringLiteral("60"));
    EXPECT_EQ(stored.value(QStringLiteral("Position/Width")), QStringLiteral("600"));
    EXPECT_EQ(stored.value(QStringLiteral("Position/Height")), QStringLiteral("400"));

    AppWindows w = start();
    EXPECT_TRUE(w.main->windowState() & Qt::WindowMaximized);
    w.main->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(QRect(w.main->pos(), w.main->size()), QRect(50, 60, 600, 400));
}

TEST_F(SettingsWindowTest, StoredTextsFollowTheValueRules)
{
    writeFile(SettingsStore::FilePath(), "[Position]\n"
                                         "Top=abc\n"
                                         "Left=$10\n"
                                         "Width=\" 612\"\n"
                                         "Height=12x\n"
                                         "[Option]\n"
                                         "Random=1\n"
                                         "AutoPlay=\n");
    AppWindows w = start();
    TFrm_main &m = *w.main;
    EXPECT_EQ(m.y(), 78);
    EXPECT_EQ(m.x(), 16);
    EXPECT_EQ(m.width(), 612);
    EXPECT_EQ(m.height(), 369);
    EXPECT_FALSE(m.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(Part<QAction>(m, "RandomMode1")->isChecked());
    EXPECT_FALSE(Part<QAction>(m, "Autoplay1")->isChecked());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(SettingsWindowTest, AnyNonZeroFlagIsTrue)
{
    writeFile(SettingsStore::FilePath(), "[Position]\nMaximized=2\n[Option]\nRandom=-1\nShowPosition=0x0\n");
    AppWindows w = start();
    EXPECT_TRUE(w.main->windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(Part<QAction>(*w.main, "RandomMode1")->isChecked());
    EXPECT_FALSE(Part<QAction>(*w.main, "showposition1")->isChecked());
}

TEST_F(SettingsWindowTest, EnglishStoredAsZeroStartsInJapanese)
{
    writeFile(SettingsStore::FilePath(), "[Option]\nEnglish=0\n");
    AppWindows w = start();
    EXPECT_FALSE(Part<QAction>(*w.main, "English1")->isChecked());
    EXPECT_TRUE(Part<QAction>(*w.main, "Japanese1")->isChecked());
}

TEST_F(SettingsWindowTest, AListWidthAtEitherEndOfTheRangeStillLeavesAUsableWindow)
{
    for (const char *stored : {"2147483647", "-2147483648"}) {
        SCOPED_TRACE(stored);
        writeFile(SettingsStore::FilePath(), "[Position]\nListWidth=" + QByteArray(stored) + "\n");
        AppWindows w = start();
        TFrm_main &m = *w.main;
        m.show();
        QApplication::processEvents();
        // The widest list the window allows, or the narrowest there is.
        EXPECT_EQ(m.listWidth(), stored[0] == '-' ? 50 : m.width() - 20);
        EXPECT_EQ(Part<PlaylistView>(m, "VMusicList")->width(), m.listWidth());
        EXPECT_GE(Part<SplitterHandle>(m, "Splitter2")->x(), 0) << "the splitter can still be dragged";
        EXPECT_TRUE(messages.boxes.isEmpty());
    }
}

TEST_F(SettingsWindowTest, StoredBoundsThatGiveNoUsableWindowAreMendedAndStoredMended)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen, QRect(0, 0, 800, 800)) << "the cases below are laid out on this screen";
    const struct {
        const char *stored;
        QRect main;
        QPoint controller;
    } cases[] = {
        // Usable, if near the edges: as stored.
        {"Left=700\nTop=540\nWidth=100\nHeight=60\nCtrlLeft=-100\nCtrlTop=500", {700, 540, 100, 60}, {-100, 500}},
        // Never mapped, or too small to use: the first-run size.
        {"Width=0\nHeight=-7", {156, 78, 549, 369}, {176, 141}},
        {"Width=69\nHeight=39", {156, 78, 549, 369}, {176, 141}},
        // Larger than the screen: the screen's available area.
        {"Width=2147483647\nHeight=2147483647", screen, {176, 141}},
        // On no screen: moved onto the nearest one.
        {"Left=5000\nTop=-3000\nCtrlLeft=-2147483648\nCtrlTop=2147483647", {251, 0, 549, 369}, {0, 635}},
        {"Left=780\nTop=590", {251, 431, 549, 369}, {176, 141}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        writeFile(SettingsStore::FilePath(), "[Position]\n" + QByteArray(c.stored) + "\n");
        {
            AppWindows w = start();
            EXPECT_EQ(QRect(w.main->pos(), w.main->size()), c.main);
            EXPECT_EQ(w.ctrl->pos(), c.controller);
            w.main->FormClose();
        }
        const QMap<QString, QString> stored = storedValues();
        EXPECT_EQ(QRect(stored.value(QStringLiteral("Position/Left")).toInt(),
                        stored.value(QStringLiteral("Position/Top")).toInt(),
                        stored.value(QStringLiteral("Position/Width")).toInt(),
                        stored.value(QStringLiteral("Position/Height")).toInt()),
                  c.main);
        EXPECT_EQ(QPoint(stored.value(QStringLiteral("Position/CtrlLeft")).toInt(),
                         stored.value(QStringLiteral("Position/CtrlTop")).toInt()),
                  c.controller);
    }
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(SettingsWindowTest, AValueOfAnotherTypeIsReportedAndStartUpFinishes)
{
    for (const char *stored : {"Top=1, 2", "Top=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)", "Top=@ByteArray(5)"}) {
        SCOPED_TRACE(stored);
        messages.clear();
        writeFile(SettingsStore::FilePath(), "[Position]\n" + QByteArray(stored) + "\n");
        AppWindows w = start();
        ASSERT_EQ(messages.boxes.size(), 1);
        EXPECT_EQ(messages.boxes[0].text, QStringLiteral("'Top' のデータ型が不正です."));
        EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("Quavette"));
        EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
        EXPECT_FALSE(StartingUp);
        EXPECT_EQ(CurrentIndex, 0);
    }
}

TEST_F(SettingsWindowTest, AFifoInPlaceOfTheFileIsRefusedAndStartUpGoesOnWithTheDefaults)
{
    const QString path = SettingsStore::FilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    ::alarm(30); // reading it would block for ever: fail instead
    AppWindows w = start();
    ::alarm(0);
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("'") + path + QStringLiteral("' の設定に失敗しました."));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(w.main->pos(), QPoint(156, 78));
    EXPECT_FALSE(StartingUp);
}

TEST_F(SettingsWindowTest, TheListSectionIsErasedWithEverythingUnderIt)
{
    writeFile(SettingsStore::FilePath(), "[List]\nCount=2\nItem\\0=a\n"
                                         "[List%2Fsub%2Fdeeper]\nx=1\n"
                                         "[Option]\nRandom=1\n");
    AppWindows w = start();
    EXPECT_TRUE(messages.boxes.isEmpty());
    EXPECT_EQ(storedValues().keys(), QStringList{QStringLiteral("Option/Random")});
}

TEST_F(SettingsWindowTest, UninstallRemovesTheSettingsAfterWritingThemAndKeepsTheList)
{
    {
        AppWindows w = start();
        Part<QAction>(*w.main, "N6")->setChecked(true);
        Playlist.Items = {TQVTItem{"/music/a.mid"}};
        Part<QAction>(*w.main, "Uninstall1")->trigger();
        w.main->FormClose();
        EXPECT_FALSE(QFile::exists(SettingsStore::FilePath()));
    }
    EXPECT_TRUE(QFileInfo(QFileInfo(SettingsStore::FilePath()).absolutePath()).isDir());
    EXPECT_EQ(readFile(automaticList()), QByteArray("QVT1.10\r\n1\r\n/music/a.mid\r\n"));

    Playlist.Items.clear();
    AppWindows w = start();
    EXPECT_FALSE(Part<QAction>(*w.main, "N6")->isChecked()) << "the next start is a first run";
    EXPECT_TRUE(Playlist.Items.isEmpty()) << "so the saved list is not read";
    EXPECT_EQ(readFile(SettingsStore::FilePath()), QByteArray());
}

TEST_F(SettingsWindowTest, UninstallChosenTwiceRemovesNothing)
{
    AppWindows w = start();
    Part<QAction>(*w.main, "Uninstall1")->trigger();
    Part<QAction>(*w.main, "Uninstall1")->trigger();
    w.main->FormClose();
    EXPECT_EQ(storedValues().size(), 16);
}

TEST_F(SettingsWindowTest, AnUnwritableSettingsFolderIsReportedAndTheCloseGoesOn)
{
    QTemporaryDir dir;
    writeFile(dir.path() + QStringLiteral("/plain"), "a regular file");
    const QString blocked = dir.path() + QStringLiteral("/plain/config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked);

    AppWindows w = start();
    EXPECT_TRUE(messages.boxes.isEmpty()) << "opening reports nothing";
    EXPECT_EQ(w.main->pos(), QPoint(156, 78));
    Part<QAction>(*w.main, "N6")->setChecked(true);
    w.main->show();
    QSignalSpy closed(w.main.get(), &TFrm_main::closed);
    w.main->close();

    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text,
              QStringLiteral("'") + blocked + QStringLiteral("/Kestrix/Quavette.conf' の設定に失敗しました."));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(closed.count(), 1) << "a program whose settings cannot be stored can still be closed";
    EXPECT_TRUE(QFile::exists(automaticList())) << "the close went on to the automatic list";
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{QStringLiteral("plain")});
    EXPECT_FALSE(QFile::exists(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrix/Quavette.conf")));
}

} // namespace
