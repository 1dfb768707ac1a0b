// How late the lyrics window highlights a syllable: a karaoke song of a
// syllable every 150 ms plays through the real sequencer and sound server;
// at each highlight the heard position is read, and its distance past the
// syllable's time is the lag. Needs a sound server (PulseAudio or PipeWire).
#include "device/smfbuilder.h"
#include "core/playlist.h"
#include "gui/lyrics/lyricswindow.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/startup.h"
#include "support/windowparts.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QCoreApplication::setApplicationName(QStringLiteral("QuavetteBenchLyrics"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));

    // 96 ticks a quarter at 120 BPM: 29 ticks are 151 ms; a note under each.
    TrackBuilder words;
    for (int i = 0; i < 100; ++i)
        words.meta(i == 0 ? 0 : 29, 0x05, i % 8 == 7 ? "la\r" : "la ").at(0, {0x90, 60, 90}).at(0, {0x80, 60, 0});
    words.end(96);
    const QString path = dir.filePath(QStringLiteral("karaoke.mid"));
    if (!WriteFile(path, Smf(1, 96, {words})))
        return 1;
    Playlist.Items.append(TQVTItem{QFile::encodeName(path)});

    // A box (no sound server) ends the run instead of waiting for an answer.
    SetMessageHook([](const MessageRequest &box) {
        std::fprintf(stderr, "%s\n", qPrintable(box.text));
        std::exit(1);
        return QMessageBox::Ok;
    });
    AppWindows w = CreateAppWindows(nullptr);
    TFrm_main &main = *w.main;
    main.RebuildPlaylistView();
    main.show();
    Part<QAction>(main, "ShowLyrics1")->trigger();
    auto *lyrics = [] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *window = qobject_cast<LyricsWindow *>(top))
                return window;
        return static_cast<LyricsWindow *>(nullptr);
    }();
    std::vector<int> lags;
    QObject::connect(lyrics, &LyricsWindow::syllableShown, [&](int ms) { lags.push_back(main.position() - ms); });
    main.play();
    QEventLoop loop;
    QObject::connect(&main, &TFrm_main::stateChanged, &loop, [&](PlayerState s) {
        if (s != PlayerState::Playing)
            loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    loop.exec();
    main.stop();
    if (lags.size() < 2) {
        std::fputs("no syllables were shown (no sound server?)\n", stderr);
        return 1;
    }
    lags.erase(lags.begin()); // the first is shown as the song starts
    std::sort(lags.begin(), lags.end());
    double sum = 0;
    for (int lag : lags)
        sum += lag;
    std::printf("syllables %zu   lag past the heard position: mean %.1f ms, median %d, 95th %d, max %d\n", lags.size(),
                sum / double(lags.size()), lags[lags.size() / 2], lags[lags.size() * 95 / 100], lags.back());
    return 0;
}
