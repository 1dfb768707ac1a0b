// Replacing a file's contents so that a full disk, a failing device or a
// crash leaves either the old file or the whole new one, never a short one.
// QSaveFile cannot be trusted with this: with Qt 6.4 its commit() reports
// success when the flush of its last buffered block fails.
#pragma once

#include <QByteArray>
#include <QString>

// The file a write to `path` lands in: symbolic links followed, so that a
// linked file is rewritten, not the link replaced.
QByteArray WriteTarget(const QByteArray &path);

// A new, empty file beside `target` (same folder, so that a rename can
// replace the target), with the target's permissions when it exists, the
// usual ones of a new file otherwise. Returns its open descriptor and name,
// or -1 with the system's reason.
int CreateFileBeside(const QByteArray &target, QByteArray &name, QString &reason);

// Writes every byte, or gives the system's reason.
bool WriteAll(int fd, const QByteArray &bytes, QString &reason);

// Makes `from` durable and renames it over `target`. On failure `from` is
// removed and `target` is as it was.
bool CommitOver(const QByteArray &from, const QByteArray &target, QString &reason);

// All of it: `bytes` become the contents of the file at `path` (links
// followed). On failure the old file is untouched, nothing is left behind,
// and `reason` is the system's text ("No space left on device").
bool ReplaceFile(const QByteArray &path, const QByteArray &bytes, QString &reason);
