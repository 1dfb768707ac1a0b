// The "&File" commands on playlist files and the automatic list "list.qvt",
// driven through the main window with the dialogs replaced.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "core/settingsstore.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/controller/tfrm_ctrl.h"
#include "core/playlist.h"
#include "gui/widgets/playlistmodel.h"
#include "core/qvtfile.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "support/bytefiles.h"

namespace {

void writeFile(const QByteArray &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(QFile::decodeName(path)).absolutePath());
    ASSERT_TRUE(WriteBytes(path, bytes));
}

QByteArray readFile(const QByteArray &path)
{
    return ReadBytes(path);
}

QList<QByteArray> playlistPaths()
{
    QList<QByteArray> out;
    for (const TQVTItem &item : Playlist.Items)
        out << item.Path;
    return out;
}

class PlaylistFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
        m = w.main.get();
        m->OpenDialog = [this](const QByteArray &initial) {
            dialogStarts << initial;
            return chosen;
        };
        m->SaveDialog = m->OpenDialog;
    }

    QByteArray path(const QByteArray &name) const { return QFile::encodeName(dir.path()) + '/' + name; }
    void setPlaylist(std::initializer_list<QByteArray> paths)
    {
        Playlist.Items.clear();
        for (const QByteArray &p : paths)
            Playlist.Items << TQVTItem{p};
        m->RebuildPlaylistView();
    }
    void open(const QByteArray &file)
    {
        chosen = file;
        Part<QAction>(*m, "Open1")->trigger();
    }
    void saveAs(const QByteArray &file)
    {
        chosen = file;
        Part<QAction>(*m, "SaveAs1")->setEnabled(true); // as adding entries does
        Part<QAction>(*m, "SaveAs1")->trigger();
    }

    QTemporaryDir dir;
    FakeSequencer::Shared device;
    MessageRecorder messages;
    AppWindows w;
    TFrm_main *m = nullptr;
    QByteArray chosen;
    QList<QByteArray> dialogStarts;
};

TEST_F(PlaylistFilesTest, OpenReadsTheFileAndNamesIt)
{
    const QByteArray file = path("mine.qvt");
    writeFile(file, "QVT1.10\r\n2\r\n/music/a.mid\r\n/music/b.mid\r\n");
    open(file);
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/a.mid", "/music/b.mid"}));
    EXPECT_EQ(m->RowCount(), 2);
    EXPECT_EQ(m->RowFileName(1), QStringLiteral("b.mid"));
    EXPECT_EQ(m->SelectedRow(), -1);
    EXPECT_EQ(CurrentListFile, file);
    EXPECT_TRUE(Part<QAction>(*m, "Save1")->isEnabled());
    EXPECT_TRUE(Part<QAction>(*m, "SaveAs1")->isEnabled());
    const QString title = QStringLiteral("Quavette - ") + QFile::decodeName(file);
    EXPECT_EQ(m->Title(), title);
    EXPECT_EQ(ApplicationTitle(), title);
    EXPECT_EQ(m->windowIconText(), title);
    EXPECT_TRUE(messages.boxes.isEmpty());

    // The dialog starts on the current list next time.
    open({});
    EXPECT_EQ(dialogStarts, QList<QByteArray>({QByteArray(), file}));
}

TEST_F(PlaylistFilesTest, CancellingOpenChangesNothing)
{
    setPlaylist({"/music/a.mid"});
    open({});
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/a.mid"}));
    EXPECT_TRUE(CurrentListFile.isEmpty());
    EXPECT_FALSE(Part<QAction>(*m, "Save1")->isEnabled());
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
}

TEST_F(PlaylistFilesTest, BadFileStopsOpenSoSaveCannotOverwriteIt)
{
    const QByteArray current = path("current.qvt");
    writeFile(current, "QVT1.10\r\n1\r\n/music/keep.mid\r\n");
    open(current);
    const QByteArray bad = path("huge.qvt");
    writeFile(bad, "QVT1.10\r\n65536\r\n");
    open(bad);
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Bad file"));
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("error"));
    EXPECT_EQ(messages.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/keep.mid"}));
    EXPECT_EQ(m->RowCount(), 1);
    EXPECT_EQ(CurrentListFile, current);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - ") + QFile::decodeName(current));
    Part<QAction>(*m, "Save1")->trigger();
    EXPECT_EQ(readFile(bad), QByteArray("QVT1.10\r\n65536\r\n"));

    // A file without lines is still taken.
    const QByteArray empty = path("empty.qvt");
    writeFile(empty, "");
    open(empty);
    EXPECT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/keep.mid"}));
    EXPECT_EQ(CurrentListFile, empty);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - ") + QFile::decodeName(empty));
}

