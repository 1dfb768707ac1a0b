#include "core/playlist.h"

#include <QStringDecoder>

TQVTList Playlist;

QByteArray SplitPath(const QByteArray &path, PathPart part)
{
    const qsizetype length = path.size();
    // The final character is never taken as the separator.
    const qsizetype separator = length >= 2 ? path.lastIndexOf('/', length - 2) : -1;
    if (separator < 0)
        return part == PathPart::Name ? path : QByteArray();
    return part == PathPart::Name ? path.mid(separator + 1) : path.left(separator + 1);
}

QString DecodePath(const QByteArray &path)
{
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(path);
        if (!utf8.hasError())
            return text;
    }
    {
        QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
        if (sjis.isValid()) {
            QString text = sjis.decode(path);
            if (!sjis.hasError() && !text.contains(QChar::ReplacementCharacter))
                return text;
        }
    }
    return QString::fromLatin1(path);
}
