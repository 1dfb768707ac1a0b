// The main window's side of the playlist view: rebuilding it from the array,
// the selection, and the paths its rows stand for.
#include "gui/mainwindow/tfrm_main.h"

#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"

#include <QItemSelectionModel>

void TFrm_main::RebuildPlaylistView()
{
    Model->rebuild();
    VMusicList->selectionModel()->clear();
}

void TFrm_main::ClearRowSelection()
{
    // The focused row stays where it is.
    VMusicList->selectionModel()->clearSelection();
}

void TFrm_main::SelectRowAsCurrent(int row)
{
    QItemSelectionModel *selection = VMusicList->selectionModel();
    const QModelIndex index = Model->index(row, 0);
    selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

int TFrm_main::SelectedRow() const
{
    const QModelIndexList rows = VMusicList->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex &index : rows) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first;
}

int TFrm_main::RowCount() const
{
    return Model->rowCount();
}

QByteArray TFrm_main::RowPath(int row) const
{
    // The row's "Path" cell followed by its "File name" cell, as the bytes
    // they were made from, so that any file name plays.
    const QByteArray &path = Playlist.Items.at(row).Path;
    return SplitPath(path, PathPart::Folder) + SplitPath(path, PathPart::Name);
}

QString TFrm_main::RowFileName(int row) const
{
    return Model->index(row, 0).data().toString();
}
