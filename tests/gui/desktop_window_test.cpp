// Files from outside the program's dialogs (the command line, a second start,
// a drop on the playlist) and rows dragged out, on a real main window over
// the fake sequencer.
#include "support/playbackfixture.h"
#include "support/windowparts.h"

#include "core/fileurl.h"
#include "core/qvtfile.h"
#include "gui/fileopener.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/playlistview.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>

namespace {

using Paths = QList<QByteArray>;

class DesktopFiles : public PlaybackFixture
{
protected:
    Paths playlistPaths() const
    {
        Paths out;
        for (const TQVTItem &item : Playlist.Items)
            out << item.Path;
        return out;
    }

    QByteArray playlistFile(const QByteArray &name, const Paths &entries)
    {
        QList<TQVTItem> items;
        for (const QByteArray &entry : entries)
            items.append({entry});
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + name;
        WriteQvtFile(path, items);
        return path;
    }

    // Lets `data` go on the playlist view; true when the view took it.
    bool drop(std::unique_ptr<QMimeData> data)
    {
        QWidget *viewport = Part<PlaylistView>(*m, "VMusicList")->viewport();
        const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        QCoreApplication::processEvents(); // the drop is handled after the drag
        return enter.isAccepted() && drop.isAccepted();
    }
};

TEST_F(DesktopFiles, AddedSongsGoAtTheEndAndTheFirstStartsAsIfDoubleClicked)
{
    const Paths old = songs(2);
    start(old);
    playRow(0);
    const QByteArray a = song("a.kar"), b = song("b.mid");

    OpenFiles(*m, {a, b}, AfterAdding::PlayFirst);

    EXPECT_EQ(playlistPaths(), (Paths{old[0], old[1], a, b}));
    EXPECT_EQ(state(), "Playing");
    EXPECT_EQ(CurrentSongPath, a);
    EXPECT_EQ(CurrentIndex, 2);
    EXPECT_EQ(m->SelectedRow(), 2);
    EXPECT_EQ(m->Title(), QStringLiteral("Quavette - a.kar"));
    EXPECT_TRUE(Part<QAction>(*m, "SaveAs1")->isEnabled());
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(DesktopFiles, PlaylistsOpenAsWithFileOpenAndTheLastStaysCurrent)
{
    const Paths listed = songs(2);
    const QByteArray first = playlistFile("first.qvt", {listed[0]});
    const QByteArray second = playlistFile("second.QVT", {listed[1]});
    const QByteArray named = song("named.mid");
    start(songs(1));
    playRow(0);

    OpenFiles(*m, {named, first, second}, AfterAdding::PlayFirst);

    // Open stopped the song; the named song joins the list opened last.
    EXPECT_EQ(playlistPaths(), (Paths{listed[1], named}));
    EXPECT_EQ(CurrentListFile, second);
    EXPECT_TRUE(Part<QAction>(*m, "Save1")->isEnabled());
    EXPECT_EQ(CurrentSongPath, named);
    EXPECT_EQ(state(), "Playing");
}

TEST_F(DesktopFiles, WhatCannotBeOpenedIsNamedInOneMessageAfterTheRestIsAdded)
{
    start();
    const QByteArray good = song("good.mid");
    const QByteArray broken = song("line\nbreak.mid");
    const QByteArray missing = QFile::encodeName(dir.path()) + "/missing.mid";

    OpenFiles(*m, {missing, good, broken, "/no/such/folder"}, AfterAdding::Nothing);

    EXPECT_EQ(playlistPaths(), Paths{good});
    EXPECT_EQ(state(), "Idle");
    ASSERT_EQ(messages.boxes.size(), 2);
    EXPECT_TRUE(messages.boxes[0].text.startsWith(QStringLiteral("This file was not added")));
    const QString named = messages.boxes[1].text;
    EXPECT_TRUE(named.startsWith(QStringLiteral("These files could not be opened:")));
    EXPECT_TRUE(named.contains(QString::fromUtf8(missing)));
    EXPECT_TRUE(named.contains(QStringLiteral("/no/such/folder")));
    EXPECT_EQ(messages.boxes[1].caption, QStringLiteral("error"));
}

TEST_F(DesktopFiles, NothingIsAddedWhenThePlaylistWouldPassItsLimit)
{
    start();
    QList<TQVTItem> items(MaxPlaylistEntries - 1, TQVTItem{"/m/x.mid"});
    Part<PlaylistModel>(*m, "Model")->replace(items);

    OpenFiles(*m, {song("a.mid"), song("b.mid")}, AfterAdding::PlayFirst);

    EXPECT_EQ(Playlist.Items.size(), MaxPlaylistEntries - 1);
    EXPECT_EQ(state(), "Idle");
    EXPECT_TRUE(messages.boxes.isEmpty());
}

TEST_F(DesktopFiles, DroppedSongsAndFoldersAreAddedWithoutPlaying)
{
    start();
    const QByteArray single = song("single.mid");
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder/sub")));
    const QByteArray inSub = song("folder/sub/2.rmi");
    const QByteArray inFolder = song("folder/1.mid");
    song("folder/cover.jpg");

    EXPECT_TRUE(drop(std::unique_ptr<QMimeData>(FileUrlsMimeData({single, QFile::encodeName(dir.path()) + "/folder"}))));

    EXPECT_EQ(playlistPaths(), (Paths{single, inFolder, inSub}));
    EXPECT_EQ(state(), "Idle");
}

TEST_F(DesktopFiles, RowsDraggedOutOfBothListsOfferTheirFiles)
{
    start({"/m/\xe9t\xe9.mid", "/m/b.mid"});
    const QModelIndexList row = {Part<PlaylistModel>(*m, "Model")->index(0, 0), Part<PlaylistModel>(*m, "Model")->index(0, 1)};
    std::unique_ptr<QMimeData> fromPlaylist(Part<PlaylistModel>(*m, "Model")->mimeData(row));
    EXPECT_EQ(LocalPaths(*fromPlaylist), Paths{"/m/\xe9t\xe9.mid"});
    // Let go on the playlist again, the rows add nothing.
    EXPECT_FALSE(drop(std::unique_ptr<QMimeData>(Part<PlaylistModel>(*m, "Model")->mimeData(row))));
    EXPECT_EQ(Playlist.Items.size(), 2);

    const Paths files = {song("x.mid"), song("y.mid")};
    ASSERT_TRUE(Part<FileList>(*m, "FileListBox")->setDirectory(QFile::encodeName(dir.path())));
    std::unique_ptr<QMimeData> fromFiles(Part<FileList>(*m, "FileListBox")->model()->mimeData(
        {Part<FileList>(*m, "FileListBox")->model()->index(1, 0), Part<FileList>(*m, "FileListBox")->model()->index(0, 0)}));
    EXPECT_EQ(LocalPaths(*fromFiles), files);

    for (const QAbstractItemModel *model : std::initializer_list<const QAbstractItemModel *>{Part<PlaylistModel>(*m, "Model"),
                                            Part<FileList>(*m, "FileListBox")->model()})
        EXPECT_FALSE(model->supportedDragActions() & Qt::MoveAction) << "a drag out never moves the songs";
}

} // namespace
