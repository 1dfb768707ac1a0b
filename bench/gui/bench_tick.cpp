// What one tick of the playback timer costs while a song plays: the handler
// alone (called directly, a thousand times over), and the timer itself as the
// event loop runs it (thread CPU per tick over two seconds), with the
// position displays off, with "Show position", and with the controller shown.
#include "core/playlist.h"
#include "support/windowparts.h"
#include "gui/controller/tfrm_ctrl.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/startup.h"
#include "support/fakesequencer.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {
double threadCpuUs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

void measure(const char *label, TFrm_main &main, FakeSequencer::Shared &device)
{
    constexpr int Calls = 1000;
    double best = 1e30;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < Calls; ++i) {
            FakeSequencer::advance(&device, 16);
            main.Tmr1Timer();
        }
        best = std::min(best, t.nsecsElapsed() / 1e3 / Calls);
        QCoreApplication::processEvents(); // the repaints the writes asked for
    }

    // The timer as it runs: handler, event dispatch and the repaints it causes.
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    int ticks = 0;
    const auto counter = QObject::connect(Part<QTimer>(main, "Tmr1"), &QTimer::timeout, [&] { ++ticks; });
    const double cpu0 = threadCpuUs();
    loop.exec();
    const double cpu = threadCpuUs() - cpu0;
    QObject::disconnect(counter);
    std::printf("%-34s handler %6.1f us   running: %3d ticks in 2 s, %6.1f us of CPU per tick\n", label, best,
                ticks, cpu / std::max(1, ticks));
}
} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QCoreApplication::setApplicationName(QStringLiteral("QuavetteBenchTick"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));

    FakeSequencer::Shared device;
    device.defaultLength = 24 * 3600 * 1000; // never ends while measured
    AppWindows w = CreateAppWindows(std::make_unique<FakeSequencer>(&device));
    TFrm_main &main = *w.main;
    for (int i = 0; i < 20; ++i) {
        const QByteArray path = QFile::encodeName(dir.path()) + "/song " + QByteArray::number(i) + ".mid";
        QFile(QFile::decodeName(path)).open(QIODevice::WriteOnly);
        Playlist.Items.append(TQVTItem{path});
    }
    main.RebuildPlaylistView();
    main.show();
    main.Btn_PlayClick();
    if (!Part<QTimer>(main, "Tmr1")->isActive()) {
        std::fputs("the song did not start\n", stderr);
        return 1;
    }
    std::printf("tick interval %d ms\n", Part<QTimer>(main, "Tmr1")->interval());

    measure("displays off", main, device);
    Part<QAction>(main, "showposition1")->trigger();
    measure("\"Show position\" on", main, device);
    w.ctrl->show();
    measure("\"Show position\" + controller shown", main, device);
    return 0;
}
