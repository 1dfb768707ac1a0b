// Playlist editing: Add, Delete, Clear, Up and Down, the two handlers of the
// view that keep the selection on the playing song, and the view's rows: the
// selection and the paths the rows stand for.
#include "gui/mainwindow/tfrm_main.h"

#include "core/appinfo.h"
#include "core/paths.h"
#include "core/playlist.h"
#include "gui/messages.h"
#include "gui/widgets/filelist.h"
#include "gui/widgets/playlistmodel.h"
#include "gui/widgets/playlistview.h"
#include <QAction>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

QString visiblePath(const QByteArray &path)
{
    QString text = DecodePath(path);
    text.replace(QLatin1Char('\r'), QChar(0x240D));
    text.replace(QLatin1Char('\n'), QChar(0x240A));
    return text;
}

void reportSkipped(const QList<QByteArray> &paths)
{
    constexpr qsizetype Shown = 20;
    QString text = paths.size() == 1
        ? QStringLiteral("This file was not added, because a playlist cannot hold a path with a line break:")
        : QStringLiteral("These files were not added, because a playlist cannot hold a path with a line break:");
    for (qsizetype i = 0; i < std::min(Shown, paths.size()); ++i)
        text += QLatin1Char('\n') + visiblePath(paths.at(i));
    if (paths.size() > Shown)
        text += QStringLiteral("\n(and %1 more)").arg(paths.size() - Shown);
    ShowErrorMessage(text);
}

} // namespace

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
    if (m_selectedRowKnown)
        return m_selectedRow;
    const QModelIndexList rows = VMusicList->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex &index : rows) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    m_selectedRow = first;
    m_selectedRowKnown = true;
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

void TFrm_main::Btn_addClick()
{
    const QList<QByteArray> names = FileListBox->SelectedNames();
    if (Playlist.Items.size() + names.size() > MaxPlaylistEntries)
        return;
    const QByteArray folder = FileListBox->Directory();
    QList<QByteArray> paths;
    paths.reserve(names.size());
    for (const QByteArray &name : names)
        paths.append(JoinPath(folder, name));
    // Save As is enabled before the line-break message shows.
    QList<QByteArray> skipped;
    appendPaths(paths, skipped);
    if (FileListBox->count() > 0)
        SaveAs1->setEnabled(true);
    if (!skipped.isEmpty())
        reportSkipped(skipped);
}

int TFrm_main::AddPaths(const QList<QByteArray> &paths)
{
    if (Playlist.Items.size() + paths.size() > MaxPlaylistEntries)
        return -1;
    QList<QByteArray> skipped;
    const int first = appendPaths(paths, skipped);
    if (first >= 0)
        SaveAs1->setEnabled(true);
    if (!skipped.isEmpty())
        reportSkipped(skipped);
    return first;
}

int TFrm_main::appendPaths(const QList<QByteArray> &paths, QList<QByteArray> &skipped)
{
    QList<TQVTItem> items;
    items.reserve(paths.size());
    for (const QByteArray &path : paths) {
        if (CanHoldPath(path))
            items.append(TQVTItem{path});
        else
            skipped.append(path);
    }
    const int first = RowCount();
    Model->append(items);
    return items.isEmpty() ? -1 : first;
}

