#include "gui/startup.h"
#include "support/windowparts.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/widgets/browsericons.h"
#include "support/folderfixture.h"
#include "core/folderreader.h"
#include "gui/widgets/folderlist.h"
#include "core/paths.h"
#include "gui/widgets/drivelist.h"
#include "gui/widgets/filelist.h"
#include "support/fakesequencer.h"
#include "support/failurelog.h"
#include "support/messagerecorder.h"

#include <gtest/gtest.h>

namespace {

MountInfo mount(const QByteArray &at, const char *type, const char *device, const char *label = "", bool removable = false)
{
    return MountInfo{at, type, QString::fromUtf8(label), device, removable};
}

int rowOf(const DriveList &box, const QByteArray &mountPoint)
{
    return box.findData(mountPoint, DriveList::MountPointRole);
}

class DriveComboBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.folder("stick");
        dir.folder("stick/albums");
        dir.file("stick/albums/one.mid");
        dir.folder("nas");
        dir.file("plain.txt");
        volumes = {
            mount("/", "ext4", "/dev/sda1", "System"),
            mount(dir.at("stick"), "vfat", "/dev/sdb1", "STICK", true),
            mount(dir.at("nas"), "nfs", "NAS:/music"),
            mount(dir.at("plain.txt/gone"), "ext4", "/dev/sdc1", "Broken"),
        };
    }

    CurrentFolderGuard cwd;
    TempFolder dir;
    FailureLog failures;
    QList<MountInfo> volumes;
};

TEST_F(DriveComboBoxTest, OneLineWithItsPicturePerVolume)
{
    DriveList box;
    failures.watch(box);
    box.setVolumes({
        mount("/", "ext4", "/dev/sda1", "System"),
        mount("/media/usb", "vfat", "/dev/sdb1"),
        mount("/net", "cifs", "//Host/Share"),
        mount("/cd", "iso9660", "/dev/sr0", "Disc"),
        mount("/scratch", "tmpfs", "tmpfs"),
        mount("/proc", "proc", "proc"),
        mount("/run/user/0", "tmpfs", "tmpfs"),
    });
    // A screen reader hears what the picture shows.
    const struct {
        const char *text;
        BrowserPicture picture;
        const char *description;
    } expected[] = {
        {"/: [system]", BrowserPicture::Hard, "Hard disk"},
        {"/cd: [disc]", BrowserPicture::CdRom, "CD-ROM"},
        {"/media/usb:", BrowserPicture::Floppy, "Removable drive"},
        {"/net: //host/share", BrowserPicture::Network, "Network drive"},
        {"/scratch: []", BrowserPicture::Ram, "RAM disk"},
    };
    ASSERT_EQ(box.count(), int(std::size(expected)));
    for (int row = 0; row < box.count(); ++row) {
        EXPECT_EQ(box.itemText(row), QString::fromUtf8(expected[row].text));
        EXPECT_EQ(box.itemIcon(row).cacheKey(), BrowserIcon(expected[row].picture).cacheKey()) << row;
        EXPECT_FALSE(box.itemIcon(row).isNull());
        EXPECT_EQ(box.itemData(row, Qt::AccessibleDescriptionRole).toString(),
                  QString::fromUtf8(expected[row].description));
    }
}

TEST_F(DriveComboBoxTest, ChoosingAVolumeGoesToItsRootThenToTheFolderLastVisitedOnIt)
{
    FolderList folders;
    failures.watch(folders);
    FileList files;
    failures.watch(files);
    DriveList box;
    failures.watch(box);
    box.setVolumes(volumes);
    ASSERT_TRUE(folders.setDirectory(dir.at("nas")));
    folders.setFileList(&files);
    box.setDirList(&folders);
    EXPECT_EQ(box.Drive(), dir.at("nas"));

    Q_EMIT box.activated(rowOf(box, dir.at("stick")));
    EXPECT_EQ(folders.Directory(), dir.at("stick"));
    EXPECT_EQ(folders.LinePath(0), dir.at("stick"));
    EXPECT_EQ(files.Directory(), dir.at("stick"));

    ASSERT_TRUE(folders.setDirectory(dir.at("stick/albums")));
    EXPECT_EQ(box.Drive(), dir.at("stick"));
    EXPECT_EQ(files.count(), 1);

    box.chooseDrive(rowOf(box, dir.at("nas")));
    EXPECT_EQ(folders.Directory(), dir.at("nas"));
    box.chooseDrive(rowOf(box, dir.at("stick")));
    EXPECT_EQ(folders.Directory(), dir.at("stick/albums"));
    EXPECT_EQ(CurrentFolder(), dir.at("stick/albums"));
    EXPECT_TRUE(failures.texts.isEmpty());
}

