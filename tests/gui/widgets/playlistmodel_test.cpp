// The playlist array, path splitting and the view model.
#include "core/playlist.h"
#include "gui/widgets/playlistmodel.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char *path;
    const char *name;
    const char *folder;
};

TEST(SplitPath, SplitsAtTheLastSeparatorButNeverTheFinalCharacter)
{
    const SplitCase cases[] = {
        {"/music/song.mid", "song.mid", "/music/"},
        {"/song.mid", "song.mid", "/"},
        {"song.mid", "song.mid", ""},
        {"/music/", "music/", "/"},
        {"abc/", "abc/", ""},
        {"", "", ""},
        {"/", "/", ""},
        {"//", "/", "/"},
        {"a/b/c/d.rmi", "d.rmi", "a/b/c/"},
        {"/x/a (b).mid", "a (b).mid", "/x/"},
    };
    for (const SplitCase &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(SplitPath(c.path, PathPart::Name), QByteArray(c.name));
        EXPECT_EQ(SplitPath(c.path, PathPart::Folder), QByteArray(c.folder));
    }
}

TEST(SplitPath, FolderFollowedByNameGivesThePathBackForAnyBytes)
{
    QRandomGenerator random(20261208);
    const char alphabet[] = {'/', 'a', '.', ' ', '(', '\\', char(0xe3), char(0x81), char(0x82), char(0xff), '\0'};
    for (int i = 0; i < 20000; ++i) {
        QByteArray path;
        const int length = random.bounded(12);
        for (int k = 0; k < length; ++k)
            path += alphabet[random.bounded(int(sizeof alphabet))];
        const QByteArray name = SplitPath(path, PathPart::Name);
        const QByteArray folder = SplitPath(path, PathPart::Folder);
        ASSERT_EQ(folder + name, path);
        ASSERT_TRUE(folder.isEmpty() || folder.endsWith('/'));
    }
}

TEST(DecodePath, ShowsUtf8ShiftJisAndOtherBytes)
{
    EXPECT_EQ(DecodePath("/曲/歌.mid"), QStringLiteral("/曲/歌.mid"));
    // "歌" in Shift-JIS, as older playlists hold it.
    EXPECT_EQ(DecodePath(QByteArray("\x89\xcc.mid")), QStringLiteral("歌.mid"));
    // Neither: every byte still shows as something.
    EXPECT_EQ(DecodePath(QByteArray("\xff\xfe.mid")).size(), 6);
}

class PlaylistModelTest : public ::testing::Test
{
protected:
    void SetUp() override { Playlist.Items.clear(); }
    void TearDown() override { Playlist.Items.clear(); }

    static QList<TQVTItem> items(std::initializer_list<const char *> paths)
    {
        QList<TQVTItem> out;
        for (const char *p : paths)
            out.append(TQVTItem{QByteArray(p)});
        return out;
    }
    static QString cell(const PlaylistModel &m, int row, int column)
    {
        return m.index(row, column).data().toString();
    }
};

TEST_F(PlaylistModelTest, RowIShowsEntryIThroughEveryChange)
{
    PlaylistModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    model.append(items({"/a/one.mid", "/b/two.mid", "three.mid"}));
    model.append(items({"/a/one.mid"}));
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(cell(model, 0, 0), QStringLiteral("one.mid"));
    EXPECT_EQ(cell(model, 0, 1), QStringLiteral("/a/"));
    EXPECT_EQ(cell(model, 2, 1), QString());
    EXPECT_EQ(cell(model, 3, 0), cell(model, 0, 0)) << "duplicates give identical rows";

    model.swap(0, 1);
    EXPECT_EQ(cell(model, 0, 0), QStringLiteral("two.mid"));
    EXPECT_EQ(Playlist.Items[1].Path, QByteArray("/a/one.mid"));

    model.remove(1);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(cell(model, 1, 0), QStringLiteral("three.mid"));

    Playlist.Items = items({"/x/y.rmi"});
    model.rebuild();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(cell(model, 0, 0), QStringLiteral("y.rmi"));

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(Playlist.Items.isEmpty());
}

TEST_F(PlaylistModelTest, AnEmptyPathShowsTwoEmptyCells)
{
    PlaylistModel model;
    model.append(items({""}));
    EXPECT_EQ(cell(model, 0, 0), QString());
    EXPECT_EQ(cell(model, 0, 1), QString());
}

TEST_F(PlaylistModelTest, ColumnCaptionsCanChange)
{
    PlaylistModel model;
    model.setColumnCaption(0, QStringLiteral("File name"));
    model.setColumnCaption(1, QStringLiteral("パス名"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("File name"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("パス名"));
}

} // namespace