TEST_F(PlaylistFilesTest, AnUnreadableFileStopsOpenAndKeepsTheList)
{
    const struct {
        const char *bytes;
        const char *reason;
    } cases[] = {
        {"QVT1.10\r\nmany\r\n/a.mid\r\n", "the entry count is not a number"},
        {"QVT1.10\r\n-2\r\n", "the entry count is negative"},
        {"QVT1.10\r\n", "the entry count is missing"},
        {"QVT1.10\r\n3\r\n/new/a.mid\r\n/new/b.mid\r\n", "the file ends before its 3 entries"},
    };
    setPlaylist({"/music/keep.mid", "/music/too.mid"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        messages.clear();
        const QByteArray file = path("broken.qvt");
        writeFile(file, c.bytes);
        open(file);
        ASSERT_EQ(messages.boxes.size(), 1);
        EXPECT_EQ(messages.boxes[0].text, QStringLiteral("Cannot read the playlist file ") + QFile::decodeName(file)
                                              + QStringLiteral(": ") + QString::fromUtf8(c.reason)
                                              + QStringLiteral("."));
        EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
        EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("Quavette"));
        EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/keep.mid", "/music/too.mid"}));
        EXPECT_EQ(m->RowCount(), 2);
        EXPECT_TRUE(CurrentListFile.isEmpty());
        EXPECT_FALSE(Part<QAction>(*m, "Save1")->isEnabled());
        EXPECT_FALSE(Part<QAction>(*m, "SaveAs1")->isEnabled());
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
    }
}

TEST_F(PlaylistFilesTest, OpenWhilePlayingStopsFirst)
{
    const QByteArray song = path("song.mid");
    writeFile(song, "MThd");
    setPlaylist({song});
    m->Btn_PlayClick();
    ASSERT_TRUE(Part<QPushButton>(*m, "Btn_Stop")->isEnabled());
    ASSERT_TRUE(device.calls.contains(QStringLiteral("play")));

    const QByteArray file = path("next.qvt");
    writeFile(file, "QVT1.10\r\n1\r\n/other.mid\r\n");
    const qsizetype callsBefore = device.calls.size();
    open(file);
    EXPECT_FALSE(Part<QPushButton>(*m, "Btn_Stop")->isEnabled());
    EXPECT_FALSE(Part<QTimer>(*m, "Tmr1")->isActive());
    EXPECT_TRUE(device.calls.mid(callsBefore).contains(QStringLiteral("stop")));
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/other.mid"}));
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - ") + QFile::decodeName(file));
}

TEST_F(PlaylistFilesTest, SaveAsAddsTheExtensionOnlyWhenThePathHasNoDot)
{
    setPlaylist({"/music/a.mid"});
    const QByteArray expected = "QVT1.10\r\n1\r\n/music/a.mid\r\n";
    const struct {
        QByteArray chosen;
        QByteArray written;
    } cases[] = {
        {path("Lists/mine"), path("Lists/mine.qvt")},
        {path("My.Lists/mine"), path("My.Lists/mine")},
        {path("Lists/mine.txt"), path("Lists/mine.txt")},
    };
    QDir().mkpath(dir.path() + QStringLiteral("/Lists"));
    QDir().mkpath(dir.path() + QStringLiteral("/My.Lists"));
    for (const auto &c : cases) {
        saveAs(c.chosen);
        EXPECT_EQ(readFile(c.written), expected) << c.chosen.toStdString();
        EXPECT_EQ(CurrentListFile, c.written);
        EXPECT_EQ(m->Title(), QStringLiteral("Quavette - ") + QFile::decodeName(c.written));
        EXPECT_EQ(ApplicationTitle(), m->Title());
    }
    EXPECT_FALSE(QFile::exists(QFile::decodeName(path("Lists/mine"))));
    EXPECT_FALSE(QFile::exists(QFile::decodeName(path("My.Lists/mine.qvt"))));
}

