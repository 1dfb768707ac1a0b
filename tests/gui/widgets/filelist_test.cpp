#include "support/folderfixture.h"
#include "core/folderreader.h"
#include "core/paths.h"
#include "gui/widgets/filelist.h"
#include "support/failurelog.h"

#include <QGuiApplication>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QStringList texts(const FileList &list)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out << list.item(row)->text();
    return out;
}

class FileListBoxTest : public ::testing::Test
{
protected:
    CurrentFolderGuard cwd;
    TempFolder dir;
    FailureLog failures;
};

TEST_F(FileListBoxTest, ListsTheSongFilesOfItsFolderAndEntersIt)
{
    dir.file("a.mid");
    dir.file("B.RMI");
    dir.file("c.wav");
    dir.file(".hidden.mid");
    dir.folder("sub");
    FileList list;
    failures.watch(list);
    ASSERT_TRUE(list.setDirectory(dir.path()));
    EXPECT_EQ(texts(list), (QStringList{QStringLiteral("a.mid"), QStringLiteral("B.RMI")}));
    EXPECT_EQ(list.Directory(), dir.path());
    EXPECT_EQ(CurrentFolder(), dir.path());
    EXPECT_TRUE(failures.texts.isEmpty());
}

TEST_F(FileListBoxTest, SelectedNamesComeAsBytesTopToBottom)
{
    const QByteArray latin1 = "caf\xe9.mid";
    for (const QByteArray &name : {QByteArray("a.mid"), latin1, QByteArray("b.mid"), QByteArray("d.mid")})
        dir.file(name);
    FileList list;
    failures.watch(list);
    ASSERT_TRUE(list.setDirectory(dir.path()));
    ASSERT_EQ(list.count(), 4);
    list.item(3)->setSelected(true);
    list.item(0)->setSelected(true);
    list.item(2)->setSelected(true);
    EXPECT_EQ(list.SelectedNames(), (QList<QByteArray>{"a.mid", latin1, "d.mid"}));
    // Shown decoded, kept as the file system's bytes.
    EXPECT_EQ(list.item(2)->text(), QStringLiteral("café.mid"));
    EXPECT_EQ(list.FileName(2), latin1);
}

// Whether the wait pointer was up as each line went into the list.
QList<bool> busyWhileFilling(FileList &list, const QByteArray &folder)
{
    QList<bool> busyAtRow;
    const QMetaObject::Connection watch = QObject::connect(
        list.model(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex &, int first, int last) {
            const QCursor *cursor = QGuiApplication::overrideCursor();
            for (int row = first; row <= last; ++row)
                busyAtRow << (cursor && cursor->shape() == Qt::WaitCursor);
        });
    EXPECT_TRUE(list.setDirectory(folder));
    QObject::disconnect(watch);
    return busyAtRow;
}

TEST_F(FileListBoxTest, TheHourglassComesWithThe101stNameReadAndGoesAfterwards)
{
    // Only the names that go into the list count: not other files, hidden
    // ones or folders.
    for (int i = 0; i < 100; ++i)
        dir.file(QByteArray("song") + QByteArray::number(1000 + i) + ".mid");
    for (int i = 0; i < 30; ++i) {
        dir.file(QByteArray("noise") + QByteArray::number(i) + ".wav");
        dir.file(QByteArray(".hidden") + QByteArray::number(i) + ".mid");
        dir.folder(QByteArray("folder") + QByteArray::number(i) + ".mid");
    }
    FileList list;
    failures.watch(list);
    const QList<bool> hundred = busyWhileFilling(list, dir.path());
    ASSERT_EQ(hundred.size(), 100);
    EXPECT_EQ(hundred.count(true), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The 101st name turns the pointer while the folder is read, so it is up
    // before the first line goes in.
    dir.file("song2000.rmi");
    const QList<bool> more = busyWhileFilling(list, dir.path());
    ASSERT_EQ(more.size(), 101);
    EXPECT_EQ(more.count(true), 101);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FileListBoxTest, AFolderThatCannotBeReadIsReportedAndTheListStaysUsable)
{
    dir.file("a.mid");
    dir.file("plain.txt");
    dir.link("gone", "dangling");
    FileList list;
    failures.watch(list);
    ASSERT_TRUE(list.setDirectory(dir.path()));
    for (const QByteArray &bad : {dir.at("plain.txt/sub"), dir.at("dangling")}) {
        failures.texts.clear();
        EXPECT_FALSE(list.setDirectory(bad));
        ASSERT_EQ(failures.texts.size(), 1) << bad.constData();
        EXPECT_TRUE(failures.texts[0].contains(QString::fromUtf8(bad)));
        EXPECT_EQ(list.count(), 0);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        // The process stays where it could go last.
        EXPECT_EQ(CurrentFolder(), dir.path());
    }
    failures.texts.clear();
    ASSERT_TRUE(list.setDirectory(dir.path()));
    EXPECT_EQ(texts(list), QStringList{QStringLiteral("a.mid")});
    EXPECT_TRUE(failures.texts.isEmpty());
}

TEST_F(FileListBoxTest, ANewMaskListsTheFolderAgain)
{
    dir.file("a.mid");
    dir.file("b.wav");
    FileList list;
    failures.watch(list);
    ASSERT_TRUE(list.setDirectory(dir.path()));
    list.setMask("*.WAV");
    EXPECT_EQ(texts(list), QStringList{QStringLiteral("b.wav")});
}

} // namespace
