#include "gui/fileopener.h"

#include "core/openedpaths.h"
#include "core/playlist.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"

#include <QGuiApplication>

namespace {

void reportProblems(const TFrm_main &main, const QStringList &problems)
{
    constexpr qsizetype Shown = 20;
    QString text;
    if (main.language() == Language::English)
        text = problems.size() == 1 ? QStringLiteral("This file could not be opened:")
                                    : QStringLiteral("These files could not be opened:");
    else
        text = QStringLiteral("次のファイルを開けませんでした:");
    for (qsizetype i = 0; i < std::min(Shown, problems.size()); ++i)
        text += QLatin1Char('\n') + problems.at(i);
    if (problems.size() > Shown)
        text += QStringLiteral("\n(and %1 more)").arg(problems.size() - Shown);
    ShowErrorMessage(text);
}

} // namespace

void OpenFiles(TFrm_main &main, const QList<QByteArray> &paths, AfterAdding after)
{
    OpenedPaths opened;
    {
        // A large folder takes a while to walk.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QGuiApplication::restoreOverrideCursor(); }
        } restore;
        opened = SortOpenedPaths(paths, main.fileMask(), MaxPlaylistEntries);
    }
    // One playlist that cannot be read must not keep the others out.
    for (const QByteArray &playlist : std::as_const(opened.playlists))
        Dispatch([&] { main.OpenPlaylist(playlist); });
    const int first = opened.songs.isEmpty() ? -1 : main.AddPaths(opened.songs);
    if (first >= 0 && after == AfterAdding::PlayFirst)
        main.playRow(first);
    // Last: what could be opened is already there, and plays.
    if (!opened.problems.isEmpty())
        reportProblems(main, opened.problems);
}
