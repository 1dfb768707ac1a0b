// Every write of a playlist or of the settings on a disk that is full, or
// has one free page: the old file stays byte for byte, nothing is left
// beside it, and the user is told why. Each case gets a small tmpfs of its
// own; mounting one needs root, as CI runs the tests.
#include "core/qvtfile.h"
#include "support/windowparts.h"
#include "core/settingsstore.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/startup.h"
#include "support/bytefiles.h"
#include "support/fakesequencer.h"
#include "support/messagerecorder.h"

#include <QAction>
#include <QDir>
#include <QSettings>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <sys/statvfs.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Page = 4096;

// A tmpfs of 256 KiB of its own, unmounted at the end.
struct SmallDisk {
    char folder[26] = "/tmp/quavette-disk-XXXXXX";
    QByteArray path; // empty when it could not be mounted
    std::string error;
    SmallDisk()
    {
        if (::mkdtemp(folder) && ::mount("tmpfs", folder, "tmpfs", 0, "size=256k") == 0)
            path = folder;
        error = std::strerror(errno);
    }
    ~SmallDisk()
    {
        ::umount2(folder, MNT_DETACH);
        ::rmdir(folder);
    }
    // Fills it up, then frees `pages` again.
    void fill(int pages) const
    {
        const int fd = ::open((path + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        off_t size = 0;
        while (::write(fd, QByteArray(Page, 'x').constData(), Page) == Page)
            size += Page;
        ASSERT_EQ(::ftruncate(fd, size - pages * Page), 0);
        ::close(fd);
        struct statvfs info;
        ASSERT_EQ(::statvfs(path.constData(), &info), 0);
        ASSERT_EQ(info.f_bfree * info.f_frsize, pages * Page);
    }
};

QList<TQVTItem> songs(int count)
{
    QList<TQVTItem> items;
    for (int k = 0; k < count; ++k)
        items << TQVTItem{"/music/a long folder name/song number " + QByteArray::number(k) + ".mid"};
    return items;
}

QStringList entries(const QByteArray &folder)
{
    return QDir(QFile::decodeName(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

enum class Write { Close, Save, SaveAs, Settings };

TEST(FullDisk, NoFailingWriteShortensAPlaylistOrTheSettings)
{
    const QByteArray oldSettings = "[Option]\nRandom=1\n\n[Position]\nTop=90\n";
    const QByteArray oldList = SerializeQvt(songs(2));
    for (Write write : {Write::Close, Write::Save, Write::SaveAs, Write::Settings}) {
        for (int freePages : {0, 1}) {
            SCOPED_TRACE("write " + std::to_string(int(write)) + ", free pages " + std::to_string(freePages));
            SmallDisk disk;
            if (disk.path.isEmpty())
                GTEST_SKIP() << "no small tmpfs can be mounted here (root is needed, as on CI): " << disk.error;
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QFile::decodeName(disk.path + "/config"));
            const QByteArray settings = QFile::encodeName(SettingsStore::FilePath());
            QDir().mkpath(QFile::decodeName(disk.path + "/config/Kestrix"));
            ASSERT_TRUE(WriteBytes(settings, oldSettings));
            // Save As goes onto an existing file.
            const QByteArray list = disk.path + (write == Write::Close ? "/list.qvt" : "/mine.qvt");
            ASSERT_TRUE(WriteBytes(list, oldList));

            FakeSequencer::Shared device;
            MessageRecorder messages;
            AppWindows w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
            ProgramFolder = disk.path + '/';
            w.main->OpenDialog = w.main->SaveDialog = [&](const QByteArray &) { return list; };
            if (write == Write::Save)
                Part<QAction>(*w.main, "Open1")->trigger();
            Playlist.Items = songs(200); // more than the one free page holds
            Part<QAction>(*w.main, "N6")->setChecked(write == Write::Close);
            Part<QAction>(*w.main, "SaveAs1")->setEnabled(true);
            w.main->show();

            disk.fill(freePages);
            if (write == Write::Save)
                Part<QAction>(*w.main, "Save1")->trigger();
            else if (write == Write::SaveAs)
                Part<QAction>(*w.main, "SaveAs1")->trigger();
            else
                w.main->close();

            EXPECT_EQ(ReadBytes(settings), oldSettings);
            EXPECT_EQ(ReadBytes(list), oldList);
            EXPECT_EQ(entries(disk.path), QStringList({u"config"_s, u"filler"_s, QFileInfo(QFile::decodeName(list)).fileName()}));
            EXPECT_EQ(entries(disk.path + "/config/Kestrix"), QStringList{u"Quavette.conf"_s});
            QStringList expected;
            if (write == Write::Close || write == Write::Settings)
                expected << u"'"_s + QFile::decodeName(settings) + u"' の設定に失敗しました."_s;
            if (write != Write::Settings)
                expected << u"Cannot write the playlist file "_s + QFile::decodeName(list) + u": No space left on device."_s;
            EXPECT_EQ(messages.texts(), expected);
            // A program whose settings cannot be stored still closes; one
            // whose list cannot be stored stays open until "&Save list" is off.
            EXPECT_EQ(w.main->isVisible(), write != Write::Settings);
        }
    }
}

} // namespace
