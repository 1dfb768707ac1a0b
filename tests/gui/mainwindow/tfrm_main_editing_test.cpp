// The editing commands on a real main window, with a fake sequencer behind
// playback and real song files in a temporary folder.
#include "gui/messages.h"
#include "support/windowparts.h"
#include "gui/startup.h"
#include "gui/mainwindow/tfrm_main.h"
#include "support/folderfixture.h"
#include "gui/widgets/filelist.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Paths = QList<QByteArray>;

class EditingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Playlist.Items.clear();
        windows = CreateAppWindows(std::make_unique<FakeSequencer>(&shared));
        w = windows.main.get();
    }
    void TearDown() override
    {
        windows = {};
        Playlist.Items.clear();
    }

    void listSongs(const QList<QByteArray> &names)
    {
        for (const QByteArray &name : names)
            dir.file(name);
        ASSERT_TRUE(Part<FileList>(*w, "FileListBox")->setDirectory(dir.path()));
        ASSERT_EQ(Part<FileList>(*w, "FileListBox")->count(), names.size());
    }
    void selectFiles(const QList<int> &rows)
    {
        Part<FileList>(*w, "FileListBox")->clearSelection();
        for (int row : rows)
            Part<FileList>(*w, "FileListBox")->item(row)->setSelected(true);
    }
    QByteArray song(const QByteArray &name) const { return dir.at(name); }

    // Entries "/m/0.mid" ... without files behind them.
    void fill(int count)
    {
        QList<TQVTItem> items;
        for (int i = 0; i < count; ++i)
            items.append({"/m/" + QByteArray::number(i) + ".mid"});
        Part<PlaylistModel>(*w, "Model")->append(items);
    }
    Paths paths() const
    {
        Paths out;
        for (const TQVTItem &item : Playlist.Items)
            out << item.Path;
        return out;
    }
    QString cell(int row, int column) const { return Part<PlaylistModel>(*w, "Model")->index(row, column).data().toString(); }
    int focusedRow() const { return Part<PlaylistView>(*w, "VMusicList")->currentIndex().row(); }

    void showActive()
    {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    QPoint rowCenter(int row) const
    {
        return Part<PlaylistView>(*w, "VMusicList")->visualRect(Part<PlaylistModel>(*w, "Model")->index(row, 0)).center();
    }
    // Songs that exist, added through the file list, playing from `row`.
    void playFrom(int row)
    {
        listSongs({"a.mid", "b.mid", "c.mid", "d.mid"});
        selectFiles({0, 1, 2, 3});
        w->Btn_addClick();
        w->SelectRowAsCurrent(row);
        w->Btn_PlayClick();
        ASSERT_TRUE(Part<QTimer>(*w, "Tmr1")->isActive());
        ASSERT_EQ(CurrentSongPath, Playlist.Items.at(row).Path);
        shared.calls.clear();
    }

    CurrentFolderGuard cwd;
    TempFolder dir;
    FakeSequencer::Shared shared;
    MessageRecorder messages;
    AppWindows windows;
    TFrm_main *w = nullptr;
};

