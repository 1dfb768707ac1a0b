#include "app/tsplitterhandle.h"

#include <QMouseEvent>

TSplitterHandle::TSplitterHandle(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
}

void TSplitterHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_grab = int(event->position().x());
}

void TSplitterHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (m_grab < 0 || !moved)
        return;
    const QPoint inParent = mapToParent(event->position().toPoint());
    moved(inParent.x() - m_grab);
}

void TSplitterHandle::mouseReleaseEvent(QMouseEvent *event)
{
    mouseMoveEvent(event);
    m_grab = -1;
}
