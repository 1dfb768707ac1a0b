// File URLs for paths held as bytes: what a drag offers to other programs
// and what a drop from them brings.
#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

class QMimeData;

// "file://" and the path's bytes percent-encoded, so that a name that is not
// valid UTF-8 survives the trip.
QUrl FileUrl(const QByteArray &path);

// The path of a local file URL, as bytes; empty for any other URL.
QByteArray LocalPath(const QUrl &url);

// The local paths among the URLs of a drag, in their order.
QList<QByteArray> LocalPaths(const QMimeData &data);

// A drag of these paths, as text/uri-list.
QMimeData *FileUrlsMimeData(const QList<QByteArray> &paths);
