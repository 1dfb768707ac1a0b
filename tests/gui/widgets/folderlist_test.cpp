#include "gui/widgets/browsericons.h"
#include "support/folderfixture.h"
#include "core/folderreader.h"
#include "core/paths.h"
#include "gui/widgets/folderlist.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/listlinedelegate.h"
#include "support/failurelog.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Line {
    QString text;
    QByteArray path;
    int level;
    BrowserPicture picture;
    bool operator==(const Line &) const = default;
};

void PrintTo(const Line &line, std::ostream *os)
{
    *os << line.text.toStdString() << " (" << line.path.constData() << ", level " << line.level << ", picture "
        << int(line.picture) << ")";
}

BrowserPicture pictureOf(const QListWidgetItem *item)
{
    for (BrowserPicture p : {BrowserPicture::OpenFolder, BrowserPicture::CurrentFolder, BrowserPicture::ClosedFolder}) {
        if (item->icon().cacheKey() == BrowserIcon(p).cacheKey())
            return p;
    }
    return BrowserPicture::Hard; // none of the folder pictures
}

QList<Line> linesOf(const FolderList &list)
{
    QList<Line> lines;
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem *item = list.item(row);
        lines.append({item->text(), list.LinePath(row), item->data(ListLineDelegate::LevelRole).toInt(), pictureOf(item)});
    }
    return lines;
}

// The lines from the root down to `folder` under `root`.
QList<Line> pathLines(const QByteArray &root, const QByteArray &folder)
{
    QList<Line> lines{{QString::fromUtf8(root), root, 0, root == folder ? BrowserPicture::CurrentFolder : BrowserPicture::OpenFolder}};
    QByteArray path = root;
    int level = 0;
    for (const QByteArray &part : folder.mid(root.size()).split('/')) {
        if (part.isEmpty())
            continue;
        path = JoinPath(path, part);
        lines.append({QString::fromUtf8(part), path, ++level,
                      path == folder ? BrowserPicture::CurrentFolder : BrowserPicture::OpenFolder});
    }
    return lines;
}

int rowOf(const FolderList &list, const QByteArray &path)
{
    for (int row = 0; row < list.count(); ++row) {
        if (list.LinePath(row) == path)
            return row;
    }
    return -1;
}

class DirectoryListBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.folder("music");
        dir.folder("music/jazz");
        dir.folder("music/jazz/Bebop");
        dir.folder("music/jazz/cool");
        dir.file("music/jazz/notes.txt");
        dir.file("music/jazz/take5.mid");
        dir.file("music/jazz/Bebop/salt.mid");
    }

    CurrentFolderGuard cwd;
    TempFolder dir;
    FailureLog failures;
};

TEST_F(DirectoryListBoxTest, ShowsThePathIndentedThenTheSubfolders)
{
    FolderList list;
    failures.watch(list);
    list.setVolumeRoots({"/"});
    const QByteArray jazz = dir.at("music/jazz");
    ASSERT_TRUE(list.setDirectory(jazz));

    QList<Line> expected = pathLines("/", jazz);
    const int level = expected.last().level + 1;
    expected.append({QStringLiteral("Bebop"), dir.at("music/jazz/Bebop"), level, BrowserPicture::ClosedFolder});
    expected.append({QStringLiteral("cool"), dir.at("music/jazz/cool"), level, BrowserPicture::ClosedFolder});
    EXPECT_EQ(linesOf(list), expected);
    EXPECT_EQ(list.currentRow(), expected.size() - 3);

    // A screen reader hears what the pictures show.
    const auto description = [&](int row) { return list.item(row)->data(Qt::AccessibleDescriptionRole).toString(); };
    EXPECT_EQ(description(0), QStringLiteral("Open folder"));
    EXPECT_EQ(description(list.currentRow()), QStringLiteral("Current folder"));
    EXPECT_EQ(description(list.count() - 1), QStringLiteral("Folder"));

    // Each level is drawn one step further in.
    QStyleOptionViewItem option;
    option.initFrom(&list);
    const int rootWidth = list.itemDelegate()->sizeHint(option, list.model()->index(0, 0)).width();
    const QModelIndex deep = list.model()->index(list.count() - 1, 0);
    EXPECT_GE(list.itemDelegate()->sizeHint(option, deep).width(), rootWidth + level * ListLineDelegate::IndentStep);
}

