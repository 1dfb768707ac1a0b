#include "gui/widgets/listlinedelegate.h"

#include <algorithm>

namespace {
int indentOf(const QModelIndex &index)
{
    return std::max(0, index.data(ListLineDelegate::LevelRole).toInt()) * ListLineDelegate::IndentStep;
}
} // namespace

ListLineDelegate::ListLineDelegate(int lineHeight, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_lineHeight(lineHeight)
{
}

void ListLineDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(shifted.rect.left() + indentOf(index));
    QStyledItemDelegate::paint(painter, shifted, index);
}

QSize ListLineDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += indentOf(index);
    // The intended height, unless the font needs more: text is never clipped.
    size.setHeight(std::max(m_lineHeight, option.fontMetrics.height()));
    return size;
}
