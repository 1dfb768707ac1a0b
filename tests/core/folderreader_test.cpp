#include "core/paths.h"
#include "core/folderreader.h"
#include "support/folderfixture.h"

#include <gtest/gtest.h>

using Names = QList<QByteArray>;

namespace {
const QByteArray SongMask = "*.mid;*.rmi";
}

TEST(ReadMatchingFiles, ListsOnlyPlainVisibleSongFilesSortedByName)
{
    TempFolder dir;
    dir.file("c.wav");
    dir.file("B.RMI");
    dir.file(".hidden.mid");
    dir.file("a.mid");
    dir.folder("sub");
    dir.folder("folder.mid");
    EXPECT_EQ(ReadMatchingFiles(dir.path(), SongMask), (Names{"a.mid", "B.RMI"}));
}

TEST(ReadMatchingFiles, ReportsEachNameThatGoesInAsItIsFound)
{
    TempFolder dir;
    for (const char *name : {"c.wav", "B.RMI", ".hidden.mid", "a.mid", "z.mid"})
        dir.file(name);
    dir.folder("folder.mid");
    dir.link("gone", "dangling.mid");
    QList<qsizetype> counts;
    const Names names = ReadMatchingFiles(dir.path(), SongMask, [&](qsizetype found) { counts << found; });
    EXPECT_EQ(names, (Names{"a.mid", "B.RMI", "z.mid"}));
    EXPECT_EQ(counts, (QList<qsizetype>{1, 2, 3}));
}

TEST(ReadMatchingFiles, SortsWithoutRegardToLetterCase)
{
    TempFolder dir;
    for (const char *name : {"b.mid", "C.MID", "A.mid", "a.MID", "10.mid", "2.mid"})
        dir.file(name);
    EXPECT_EQ(ReadMatchingFiles(dir.path(), SongMask),
              (Names{"10.mid", "2.mid", "A.mid", "a.MID", "b.mid", "C.MID"}));
}

TEST(ReadMatchingFiles, FollowsLinksToFilesButNotDanglingOnes)
{
    TempFolder dir;
    dir.file("real.mid");
    dir.link("real.mid", "alias.mid");
    dir.link("missing.mid", "dangling.mid");
    dir.folder("sub");
    dir.link("sub", "folderlink.mid");
    EXPECT_EQ(ReadMatchingFiles(dir.path(), SongMask), (Names{"alias.mid", "real.mid"}));
}

TEST(ReadMatchingFiles, KeepsEveryNameAsItsBytes)
{
    TempFolder dir;
    const QByteArray latin1 = "caf\xe9.mid";
    const QByteArray sjis = "\x83\x65\x83\x58\x83\x67.mid"; // "テスト" in Shift-JIS
    const QByteArray lineBreak = "two\nlines.mid";
    dir.file(latin1);
    dir.file(sjis);
    dir.file(lineBreak);
    const Names names = ReadMatchingFiles(dir.path(), SongMask);
    ASSERT_EQ(names.size(), 3);
    EXPECT_TRUE(names.contains(latin1));
    EXPECT_TRUE(names.contains(sjis));
    EXPECT_TRUE(names.contains(lineBreak));
}

TEST(ReadFolders, AFolderThatCannotBeReadThrowsWithItsNameAndReason)
{
    // Root reads any folder whatever its permissions: these fail for anyone.
    TempFolder dir;
    dir.file("plain.txt");
    dir.link("gone", "dangling");
    const struct {
        QByteArray folder;
        const char *reason;
    } cases[] = {
        {dir.at("plain.txt/sub"), "Not a directory"},
        {dir.at("plain.txt"), "Not a directory"},
        {dir.at("dangling"), "No such file or directory"},
        {dir.at("never"), "No such file or directory"},
    };
    for (const auto &c : cases) {
        try {
            ReadSubfolders(c.folder);
            ADD_FAILURE() << "no error for " << c.folder.constData();
        } catch (const EFolderError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.folder))) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.what();
        }
        EXPECT_THROW(ReadMatchingFiles(c.folder, SongMask), EFolderError);
    }
}

TEST(ReadSubfolders, ListsFoldersAndLinksToFoldersSorted)
{
    TempFolder dir;
    dir.folder("beta");
    dir.folder("Alpha");
    dir.folder(".config");
    dir.file("gamma");
    dir.folder("target");
    dir.link("target", "delta");
    dir.link("nowhere", "epsilon");
    EXPECT_EQ(ReadSubfolders(dir.path()), (Names{".config", "Alpha", "beta", "delta", "target"}));
}

TEST(FolderPaths, JoinNeverDoublesTheSeparator)
{
    EXPECT_EQ(JoinPath("/", "a.mid"), "/a.mid");
    EXPECT_EQ(JoinPath("/music", "a.mid"), "/music/a.mid");
    EXPECT_EQ(JoinPath("/music/", "a.mid"), "/music/a.mid");
}

TEST(FolderPaths, NormalizeGivesOneAbsoluteSpelling)
{
    EXPECT_EQ(NormalizeFolder("/"), "/");
    EXPECT_EQ(NormalizeFolder("//"), "/");
    EXPECT_EQ(NormalizeFolder("/a//b///"), "/a/b");
    EXPECT_EQ(NormalizeFolder("rel"), JoinPath(CurrentFolder(), "rel"));
}

TEST(FolderPaths, ChangeFolderMovesTheProcessOrThrowsAndStays)
{
    CurrentFolderGuard guard;
    TempFolder dir;
    dir.folder("sub");
    dir.file("plain.txt");
    ChangeFolder(dir.at("sub"));
    EXPECT_EQ(CurrentFolder(), dir.at("sub"));
    EXPECT_THROW(ChangeFolder(dir.at("plain.txt")), EFolderError);
    EXPECT_EQ(CurrentFolder(), dir.at("sub"));
}

TEST(FolderPaths, ARemovedCurrentFolderReadsAsTheRoot)
{
    CurrentFolderGuard guard;
    TempFolder dir;
    dir.folder("doomed");
    ChangeFolder(dir.at("doomed"));
    ASSERT_EQ(::rmdir(dir.at("doomed").constData()), 0);
    EXPECT_EQ(CurrentFolder(), "/");
}
