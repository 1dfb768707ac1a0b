// The playlist file: "QVT1.10", the entry count, one path per line, every
// line ending in CR LF; and the older layout without the magic line.
#pragma once

#include "core/playlist.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include "core/coreerror.h"

// A playlist file that could not be read or written; the text names the file
// and the reason ("Cannot read the playlist file PATH: REASON").
class EPlaylistFileError : public ECoreError
{
public:
    using ECoreError::ECoreError;
};

enum class QvtReadStatus {
    NothingRead, // no such file, or a file without lines: nothing changes
    Read,        // `items` is the new playlist
    BadFile,     // count above 65,535 (or a legacy file of more lines)
};

struct QvtReadResult {
    QvtReadStatus status = QvtReadStatus::NothingRead;
    QList<TQVTItem> items;
    // Lines of the older layout that held text but no path: what they held
    // is not in `items`.
    int unreadLines = 0;
};

// Reads a playlist file; anything but a regular file is no file. A UTF-8
// byte-order mark before the first line is skipped. Throws EPlaylistFileError
// when the file exists but cannot be read, or its count line is missing, not
// a number or negative, or it ends before its entries.
QvtReadResult ReadQvtFile(const QByteArray &fileName);

// Parses the bytes of a playlist file (the same rules, for tests and tools).
QvtReadResult ParseQvtBytes(const QByteArray &bytes, const QByteArray &fileNameForMessages);

QByteArray LegacyLineToPath(const QByteArray &line);

QByteArray SerializeQvt(const QList<TQVTItem> &items);

// Replaces the file whole (ReplaceFile): a failure leaves the old file as it
// was. Throws EPlaylistFileError ("Cannot write the playlist file PATH:
// REASON").
void WriteQvtFile(const QByteArray &fileName, const QList<TQVTItem> &items);
