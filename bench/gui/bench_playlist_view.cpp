// How long the playlist view takes to show a full playlist: a rebuild of
// 65,535 entries, and 65,535 entries appended one by one (as Add does for
// files selected one at a time), each followed by a paint.
#include "core/playlist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>

#include <cstdio>

namespace {
QList<TQVTItem> makeEntries(int count)
{
    QList<TQVTItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i)
        items.append(TQVTItem{QByteArray("/home/user/Music/Collection ") + QByteArray::number(i / 100) +
                              "/song number " + QByteArray::number(i) + ".mid"});
    return items;
}

double paintMs(PlaylistView &view)
{
    // The view lays its rows out lazily: let it, then paint.
    QElapsedTimer t;
    t.start();
    QCoreApplication::processEvents();
    view.viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PlaylistModel model;
    PlaylistView view;
    view.setModel(&model);
    view.resize(330, 300);
    view.show();
    const QList<TQVTItem> entries = makeEntries(MaxPlaylistEntries);

    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        Playlist.Items = entries;
        model.rebuild();
        const double rebuildMs = t.nsecsElapsed() / 1e6;
        const double paint = paintMs(view);
        std::printf("rebuild view from %d entries: %.2f ms (+ layout and first paint %.2f ms)\n", MaxPlaylistEntries,
                    rebuildMs, paint);
    }

    model.clear();
    QElapsedTimer t;
    t.start();
    for (const TQVTItem &item : entries)
        model.append({item});
    const double appendMs = t.nsecsElapsed() / 1e6;
    std::printf("append %d entries one by one: %.2f ms (%.2f us each), then paint %.2f ms\n",
                MaxPlaylistEntries, appendMs, appendMs * 1000 / MaxPlaylistEntries, paintMs(view));

    view.scrollToBottom();
    std::printf("scroll to the last row and paint: %.2f ms\n", paintMs(view));
    return 0;
}
