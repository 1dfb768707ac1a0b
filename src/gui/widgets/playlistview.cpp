#include "gui/widgets/playlistview.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>

PlaylistView::PlaylistView(QWidget *parent)
    : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    // The selection stays visible when the view loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
}

void PlaylistView::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    Q_EMIT mouseDown();
}

void PlaylistView::keyReleaseEvent(QKeyEvent *event)
{
    QTreeView::keyReleaseEvent(event);
    // X11 sends a release with every auto-repeat; only the real one counts.
    if (!event->isAutoRepeat())
        Q_EMIT keyUp();
}

void PlaylistView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTreeView::mouseDoubleClickEvent(event);
    Q_EMIT dblClick();
}

QItemSelectionModel::SelectionFlags PlaylistView::selectionCommand(const QModelIndex &index, const QEvent *event) const
{
    // A click takes effect on the press, and the press handler has run by the
    // release: Qt would clear the selection there after a click on empty
    // space, or deselect the row after a Ctrl+click on the selected one.
    if (event && event->type() == QEvent::MouseButtonRelease)
        return QItemSelectionModel::NoUpdate;
    return QTreeView::selectionCommand(index, event);
}
