// Every rule about paths in one place. Paths are bytes, exactly as the file
// system gives them, so that any file name survives a save and a reload; they
// are decoded only to be shown.
#pragma once

#include <QByteArray>
#include <QString>

// How a path's bytes are shown: UTF-8, else Shift-JIS (older playlists), else
// Latin-1.
QString DecodePath(const QByteArray &path);

// `folder` + '/' + `name`, without doubling a '/' that ends `folder`.
QByteArray JoinPath(const QByteArray &folder, const QByteArray &name);

// The process's current folder; "/" when it cannot be told (for example when
// it was removed).
QByteArray CurrentFolder();

// An absolute path without repeated or trailing '/' ("/" stays "/"); a
// relative path is taken from the current folder.
QByteArray NormalizeFolder(const QByteArray &path);

// A regular file at exactly these bytes (links followed); a folder is not a
// file.
bool IsExistingFile(const QByteArray &path);

// Whether a playlist can hold this path. Its file holds one path per line,
// so a path with a line break in it (Linux allows one in a file name) would
// come back as other entries.
bool CanHoldPath(const QByteArray &path);

// A SoundFont by its name: ".sf2" or ".sf3", letter case ignored.
bool IsSoundFontName(const QByteArray &path);

// The folder where the program keeps its own files for this user, ending
// with '/', created when missing; empty when there is no such place.
QByteArray ComputeProgramFolder();
