// The playlist array and how its paths split into the two cells of a row.
#pragma once

#include "core/paths.h"

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
