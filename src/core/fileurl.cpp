#include "core/fileurl.h"

#include <QMimeData>

QUrl FileUrl(const QByteArray &path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

QByteArray LocalPath(const QUrl &url)
{
    if (!url.isLocalFile() || !url.host().isEmpty())
        return {};
    // QUrl::toLocalFile would decode the bytes as UTF-8 and lose the others.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QList<QByteArray> LocalPaths(const QMimeData &data)
{
    QList<QByteArray> paths;
    for (const QUrl &url : data.urls()) {
        QByteArray path = LocalPath(url);
        if (!path.isEmpty())
            paths.append(std::move(path));
    }
    return paths;
}

QMimeData *FileUrlsMimeData(const QList<QByteArray> &paths)
{
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QByteArray &path : paths)
        urls.append(FileUrl(path));
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}