TEST_F(DirectoryListBoxTest, TheRootLineIsTheVolumeThatHoldsTheFolder)
{
    FolderList list;
    failures.watch(list);
    const QByteArray volume = dir.at("music");
    list.setVolumeRoots({"/", volume});
    ASSERT_TRUE(list.setDirectory(dir.at("music/jazz")));
    const QList<Line> lines = linesOf(list);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], (Line{QString::fromUtf8(volume), volume, 0, BrowserPicture::OpenFolder}));
    EXPECT_EQ(lines[1], (Line{QStringLiteral("jazz"), dir.at("music/jazz"), 1, BrowserPicture::CurrentFolder}));

    ASSERT_TRUE(list.setDirectory(volume));
    EXPECT_EQ(linesOf(list).first(), (Line{QString::fromUtf8(volume), volume, 0, BrowserPicture::CurrentFolder}));
    EXPECT_EQ(list.currentRow(), 0);
}

TEST_F(DirectoryListBoxTest, DoubleClickOpensAFolderAndTheLinkedFileListFollows)
{
    FolderList list;
    failures.watch(list);
    FileList files;
    failures.watch(files);
    list.setVolumeRoots({"/"});
    ASSERT_TRUE(list.setDirectory(dir.at("music/jazz")));
    list.setFileList(&files);
    EXPECT_EQ(files.Directory(), dir.at("music/jazz"));
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.item(0)->text(), QStringLiteral("take5.mid"));

    list.resize(300, 600);
    list.show();
    const int row = rowOf(list, dir.at("music/jazz/Bebop"));
    ASSERT_GE(row, 0);
    const QPoint at = list.visualItemRect(list.item(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);

    EXPECT_EQ(list.Directory(), dir.at("music/jazz/Bebop"));
    EXPECT_EQ(CurrentFolder(), dir.at("music/jazz/Bebop"));
    EXPECT_EQ(files.Directory(), dir.at("music/jazz/Bebop"));
    ASSERT_EQ(files.count(), 1);
    EXPECT_EQ(files.item(0)->text(), QStringLiteral("salt.mid"));
    EXPECT_EQ(linesOf(list).last().picture, BrowserPicture::CurrentFolder);
}

TEST_F(DirectoryListBoxTest, EnterOpensTheCurrentLine)
{
    FolderList list;
    failures.watch(list);
    list.setVolumeRoots({"/"});
    ASSERT_TRUE(list.setDirectory(dir.at("music/jazz/cool")));
    list.setCurrentRow(rowOf(list, dir.at("music")));
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Directory(), dir.at("music"));
    EXPECT_EQ(linesOf(list).last(), (Line{QStringLiteral("jazz"), dir.at("music/jazz"), int(pathLines("/", dir.at("music")).size()), BrowserPicture::ClosedFolder}));
}

TEST_F(DirectoryListBoxTest, AFolderGoneSinceListingIsReportedAndNothingChanges)
{
    FolderList list;
    failures.watch(list);
    FileList files;
    failures.watch(files);
    list.setVolumeRoots({"/"});
    ASSERT_TRUE(list.setDirectory(dir.at("music/jazz")));
    list.setFileList(&files);
    const QList<Line> before = linesOf(list);
    ASSERT_EQ(::rmdir(dir.at("music/jazz/cool").constData()), 0);

    Q_EMIT list.itemDoubleClicked(list.item(rowOf(list, dir.at("music/jazz/cool"))));

    ASSERT_EQ(failures.texts.size(), 1);
    EXPECT_TRUE(failures.texts[0].contains(QString::fromUtf8(dir.at("music/jazz/cool"))));
    EXPECT_EQ(list.Directory(), dir.at("music/jazz"));
    EXPECT_EQ(linesOf(list), before);
    EXPECT_EQ(files.count(), 1);
    // Still usable: another folder opens.
    EXPECT_TRUE(list.setDirectory(dir.at("music/jazz/Bebop")));
}

TEST_F(DirectoryListBoxTest, StartsAtTheProcessFolderEvenWhenItWasRemoved)
{
    ChangeFolder(dir.at("music/jazz"));
    {
        FolderList list;
        failures.watch(list);
        list.setVolumeRoots({"/"});
        EXPECT_EQ(list.Directory(), dir.at("music/jazz"));
        EXPECT_EQ(linesOf(list).size(), pathLines("/", dir.at("music/jazz")).size() + 2);
    }
    dir.folder("doomed");
    ChangeFolder(dir.at("doomed"));
    ASSERT_EQ(::rmdir(dir.at("doomed").constData()), 0);
    FolderList list;
    failures.watch(list);
    FileList files;
    failures.watch(files);
    EXPECT_EQ(list.Directory(), "/");
    EXPECT_EQ(files.Directory(), "/");
    EXPECT_TRUE(failures.texts.isEmpty());
}

} // namespace
