#include "core/fileurl.h"
#include "core/openedpaths.h"
#include "support/folderfixture.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using Paths = QList<QByteArray>;

namespace {
const QByteArray SongMask = "*.mid;*.rmi";

void write(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
    ::close(fd);
}
} // namespace

TEST(SortOpenedPaths, NamedFilesArePlaylistsByExtensionOrMagicAndSongsWhateverTheirName)
{
    TempFolder dir;
    write(dir.at("song.kar"), "MThd");
    write(dir.at("list.QVT"), "song.mid(/m/song.mid)\r\n");
    write(dir.at("saved list"), "QVT1.10\r\n0\r\n");
    write(dir.at("notes.txt"), "QVT1.1");
    const OpenedPaths out = SortOpenedPaths(
        {dir.at("song.kar"), dir.at("list.QVT"), dir.at("saved list"), dir.at("notes.txt"), dir.at("gone.mid")},
        SongMask, 65535);
    EXPECT_EQ(out.playlists, (Paths{dir.at("list.QVT"), dir.at("saved list")}));
    EXPECT_EQ(out.songs, (Paths{dir.at("song.kar"), dir.at("notes.txt")}));
    ASSERT_EQ(out.problems.size(), 1);
    EXPECT_TRUE(out.problems.first().startsWith(QString::fromUtf8(dir.at("gone.mid")) + QStringLiteral(" (")));
}

TEST(SortOpenedPaths, FolderGivesItsMatchingFilesThenItsSubfoldersInNameOrder)
{
    TempFolder dir;
    for (const char *folder : {"top", "top/b", "top/A", "top/.hidden", "top/A/deep"})
        dir.folder(folder);
    for (const char *file : {"top/z.mid", "top/Y.RMI", "top/skip.wav", "top/.h.mid", "top/b/1.mid", "top/A/2.mid",
                             "top/A/deep/3.mid", "top/.hidden/4.mid"})
        dir.file(file);
    // A link back up the tree is not walked again.
    dir.link(dir.at("top"), "top/b/loop");
    const OpenedPaths out = SortOpenedPaths({dir.at("top")}, SongMask, 65535);
    EXPECT_EQ(out.songs, (Paths{dir.at("top/Y.RMI"), dir.at("top/z.mid"), dir.at("top/A/2.mid"),
                                dir.at("top/A/deep/3.mid"), dir.at("top/b/1.mid")}));
    EXPECT_TRUE(out.playlists.isEmpty());
    EXPECT_TRUE(out.problems.isEmpty());
}

TEST(SortOpenedPaths, StopsWalkingOnceThereAreMoreSongsThanTheLimit)
{
    TempFolder dir;
    for (const char *file : {"1.mid", "2.mid", "3.mid", "4.mid", "5.mid"})
        dir.file(file);
    EXPECT_EQ(SortOpenedPaths({dir.path()}, SongMask, 2).songs.size(), 3);
}

TEST(AbsolutePath, TakesRelativePathsFromTheCurrentFolderAndTidiesThem)
{
    CurrentFolderGuard keep;
    TempFolder dir;
    ASSERT_EQ(::chdir(dir.path().constData()), 0);
    EXPECT_EQ(AbsolutePath("a/./b/../c.mid"), dir.path() + "/a/c.mid");
    EXPECT_EQ(AbsolutePath("//x//y/"), "/x/y");
    EXPECT_EQ(AbsolutePath("/.."), "/");
}

TEST(FileUrl, CarriesAnyNameAsItsBytesThereAndBack)
{
    const QByteArray path = "/music/\xff\xfe name %41 #1?.mid";
    const QUrl url = FileUrl(path);
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(LocalPath(url), path);
    QMimeData data;
    data.setText(QStringLiteral("no URLs here"));
    EXPECT_TRUE(LocalPaths(data).isEmpty());
    std::unique_ptr<QMimeData> drag(FileUrlsMimeData({path, "/b.mid"}));
    EXPECT_EQ(LocalPaths(*drag), (Paths{path, "/b.mid"}));
    EXPECT_TRUE(LocalPath(QUrl(QStringLiteral("https://example.org/a.mid"))).isEmpty());
}