TEST_F(PlaylistFilesTest, SaveAsEnablesSaveAndLeavesTheRestAlone)
{
    const QByteArray song = path("song.mid");
    writeFile(song, "MThd");
    setPlaylist({song});
    m->Btn_PlayClick();
    ASSERT_TRUE(Part<QPushButton>(*m, "Btn_Stop")->isEnabled());
    m->SelectRowAsCurrent(0);

    saveAs(path("x.qvt"));
    EXPECT_TRUE(Part<QAction>(*m, "Save1")->isEnabled());
    EXPECT_TRUE(Part<QPushButton>(*m, "Btn_Stop")->isEnabled()) << "playback goes on";
    EXPECT_EQ(m->SelectedRow(), 0) << "the view is not rebuilt";
}

TEST_F(PlaylistFilesTest, AFailedSaveAsKeepsTheNewNameAndSkipsTheRest)
{
    writeFile(path("plain"), "a regular file");
    setPlaylist({"/music/a.mid"});
    const QByteArray target = path("plain/list.qvt");
    saveAs(target);
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_TRUE(messages.boxes[0].text.startsWith(QStringLiteral("Cannot write the playlist file ")
                                                  + QFile::decodeName(target) + QStringLiteral(": ")));
    EXPECT_EQ(messages.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(CurrentListFile, target);
    EXPECT_FALSE(Part<QAction>(*m, "Save1")->isEnabled());
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette"));
}

TEST_F(PlaylistFilesTest, SaveWritesTheCurrentFileWithoutTouchingTheTitle)
{
    const QByteArray file = path("mine.qvt");
    writeFile(file, "QVT1.10\r\n1\r\n/music/a.mid\r\n");
    open(file);
    Playlist.Items << TQVTItem{"/music/b.mid"};
    SetApplicationTitle(QStringLiteral("song.mid"));
    Part<QAction>(*m, "Save1")->trigger();
    EXPECT_EQ(readFile(file), QByteArray("QVT1.10\r\n2\r\n/music/a.mid\r\n/music/b.mid\r\n"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("song.mid"));
    EXPECT_EQ(dialogStarts.size(), 1) << "no dialog";
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(PlaylistFilesTest, AFileThisProgramWroteSurvivesOpenAndSaveByteForByte)
{
    const QByteArray original = "QVT1.10\r\n4\r\n/with space/a (1).mid\r\n/日本/曲.mid\r\n"
                                "/sjis/\x83\x7e.mid\r\n  padded  \r\n";
    const QByteArray file = path("\x83\x8a\x83\x58\x83\x67.qvt"); // a non-UTF-8 name too
    writeFile(file, original);
    open(file);
    ASSERT_EQ(Playlist.Items.size(), 4);
    saveAs(path("copy.qvt"));
    EXPECT_EQ(readFile(path("copy.qvt")), original);
    Part<QAction>(*m, "Save1")->trigger();
    EXPECT_EQ(readFile(path("copy.qvt")), original);
}

TEST_F(PlaylistFilesTest, ALegacyFileIsSavedInTheCurrentLayout)
{
    const QByteArray file = path("old.qvt");
    writeFile(file, "a.mid(C:/x/a.mid)\r\nb (1).mid(C:/x/b (1).mid)\r\n");
    open(file);
    saveAs(path("new.qvt"));
    EXPECT_EQ(readFile(path("new.qvt")), QByteArray("QVT1.10\r\n2\r\nC:/x/a.mid\r\nC:/x/b (1).mid\r\n"));
}

// The default dialogs, driven while they are open.
TEST_F(PlaylistFilesTest, TheOpenDialogAsksForAnExistingPlaylistFile)
{
    const QByteArray file = path("pick.QVT");
    writeFile(file, "QVT1.10\r\n0\r\n");
    TFrm_main fresh(std::make_unique<FakeSequencer>(&device));
    ASSERT_TRUE(fresh.OpenDialog);
    ASSERT_TRUE(fresh.SaveDialog);

    QFileDialog *seen = nullptr;
    QTimer::singleShot(0, [&] {
        seen = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(seen);
        EXPECT_EQ(seen->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(seen->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_TRUE(seen->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(seen->nameFilters(), QStringList{QStringLiteral("qvt File(*.qvt) (*.QVT)")});
        EXPECT_EQ(seen->selectedFiles(), QStringList{QFile::decodeName(file)});
        static_cast<QDialog *>(seen)->accept();
    });
    EXPECT_EQ(fresh.OpenDialog(file), file);
    EXPECT_TRUE(seen);
}

TEST_F(PlaylistFilesTest, TheSaveDialogNeverAsksBeforeOverwriting)
{
    const QByteArray file = path("exists.qvt");
    writeFile(file, "old");
    TFrm_main fresh(std::make_unique<FakeSequencer>(&device));
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        shown = true;
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("qvt File(*.qvt) (*.QVT)")});
        EXPECT_TRUE(dialog->defaultSuffix().isEmpty());
        static_cast<QDialog *>(dialog)->accept();
    });
    EXPECT_EQ(fresh.SaveDialog(file), file);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages.boxes.isEmpty());
}

// The automatic list, with "&Save list" checked.
class AutomaticListTest : public ::testing::Test
{
protected:
    AppWindows start() { return CreateAppWindows(std::make_unique<FakeSequencer>(&device)); }
    void storeListSave()
    {
        QFile file(SettingsStore::FilePath());
        QDir().mkpath(QFileInfo(file).absolutePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Option]\nListSave=1\n");
    }
    QByteArray listFile() const { return ComputeProgramFolder() + "list.qvt"; }

    FakeSequencer::Shared device;
    MessageRecorder messages;
};

TEST_F(AutomaticListTest, ReadAtStartWithoutNamingAFile)
{
    storeListSave();
    writeFile(listFile(), "QVT1.10\r\n2\r\n/music/a.mid\r\n/music/b.mid\r\n");
    AppWindows w = start();
    EXPECT_EQ(playlistPaths(), QList<QByteArray>({"/music/a.mid", "/music/b.mid"}));
    EXPECT_EQ(w.main->RowCount(), 2);
    EXPECT_TRUE(Part<QAction>(*w.main, "SaveAs1")->isEnabled());
    EXPECT_FALSE(Part<QAction>(*w.main, "Save1")->isEnabled());
    EXPECT_TRUE(CurrentListFile.isEmpty());
    EXPECT_EQ(w.main->Title(), QStringLiteral("Quavette"));
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(AutomaticListTest, AutoPlayStartsRowZeroAndTheControllerStartsTheTimer)
{
    QTemporaryDir dir;
    const QByteArray song = QFile::encodeName(dir.path()) + "/song.mid";
    writeFile(song, "MThd");
    {
        QFile file(SettingsStore::FilePath());
        QDir().mkpath(QFileInfo(file).absolutePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Option]\nListSave=1\nAutoPlay=1\n");
    }
    writeFile(listFile(), "QVT1.10\r\n2\r\n" + song + "\r\n/music/b.mid\r\n");

    TFrm_main main(std::make_unique<FakeSequencer>(&device));
    main.FormCreate();
    EXPECT_EQ(main.SelectedRow(), 0);
    EXPECT_TRUE(device.calls.contains(QStringLiteral("play")));
    EXPECT_FALSE(Part<QTimer>(main, "Tmr1")->isActive()) << "not while the controller does not exist";
    TFrm_ctrl ctrl;
    ctrl.FormCreate();
    EXPECT_TRUE(Part<QTimer>(main, "Tmr1")->isActive());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(AutomaticListTest, NotReadWhileTheOptionIsOff)
{
    writeFile(listFile(), "QVT1.10\r\n1\r\n/music/a.mid\r\n");
    AppWindows w = start();
    EXPECT_TRUE(Playlist.Items.isEmpty());
    Playlist.Items << TQVTItem{"/x.mid"};
    w.main->FormClose();
    EXPECT_EQ(readFile(listFile()), QByteArray("QVT1.10\r\n1\r\n/music/a.mid\r\n"));
}

TEST_F(AutomaticListTest, AMissingFileIsAnEmptyListAndTheCloseWritesIt)
{
    storeListSave();
    AppWindows w = start();
    EXPECT_TRUE(messages.boxes.isEmpty());
    EXPECT_TRUE(Playlist.Items.isEmpty());
    EXPECT_FALSE(Part<QAction>(*w.main, "SaveAs1")->isEnabled());
    w.main->FormClose();
    EXPECT_EQ(readFile(listFile()), QByteArray("QVT1.10\r\n0\r\n"));
}

TEST_F(AutomaticListTest, WrittenAtCloseWhateverItHolds)
{
    AppWindows w = start();
    Part<QAction>(*w.main, "N6")->setChecked(true); // set directly, as the stored option does
    Playlist.Items = {TQVTItem{"/a b/(c).mid"}, TQVTItem{QByteArray("/\xff.mid")}};
    w.main->show();
    w.main->close();
    EXPECT_FALSE(w.main->isVisible());
    EXPECT_EQ(readFile(listFile()), QByteArray("QVT1.10\r\n2\r\n/a b/(c).mid\r\n/\xff.mid\r\n"));
}

TEST_F(AutomaticListTest, AListThatCannotBeReadAsWrittenIsKeptBesideEarlierCopies)
{
    QByteArray tooLong;
    for (int k = 0; k < 65536; ++k)
        tooLong += "s.mid(/m/s.mid)\r\n";
    const struct {
        QByteArray bytes;
        const char *message; // %1: the list, %2: its copy
        QList<QByteArray> read;
    } cases[] = {
        {"QVT1.10\r\nlots\r\n/music/a.mid\r\n",
         "Cannot read the playlist file %1: the entry count is not a number; the file was kept as %2.", {}},
        {tooLong, "Bad file\n\nThe file was kept as %2.", {}},
        // Plain paths as a person might type them: the older layout reads
        // each as an empty entry, and the close would write them so.
        {"/music/a.mid\r\n/music/b.mid\r\n",
         "Some lines of the playlist file %1 hold no path that can be read; the file was kept as %2.", {"", ""}},
    };
    storeListSave();
    writeFile(listFile() + ".bak", "an older copy");
    int copy = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        messages.clear();
        writeFile(listFile(), c.bytes);
        const QByteArray kept = listFile() + ".bak." + QByteArray::number(++copy);
        AppWindows w = start();
        EXPECT_EQ(messages.texts(), QStringList{QString::fromUtf8(c.message)
                                                    .replace(QStringLiteral("%1"), QFile::decodeName(listFile()))
                                                    .replace(QStringLiteral("%2"), QFile::decodeName(kept))});
        EXPECT_EQ(readFile(kept), c.bytes);
        EXPECT_FALSE(StartingUp);
        EXPECT_EQ(playlistPaths(), c.read);
        w.main->FormClose();
        EXPECT_EQ(readFile(listFile()), SerializeQvt(Playlist.Items));
    }
    EXPECT_EQ(readFile(listFile() + ".bak"), QByteArray("an older copy"));
}

TEST_F(AutomaticListTest, AFailedWriteKeepsTheWindowOpenUntilTheOptionIsOff)
{
    AppWindows w = start();
    QTemporaryDir dir;
    writeFile(QFile::encodeName(dir.path()) + "/plain", "a regular file");
    ProgramFolder = QFile::encodeName(dir.path()) + "/plain/";
    Part<QAction>(*w.main, "N6")->setChecked(true);
    Playlist.Items = {TQVTItem{"/music/a.mid"}};
    w.main->show();
    w.main->close();
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_TRUE(messages.boxes[0].text.startsWith(QStringLiteral("Cannot write the playlist file ")
                                                  + QFile::decodeName(ProgramFolder) + QStringLiteral("list.qvt: ")));
    EXPECT_TRUE(w.main->isVisible());

    Part<QAction>(*w.main, "N6")->setChecked(false);
    w.main->close();
    EXPECT_FALSE(w.main->isVisible());
    EXPECT_EQ(messages.boxes.size(), 1);
}

} // namespace