TEST_F(EditingTest, AddAppendsTheSelectedFilesInListOrderAfterTheEntriesThere)
{
    fill(1);
    w->SelectRowAsCurrent(0);
    listSongs({"a.mid", "b.mid", "c.mid", "d.mid"});
    selectFiles({3, 0, 2});
    Part<QPushButton>(*w, "Btn_add")->click();

    EXPECT_EQ(paths(), (Paths{"/m/0.mid", song("a.mid"), song("c.mid"), song("d.mid")}));
    ASSERT_EQ(w->RowCount(), 4);
    EXPECT_EQ(cell(2, 0), QStringLiteral("c.mid"));
    EXPECT_EQ(cell(2, 1), QString::fromUtf8(dir.path() + '/'));
    EXPECT_EQ(w->SelectedRow(), 0);
    EXPECT_TRUE(Part<QAction>(*w, "SaveAs1")->isEnabled());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(EditingTest, AddingAFileTwiceKeepsBothEntries)
{
    listSongs({"a.mid"});
    selectFiles({0});
    w->Btn_addClick();
    Part<QAction>(*w, "Add1")->trigger();
    EXPECT_EQ(paths(), (Paths{song("a.mid"), song("a.mid")}));
}

TEST_F(EditingTest, AddBeyondTheBoundAddsNothingAndSaysNothing)
{
    fill(MaxPlaylistEntries - 1);
    listSongs({"a.mid", "b.mid"});
    selectFiles({0, 1});
    w->Btn_addClick();
    EXPECT_EQ(Playlist.Items.size(), MaxPlaylistEntries - 1);

    selectFiles({1});
    w->Btn_addClick();
    ASSERT_EQ(Playlist.Items.size(), MaxPlaylistEntries);
    EXPECT_EQ(Playlist.Items.last().Path, song("b.mid"));

    w->Btn_addClick();
    EXPECT_EQ(Playlist.Items.size(), MaxPlaylistEntries);
    EXPECT_EQ(w->RowCount(), MaxPlaylistEntries);
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(EditingTest, AddSkipsNamesWithLineBreaksAndNamesThemInOneBoxAfterTheOthers)
{
    listSongs({"a.mid", "b\nc.mid", "d.mid", "e\rf.mid"});
    selectFiles({0, 1, 2, 3});
    qsizetype entriesWhenShown = -1;
    messages.onShow = [&](const MessageRequest &) { entriesWhenShown = Playlist.Items.size(); };
    w->Btn_addClick();

    EXPECT_EQ(paths(), (Paths{song("a.mid"), song("d.mid")}));
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(entriesWhenShown, 2);
    const QString text = messages.boxes[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("b\u240Ac.mid"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("e\u240Df.mid"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("a.mid")));
}

TEST_F(EditingTest, AddSkipsTheFilesOfAFolderWhoseNameHasALineBreak)
{
    fill(1);
    dir.folder("new\nsongs");
    dir.file("new\nsongs/a.mid");
    dir.file("new\nsongs/b.mid");
    ASSERT_TRUE(Part<FileList>(*w, "FileListBox")->setDirectory(dir.at("new\nsongs")));
    selectFiles({0, 1});
    w->Btn_addClick();

    EXPECT_EQ(paths(), Paths{"/m/0.mid"});
    EXPECT_EQ(w->RowCount(), 1);
    EXPECT_TRUE(Part<QAction>(*w, "SaveAs1")->isEnabled());
    ASSERT_EQ(messages.boxes.size(), 1);
    const QString text = messages.boxes[0].text;
    const QString folder = QString::fromUtf8(dir.path()) + QStringLiteral("/new\u240Asongs/");
    EXPECT_TRUE(text.contains(folder + QStringLiteral("a.mid"))) << text.toStdString();
    EXPECT_TRUE(text.contains(folder + QStringLiteral("b.mid"))) << text.toStdString();
}

TEST_F(EditingTest, AddKeepsTheBytesOfANameThatIsNotUtf8)
{
    const QByteArray latin1 = "caf\xe9.mid";
    listSongs({latin1});
    selectFiles({0});
    w->Btn_addClick();
    EXPECT_EQ(paths(), Paths{song(latin1)});
    EXPECT_EQ(cell(0, 0), QStringLiteral("café.mid"));
    EXPECT_EQ(w->RowPath(0), song(latin1));
}

TEST_F(EditingTest, AddEnablesSaveAsWheneverTheFileListHoldsFiles)
{
    dir.folder("empty");
    ASSERT_TRUE(Part<FileList>(*w, "FileListBox")->setDirectory(dir.at("empty")));
    w->Btn_addClick();
    EXPECT_FALSE(Part<QAction>(*w, "SaveAs1")->isEnabled());

    listSongs({"a.mid"});
    w->Btn_addClick();
    EXPECT_TRUE(Playlist.Items.isEmpty());
    EXPECT_TRUE(Part<QAction>(*w, "SaveAs1")->isEnabled());
}

TEST_F(EditingTest, DoubleClickInTheFileListAddsTheFilesSelectedAtThatMoment)
{
    listSongs({"a.mid", "b.mid", "c.mid"});
    showActive();
    QWidget *viewport = Part<FileList>(*w, "FileListBox")->viewport();
    const QPoint third = Part<FileList>(*w, "FileListBox")->visualItemRect(Part<FileList>(*w, "FileListBox")->item(2)).center();
    selectFiles({0, 1});
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, third);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::ControlModifier, third);
    EXPECT_EQ(paths(), (Paths{song("a.mid"), song("b.mid"), song("c.mid")}));

    // A plain click first makes the clicked file the only one selected.
    const QPoint first = Part<FileList>(*w, "FileListBox")->visualItemRect(Part<FileList>(*w, "FileListBox")->item(0)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, first);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, first);
    EXPECT_EQ(paths(), (Paths{song("a.mid"), song("b.mid"), song("c.mid"), song("a.mid")}));
}