TEST_F(DriveComboBoxTest, AVolumeThatCannotBeReadIsReportedAndTheSelectionReturns)
{
    FolderList folders;
    failures.watch(folders);
    DriveList box;
    failures.watch(box);
    box.setVolumes(volumes);
    ASSERT_TRUE(folders.setDirectory(dir.at("stick/albums")));
    box.setDirList(&folders);

    box.setCurrentIndex(rowOf(box, dir.at("plain.txt/gone")));
    Q_EMIT box.activated(box.currentIndex());

    ASSERT_EQ(failures.texts.size(), 1);
    EXPECT_TRUE(failures.texts[0].contains(QString::fromUtf8(dir.at("plain.txt/gone"))));
    EXPECT_EQ(folders.Directory(), dir.at("stick/albums"));
    EXPECT_EQ(box.Drive(), dir.at("stick"));
}

TEST_F(DriveComboBoxTest, ALastVisitedFolderThatWentAwayFallsBackToTheVolumeRoot)
{
    dir.folder("stick/old");
    FolderList folders;
    failures.watch(folders);
    DriveList box;
    failures.watch(box);
    box.setVolumes(volumes);
    box.setDirList(&folders);
    ASSERT_TRUE(folders.setDirectory(dir.at("stick/old")));
    ASSERT_TRUE(folders.setDirectory(dir.at("nas")));
    ASSERT_EQ(::rmdir(dir.at("stick/old").constData()), 0);

    box.chooseDrive(rowOf(box, dir.at("stick")));
    EXPECT_EQ(folders.Directory(), dir.at("stick"));
    EXPECT_TRUE(failures.texts.isEmpty());
}

TEST(FilePaneOfTheMainWindow, TheListsAreLinkedAtCreationAndTheirFailuresShown)
{
    MessageRecorder messages;
    CurrentFolderGuard cwd;
    TempFolder dir;
    dir.folder("songs");
    dir.file("songs/x.mid");
    FakeSequencer::Shared shared;
    AppWindows windows = CreateAppWindows(std::make_unique<FakeSequencer>(&shared));
    TFrm_main &w = *windows.main;
    const QByteArray start = CurrentFolder();
    EXPECT_EQ(Part<FolderList>(w, "DirListBox")->Directory(), start);
    EXPECT_EQ(Part<FileList>(w, "FileListBox")->Directory(), start);
    EXPECT_EQ(Part<DriveList>(w, "DrvBox")->Drive(), VolumeRootOf(start, Part<DriveList>(w, "DrvBox")->MountPoints()));

    ASSERT_TRUE(Part<FolderList>(w, "DirListBox")->setDirectory(dir.at("songs")));
    EXPECT_EQ(Part<FileList>(w, "FileListBox")->Directory(), dir.at("songs"));
    ASSERT_EQ(Part<FileList>(w, "FileListBox")->count(), 1);
    EXPECT_EQ(Part<DriveList>(w, "DrvBox")->Drive(), VolumeRootOf(dir.at("songs"), Part<DriveList>(w, "DrvBox")->MountPoints()));

    EXPECT_FALSE(Part<FolderList>(w, "DirListBox")->setDirectory(dir.at("gone")));
    ASSERT_EQ(messages.boxes.size(), 1);
    EXPECT_EQ(messages.boxes[0].caption, QStringLiteral("error"));
    EXPECT_TRUE(messages.boxes[0].text.contains(QString::fromUtf8(dir.at("gone"))));
}

} // namespace
