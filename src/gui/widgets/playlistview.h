// The playlist view: a report-style list whose press, key-release and
// double-click events reach the main window after the view has applied them
// to its own selection and focus.
#pragma once

#include <QTreeView>

class PlaylistView : public QTreeView
{
    Q_OBJECT

public:
    explicit PlaylistView(QWidget *parent = nullptr);

Q_SIGNALS:
    void mouseDown();
    void keyUp();
    void dblClick();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index, const QEvent *event = nullptr) const override;
};
