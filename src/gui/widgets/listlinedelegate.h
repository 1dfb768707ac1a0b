// Lines of the file pane's lists: a least height, and an indentation by the
// line's level (ListLineDelegate::LevelRole), as the folder list shows the
// path down to the current folder.
#pragma once

#include <QStyledItemDelegate>

class ListLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int LevelRole = Qt::UserRole + 1;
    static constexpr int IndentStep = 10;

    ListLineDelegate(int lineHeight, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_lineHeight;
};
