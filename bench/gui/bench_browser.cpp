// How long the file pane takes with a folder of 10,000 songs: reading it
// (the POSIX listing alone, then the file list with its lines), and adding
// all 10,000 selected files to the playlist with "&Add".
#include "gui/mainwindow/tfrm_main.h"
#include "support/windowparts.h"
#include "core/folderreader.h"
#include "gui/widgets/filelist.h"
#include "core/playlist.h"
#include "gui/widgets/playlistmodel.h"
#include "support/fakesequencer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int FileCount = 10000;
constexpr int Rounds = 5;

template <typename Work>
void report(const char *what, Work work)
{
    double best = 1e30, total = 0;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer t;
        t.start();
        work();
        const double ms = t.nsecsElapsed() / 1e6;
        best = std::min(best, ms);
        total += ms;
    }
    std::printf("%-52s best %8.2f ms   mean %8.2f ms\n", what, best, total / Rounds);
}
} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    for (int i = 0; i < FileCount; ++i) {
        const QByteArray name = folder + "/Track " + QByteArray::number(i) + (i % 2 ? ".mid" : ".RMI");
        const int fd = ::open(name.constData(), O_CREAT | O_WRONLY, 0644);
        ::close(fd);
    }
    // Noise the mask has to pass over.
    for (int i = 0; i < 1000; ++i) {
        const int fd = ::open((folder + "/notes " + QByteArray::number(i) + ".txt").constData(), O_CREAT | O_WRONLY, 0644);
        ::close(fd);
    }
    std::printf("folder of %d songs and 1000 other files\n", FileCount);

    report("ReadMatchingFiles (opendir/readdir, mask, sort)", [&] {
        if (ReadMatchingFiles(folder, "*.mid;*.rmi").size() != FileCount)
            std::abort();
    });

    FakeSequencer::Shared shared;
    TFrm_main window(std::make_unique<FakeSequencer>(&shared));
    window.show();
    report("FileListBox->setDirectory (list shown, hourglass)", [&] {
        Part<FileList>(window, "FileListBox")->setDirectory(folder);
        QCoreApplication::processEvents();
    });

    Part<FileList>(window, "FileListBox")->selectAll();
    report("Btn_addClick with 10,000 files selected", [&] {
        Part<PlaylistModel>(window, "Model")->clear();
        window.Btn_addClick();
        QCoreApplication::processEvents();
        if (Playlist.Items.size() != FileCount)
            std::abort();
    });
    return 0;
}
