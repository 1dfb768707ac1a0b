// Takes drops of files from other programs (or from the file list) on a
// widget, such as an item view's viewport, before the view's own drop
// handling sees them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

class FileDropTarget : public QObject
{
    Q_OBJECT

public:
    // Drags that carry `refusedFormat` are refused: rows of the playlist
    // dragged out and let go on it again add nothing.
    FileDropTarget(QWidget *target, const QString &refusedFormat);

    // Only the paths `accepts` takes are dropped; a drag with none of them
    // is refused.
    void setPathFilter(std::function<bool(const QByteArray &)> accepts) { m_accepts = std::move(accepts); }

Q_SIGNALS:
    // The local files dropped, as bytes, in the drag's order.
    void dropped(const QList<QByteArray> &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_refusedFormat;
    std::function<bool(const QByteArray &)> m_accepts;
};
