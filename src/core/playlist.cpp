#include "core/playlist.h"

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
