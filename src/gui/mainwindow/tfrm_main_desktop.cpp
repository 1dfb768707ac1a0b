// The main window's part in the desktop beyond the design: files dropped on
// the playlist view, SoundFonts dropped anywhere on the window, and rows of
// the playlist and the file list dragged out to other programs as file URLs.
#include "gui/mainwindow/tfrm_main.h"

#include "core/paths.h"
#include "gui/fileopener.h"
#include "gui/messages.h"
#include "gui/widgets/filedroptarget.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"

#include <algorithm>

void TFrm_main::wireDesktopHandlers()
{
    VMusicList->setDragEnabled(true);
    VMusicList->setDragDropMode(QAbstractItemView::DragOnly);
    VMusicList->setDefaultDropAction(Qt::CopyAction);
    FileListBox->setDragEnabled(true);
    FileListBox->setDragDropMode(QAbstractItemView::DragOnly);
    FileListBox->setDefaultDropAction(Qt::CopyAction);

    auto *drops = new FileDropTarget(VMusicList->viewport(), PlaylistModel::RowsFormat());
    // Queued: the drag, maybe started in this program's file list, has ended
    // before a message box can open.
    connect(
        drops, &FileDropTarget::dropped, this,
        [this](QList<QByteArray> paths) {
            Dispatch([this, &paths] {
                const auto soundFont = std::find_if(paths.cbegin(), paths.cend(), IsSoundFontName);
                if (soundFont != paths.cend())
                    ChooseSoundFont(*soundFont);
                paths.removeIf(IsSoundFontName);
                if (!paths.isEmpty())
                    OpenFiles(*this, paths, AfterAdding::Nothing);
            });
        },
        Qt::QueuedConnection);

    // Elsewhere on the window only a SoundFont is taken.
    auto *soundFontDrops = new FileDropTarget(this, PlaylistModel::RowsFormat());
    soundFontDrops->setPathFilter(IsSoundFontName);
    connect(
        soundFontDrops, &FileDropTarget::dropped, this,
        [this](const QList<QByteArray> &paths) { Dispatch([this, &paths] { ChooseSoundFont(paths.constFirst()); }); },
        Qt::QueuedConnection);
}
