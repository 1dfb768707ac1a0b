// Replacing a file's contents so that a full disk, a failing device or a
// crash leaves either the old file or the whole new one, never a short one.
// QSaveFile cannot be trusted with this: with Qt 6.4 its commit() reports
// success when the flush of its last buffered block fails.
#pragma once

#include "core/coreerror.h"

#include <QByteArray>
#include <QString>

// A file that could not be written; the text is the system's reason ("No
// space left on device").
class EFileWriteError : public ECoreError
{
public:
    using ECoreError::ECoreError;
};

// The file a write to `path` lands in: symbolic links followed, so that a
// linked file is rewritten, not the link replaced.
QByteArray WriteTarget(const QByteArray &path);

// A new, empty file beside `target` (same folder, so that a rename can
// replace the target), with the target's permissions when it exists, the
// usual ones of a new file otherwise. Returns its open descriptor and name.
int CreateFileBeside(const QByteArray &target, QByteArray &name);

// Writes every byte.
void WriteAll(int fd, const QByteArray &bytes);

// Makes `from` durable and renames it over `target`. On failure `from` is
// removed and `target` is as it was.
void CommitOver(const QByteArray &from, const QByteArray &target);

// All of it: `bytes` become the contents of the file at `path` (links
// followed). The new contents are written beside and renamed over the old
// file, which keeps its owner, group and mode; on failure the old file is
// untouched and nothing is left behind. Where that cannot be done (the
// folder takes no new entries, the file has other names, its owner cannot
// be kept) the file is rewritten where it is, once there is room for all of
// it. Each throws EFileWriteError.
void ReplaceFile(const QByteArray &path, const QByteArray &bytes);

// Removes what an interrupted write left in `folder`: only files with the
// writer's own temporary names.
void RemoveStaleTemporaries(const QByteArray &folder);