void TFrm_main::Btn_deleteClick()
{
    const int a = SelectedRow();
    if (Playlist.Items.isEmpty() || a < 0)
        return;
    // The rows selected now, bottom first: removing the focused row makes the
    // view select its neighbour, which must not be removed as well.
    QList<int> rows;
    for (const QModelIndex &index : VMusicList->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (int row : std::as_const(rows))
        Model->remove(row);
    if (Playlist.Items.isEmpty()) {
        Save1->setEnabled(false);
        SaveAs1->setEnabled(false);
        SetTitles(ApplicationName());
        return;
    }
    SelectRowAsCurrent(std::min(a, RowCount() - 1));
    VMusicList->setFocus();
}

void TFrm_main::Btn_clearClick()
{
    Model->clear();
    Save1->setEnabled(false);
    SaveAs1->setEnabled(false);
    SetTitles(ApplicationName());
    CurrentListFile.clear();
}

void TFrm_main::Btn_UpClick()
{
    const int a = SelectedRow();
    if (a <= 0)
        return;
    Model->swap(a, a - 1);
    SelectRowAsCurrent(a - 1);
    VMusicList->setFocus();
    SaveAs1->setEnabled(true);
}

void TFrm_main::Btn_DownClick()
{
    const int a = SelectedRow();
    if (a < 0 || a >= RowCount() - 1)
        return;
    Model->swap(a, a + 1);
    SelectRowAsCurrent(a + 1);
    VMusicList->setFocus();
    SaveAs1->setEnabled(true);
}

// The "&Edit" menu: each item runs its command only while the command's
// button is enabled.
void TFrm_main::Add1Click()
{
    runIfEnabled(Btn_add, &TFrm_main::Btn_addClick);
}

void TFrm_main::Delete1Click()
{
    runIfEnabled(Btn_delete, &TFrm_main::Btn_deleteClick);
}

void TFrm_main::Clear1Click()
{
    runIfEnabled(Btn_clear, &TFrm_main::Btn_clearClick);
}

void TFrm_main::Up1Click()
{
    runIfEnabled(Btn_Up, &TFrm_main::Btn_UpClick);
}

void TFrm_main::Down1Click()
{
    runIfEnabled(Btn_Down, &TFrm_main::Btn_DownClick);
}

// The popup items and the double click run their command directly; the
// popup "&Clear" is disabled by Play itself.
void TFrm_main::ClearClick()
{
    Btn_clearClick();
}

void TFrm_main::UpClick()
{
    Btn_UpClick();
}

void TFrm_main::DownClick()
{
    Btn_DownClick();
}

void TFrm_main::FileListBoxDblClick()
{
    Btn_addClick();
}

QByteArray TFrm_main::fileMask() const
{
    return FileListBox->Mask();
}

void TFrm_main::VMusicListKeyUp()
{
    if (!Tmr1->isActive())
        return;
    ClearRowSelection();
    if (CurrentIndex >= 0 && CurrentIndex < RowCount())
        SelectRowAsCurrent(CurrentIndex);
}

void TFrm_main::VMusicListMouseDown()
{
    const QModelIndex focused = VMusicList->currentIndex();
    if (focused.isValid()) {
        VMusicList->selectionModel()->select(focused, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    if (!Tmr1->isActive() || SelectedRow() < 0)
        return;
    if (RowPath(SelectedRow()) != CurrentSongPath) {
        Btn_StopClick();
        Btn_PlayClick();
    }
    if (SelectedRow() >= 0)
        CurrentIndex = SelectedRow();
}

void TFrm_main::wireEditingHandlers()
{
    ConnectHandler(Btn_add, &QPushButton::clicked, this, &TFrm_main::Btn_addClick);
    ConnectHandler(Btn_delete, &QPushButton::clicked, this, &TFrm_main::Btn_deleteClick);
    ConnectHandler(Btn_clear, &QPushButton::clicked, this, &TFrm_main::Btn_clearClick);
    ConnectHandler(Btn_Up, &QPushButton::clicked, this, &TFrm_main::Btn_UpClick);
    ConnectHandler(Btn_Down, &QPushButton::clicked, this, &TFrm_main::Btn_DownClick);

    connectCommand(Add1, &TFrm_main::Add1Click);
    connectCommand(Delete1, &TFrm_main::Delete1Click);
    connectCommand(Clear1, &TFrm_main::Clear1Click);
    connectCommand(Up1, &TFrm_main::Up1Click);
    connectCommand(Down1, &TFrm_main::Down1Click);

    connectCommand(Up, &TFrm_main::UpClick);
    connectCommand(Down, &TFrm_main::DownClick);
    connectCommand(Clear, &TFrm_main::ClearClick);

    ConnectHandler(FileListBox, &QListWidget::itemDoubleClicked, this, &TFrm_main::FileListBoxDblClick);
    ConnectHandler(VMusicList, &PlaylistView::keyUp, this, &TFrm_main::VMusicListKeyUp);
    ConnectHandler(VMusicList, &PlaylistView::mouseDown, this, &TFrm_main::VMusicListMouseDown);
}
