// The main window's part in the desktop beyond the design: files dropped on
// the playlist view, and rows of the playlist and the file list dragged out
// to other programs as file URLs.
#include "gui/mainwindow/tfrm_main.h"

#include "gui/fileopener.h"
#include "gui/messages.h"
#include "gui/widgets/filedroptarget.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"

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
        [this](const QList<QByteArray> &paths) {
            Dispatch([this, &paths] { OpenFiles(*this, paths, AfterAdding::Nothing); });
        },
        Qt::QueuedConnection);
}
