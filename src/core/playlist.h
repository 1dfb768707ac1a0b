// The playlist array and the path rules shared by everything that shows or
// stores a playlist entry. Paths are bytes, exactly as the file system gives
// them, so any file name survives a save and a reload.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct TQVTItem {
    QByteArray Path;
};

struct TQVTList {
    QList<TQVTItem> Items;
};

// The program's one playlist, index 0 first.
extern TQVTList Playlist;

constexpr int MaxPlaylistEntries = 65535;

enum class PathPart { Name, Folder };

// Name part or folder part of a path; the separator is the last '/' that is
// not the final character. Folder part + name part == path, always.
QByteArray SplitPath(const QByteArray &path, PathPart part);

// How a path's bytes are shown: UTF-8, else Shift-JIS (older playlists), else
// Latin-1.
QString DecodePath(const QByteArray &path);
