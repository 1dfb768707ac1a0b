#include "gui/widgets/filedroptarget.h"

#include "core/fileurl.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

FileDropTarget::FileDropTarget(QWidget *target, const QString &refusedFormat)
    : QObject(target)
    , m_refusedFormat(refusedFormat)
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QMimeData *data = drop->mimeData();
        QList<QByteArray> paths = data && !data->hasFormat(m_refusedFormat) ? LocalPaths(*data) : QList<QByteArray>();
        if (m_accepts)
            paths.removeIf([this](const QByteArray &path) { return !m_accepts(path); });
        if (paths.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            Q_EMIT dropped(paths);
        return true;
    }
    case QEvent::DragLeave:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