TEST_F(EditingTest, DeleteOfTheLastRowSelectsTheNewLastRow)
{
    showActive();
    fill(5);
    w->SelectRowAsCurrent(4);
    Part<FileList>(*w, "FileListBox")->setFocus();
    w->Btn_deleteClick();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/2.mid", "/m/3.mid"}));
    EXPECT_EQ(w->SelectedRow(), 3);
    EXPECT_EQ(focusedRow(), 3);
    EXPECT_TRUE(Part<PlaylistView>(*w, "VMusicList")->hasFocus());
}

TEST_F(EditingTest, DeleteOfAMiddleRowSelectsTheRowThatMovedIntoItsPlace)
{
    fill(5);
    CurrentIndex = 4;
    w->SelectRowAsCurrent(2);
    w->Btn_deleteClick();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/3.mid", "/m/4.mid"}));
    EXPECT_EQ(w->SelectedRow(), 2);
    EXPECT_EQ(cell(2, 0), QStringLiteral("3.mid"));
    EXPECT_EQ(CurrentIndex, 4);
}

TEST_F(EditingTest, DeleteOfTheOnlyRowResetsTheTitleAndTheFileItems)
{
    fill(1);
    CurrentListFile = "/lists/mine.qvt";
    Part<QAction>(*w, "Save1")->setEnabled(true);
    Part<QAction>(*w, "SaveAs1")->setEnabled(true);
    w->SetTitle(QStringLiteral("Quavette - /lists/mine.qvt"));
    SetApplicationTitle(QStringLiteral("Quavette - /lists/mine.qvt"));
    w->SelectRowAsCurrent(0);
    w->Btn_deleteClick();

    EXPECT_TRUE(Playlist.Items.isEmpty());
    EXPECT_EQ(w->RowCount(), 0);
    EXPECT_FALSE(Part<QAction>(*w, "Save1")->isEnabled());
    EXPECT_FALSE(Part<QAction>(*w, "SaveAs1")->isEnabled());
    EXPECT_EQ(w->Title(), QStringLiteral("Quavette"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Quavette"));
    EXPECT_EQ(CurrentListFile, "/lists/mine.qvt");
}

TEST_F(EditingTest, DeleteWithoutASelectedRowDoesNothing)
{
    fill(3);
    w->SetTitle(QStringLiteral("Quavette - x"));
    w->Btn_deleteClick();
    EXPECT_EQ(Playlist.Items.size(), 3);
    EXPECT_EQ(w->Title(), QStringLiteral("Quavette - x"));
}

TEST_F(EditingTest, ClearEmptiesTheListAndForgetsTheListFile)
{
    fill(3);
    w->SelectRowAsCurrent(1);
    CurrentListFile = "/lists/mine.qvt";
    Part<QAction>(*w, "Save1")->setEnabled(true);
    Part<QAction>(*w, "SaveAs1")->setEnabled(true);
    w->SetTitle(QStringLiteral("Quavette - /lists/mine.qvt"));
    Part<QPushButton>(*w, "Btn_clear")->click();
    EXPECT_TRUE(Playlist.Items.isEmpty());
    EXPECT_EQ(w->RowCount(), 0);
    EXPECT_TRUE(CurrentListFile.isEmpty());
    EXPECT_FALSE(Part<QAction>(*w, "Save1")->isEnabled());
    EXPECT_FALSE(Part<QAction>(*w, "SaveAs1")->isEnabled());
    EXPECT_EQ(w->Title(), QStringLiteral("Quavette"));
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Quavette"));
}

TEST_F(EditingTest, UpOnTheFirstRowAndDownOnTheLastDoNothing)
{
    fill(5);
    const Paths before = paths();
    w->SelectRowAsCurrent(0);
    w->Btn_UpClick();
    EXPECT_EQ(w->SelectedRow(), 0);
    w->SelectRowAsCurrent(4);
    w->Btn_DownClick();
    EXPECT_EQ(w->SelectedRow(), 4);
    w->ClearRowSelection();
    w->Btn_UpClick();
    w->Btn_DownClick();
    EXPECT_EQ(paths(), before);
    EXPECT_FALSE(Part<QAction>(*w, "SaveAs1")->isEnabled());
}

TEST_F(EditingTest, UpAndDownMoveTheEntryAndKeepItSelectedAndFocused)
{
    showActive();
    fill(5);
    w->SelectRowAsCurrent(3);
    Part<QPushButton>(*w, "Btn_Up")->click();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/3.mid", "/m/2.mid", "/m/4.mid"}));
    EXPECT_EQ(cell(2, 0), QStringLiteral("3.mid"));
    EXPECT_EQ(cell(3, 0), QStringLiteral("2.mid"));
    EXPECT_EQ(w->SelectedRow(), 2);
    EXPECT_EQ(focusedRow(), 2);
    EXPECT_TRUE(Part<PlaylistView>(*w, "VMusicList")->hasFocus());
    EXPECT_TRUE(Part<QAction>(*w, "SaveAs1")->isEnabled());

    w->SelectRowAsCurrent(0);
    Part<QPushButton>(*w, "Btn_Down")->click();
    EXPECT_EQ(paths(), (Paths{"/m/1.mid", "/m/0.mid", "/m/3.mid", "/m/2.mid", "/m/4.mid"}));
    EXPECT_EQ(w->SelectedRow(), 1);
    EXPECT_EQ(focusedRow(), 1);
}

TEST_F(EditingTest, EditMenuItemsRunOnlyWhileTheirButtonIsEnabled)
{
    listSongs({"a.mid"});
    selectFiles({0});
    fill(3);
    for (QPushButton *button : {Part<QPushButton>(*w, "Btn_add"), Part<QPushButton>(*w, "Btn_delete"), Part<QPushButton>(*w, "Btn_clear"), Part<QPushButton>(*w, "Btn_Up"), Part<QPushButton>(*w, "Btn_Down")})
        button->setEnabled(false);
    w->SelectRowAsCurrent(1);
    for (QAction *item : {Part<QAction>(*w, "Add1"), Part<QAction>(*w, "Delete1"), Part<QAction>(*w, "Up1"), Part<QAction>(*w, "Down1"), Part<QAction>(*w, "Clear1")})
        item->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/2.mid"}));

    // The popup items and the double click do not ask the buttons.
    Part<QAction>(*w, "Up")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/1.mid", "/m/0.mid", "/m/2.mid"}));
    Part<QAction>(*w, "Down")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/2.mid"}));
    Q_EMIT Part<FileList>(*w, "FileListBox")->itemDoubleClicked(Part<FileList>(*w, "FileListBox")->item(0));
    EXPECT_EQ(Playlist.Items.size(), 4);
    Part<QAction>(*w, "Clear")->trigger();
    EXPECT_TRUE(Playlist.Items.isEmpty());

    for (QPushButton *button : {Part<QPushButton>(*w, "Btn_add"), Part<QPushButton>(*w, "Btn_delete"), Part<QPushButton>(*w, "Btn_clear"), Part<QPushButton>(*w, "Btn_Up"), Part<QPushButton>(*w, "Btn_Down")})
        button->setEnabled(true);
    fill(3);
    w->SelectRowAsCurrent(1);
    Part<QAction>(*w, "Up1")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/1.mid", "/m/0.mid", "/m/2.mid"}));
    Part<QAction>(*w, "Down1")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/1.mid", "/m/2.mid"}));
    Part<QAction>(*w, "Delete1")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/2.mid"}));
    Part<QAction>(*w, "Add1")->trigger();
    EXPECT_EQ(paths(), (Paths{"/m/0.mid", "/m/2.mid", song("a.mid")}));
    Part<QAction>(*w, "Clear1")->trigger();
    EXPECT_TRUE(Playlist.Items.isEmpty());
}

TEST_F(EditingTest, TheDelKeyDeletesButNotWhileASongPlays)
{
    showActive();
    fill(3);
    w->SelectRowAsCurrent(0);
    QTest::keyClick(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Delete);
    ASSERT_EQ(Playlist.Items.size(), 2);

    Part<PlaylistModel>(*w, "Model")->clear();
    playFrom(1);
    EXPECT_FALSE(Part<QPushButton>(*w, "Btn_delete")->isEnabled());
    QTest::keyClick(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Delete);
    Part<QAction>(*w, "Delete1")->trigger();
    Part<QAction>(*w, "Clear1")->trigger();
    EXPECT_EQ(Playlist.Items.size(), 4);
    EXPECT_TRUE(Part<QTimer>(*w, "Tmr1")->isActive());
}

TEST_F(EditingTest, WhilePlayingAClickOnAnotherRowSwitchesButOnThePlayingRowDoesNot)
{
    showActive();
    playFrom(0);
    QWidget *viewport = Part<PlaylistView>(*w, "VMusicList")->viewport();
    QTest::mousePress(viewport, Qt::RightButton, {}, rowCenter(2));
    QTest::mouseRelease(viewport, Qt::RightButton, {}, rowCenter(2));
    Part<QMenu>(*w, "PopupMenu")->hide();
    EXPECT_EQ(w->SelectedRow(), 2);
    EXPECT_EQ(CurrentIndex, 2);
    EXPECT_EQ(CurrentSongPath, song("c.mid"));
    EXPECT_TRUE(shared.calls.contains(QStringLiteral("stop")));
    EXPECT_TRUE(shared.calls.contains(QStringLiteral("open:") + QString::fromUtf8(song("c.mid"))));
    EXPECT_TRUE(Part<QTimer>(*w, "Tmr1")->isActive());

    shared.calls.clear();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowCenter(2));
    EXPECT_TRUE(shared.calls.filter(QStringLiteral("open:")).isEmpty()) << shared.calls.join(u' ').toStdString();
    EXPECT_FALSE(shared.calls.contains(QStringLiteral("stop")));
    EXPECT_EQ(CurrentIndex, 2);
}

TEST_F(EditingTest, WhilePlayingReleasingAKeyReturnsTheSelectionToThePlayingRow)
{
    showActive();
    playFrom(1);
    Part<PlaylistView>(*w, "VMusicList")->setFocus();
    QTest::keyPress(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Down);
    EXPECT_EQ(w->SelectedRow(), 2);
    QTest::keyRelease(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Down);
    EXPECT_EQ(w->SelectedRow(), 1);
    EXPECT_EQ(focusedRow(), 1);
    EXPECT_EQ(CurrentSongPath, song("b.mid"));
}

TEST_F(EditingTest, WhilePlayingAnAutoRepeatedKeyReleaseLeavesTheSelectionWhereTheKeyMovedIt)
{
    showActive();
    playFrom(1);
    Part<PlaylistView>(*w, "VMusicList")->setFocus();
    QTest::keyPress(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Down);
    // X11 sends a release before each repeated press of a held key.
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(Part<PlaylistView>(*w, "VMusicList"), &repeat);
    EXPECT_EQ(w->SelectedRow(), 2);
}

TEST_F(EditingTest, CtrlClickOnTheSelectedRowLeavesItSelected)
{
    showActive();
    fill(4);
    w->SelectRowAsCurrent(2);
    QWidget *viewport = Part<PlaylistView>(*w, "VMusicList")->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, rowCenter(2));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, rowCenter(2));
    EXPECT_EQ(w->SelectedRow(), 2);
}

