#include "gui/widgets/splitterhandle.h"

#include <QMouseEvent>

SplitterHandle::SplitterHandle(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
}

void SplitterHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_grab = int(event->position().x());
}

void SplitterHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (m_grab < 0 || !moved)
        return;
    const QPoint inParent = mapToParent(event->position().toPoint());
    moved(inParent.x() - m_grab);
}

void SplitterHandle::mouseReleaseEvent(QMouseEvent *event)
{
    mouseMoveEvent(event);
    m_grab = -1;
}
