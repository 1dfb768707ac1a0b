// Paths handed to the program from outside its own dialogs (the command
// line, a second start, a drop): which are playlists, which are songs, and
// which cannot be opened.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct OpenedPaths {
    QList<QByteArray> playlists; // in the order given
    QList<QByteArray> songs;     // in the order given, folders expanded
    QStringList problems;        // "PATH (reason)" for each path that cannot be opened
};

// A named file is a playlist when its name ends in ".qvt" (any letter case)
// or it begins with the playlist magic; any other readable file is a song,
// whatever its name. A folder gives the visible files under it that match
// `mask`: each folder's own files in name order, then its subfolders in name
// order. The walk stops once more than `limit` songs are found, because Add
// takes none of them then.
OpenedPaths SortOpenedPaths(const QList<QByteArray> &paths, const QByteArray &mask, qsizetype limit);

// An absolute path without "." or empty parts, ".." taken away with the part
// before it; a relative one is taken from the current folder.
QByteArray AbsolutePath(const QByteArray &path);