TEST_F(EditingTest, RebuildingTheViewLeavesNoRowSelectedOrFocused)
{
    fill(4);
    w->SelectRowAsCurrent(2);
    CurrentIndex = 2;
    Playlist.Items = {TQVTItem{"/n/x.mid"}, TQVTItem{"/n/y.mid"}, TQVTItem{"/n/x.mid"}};
    w->RebuildPlaylistView();

    ASSERT_EQ(w->RowCount(), 3);
    EXPECT_EQ(cell(1, 0), QStringLiteral("y.mid"));
    EXPECT_EQ(cell(2, 1), QStringLiteral("/n/"));
    EXPECT_EQ(w->SelectedRow(), -1);
    EXPECT_FALSE(Part<PlaylistView>(*w, "VMusicList")->currentIndex().isValid());
    EXPECT_EQ(CurrentIndex, 2);
}

TEST_F(EditingTest, ClearingTheRowSelectionLeavesTheFocusedRow)
{
    fill(4);
    w->SelectRowAsCurrent(3);
    w->ClearRowSelection();
    EXPECT_EQ(w->SelectedRow(), -1);
    EXPECT_EQ(focusedRow(), 3);
}

TEST_F(EditingTest, WhenStoppedKeysAndClicksOnlyMoveTheSelection)
{
    showActive();
    fill(4);
    w->SelectRowAsCurrent(1);
    QTest::keyClick(Part<PlaylistView>(*w, "VMusicList"), Qt::Key_Down);
    EXPECT_EQ(w->SelectedRow(), 2);

    // A press on empty space leaves the focused row selected.
    w->ClearRowSelection();
    const QPoint below(5, Part<PlaylistView>(*w, "VMusicList")->viewport()->height() - 3);
    ASSERT_FALSE(Part<PlaylistView>(*w, "VMusicList")->indexAt(below).isValid());
    QTest::mousePress(Part<PlaylistView>(*w, "VMusicList")->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(w->SelectedRow(), 2);
    QTest::mouseRelease(Part<PlaylistView>(*w, "VMusicList")->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(w->SelectedRow(), 2);
    EXPECT_TRUE(shared.calls.isEmpty());
    EXPECT_EQ(CurrentIndex, 0);
}

} // namespace
