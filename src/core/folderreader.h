// Reading folders with POSIX calls. QDir drops names that are not valid
// UTF-8; these functions keep every name as the bytes the file system gives.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "core/coreerror.h"

#include <functional>

// A folder that cannot be read or entered; the text names the folder and the
// reason, ready to be shown.
class EFolderError : public ECoreError
{
public:
    EFolderError(const QByteArray &folder, int error);
};

// Makes `folder` the process's current folder. Throws EFolderError.
void ChangeFolder(const QByteArray &folder);

// The names of the subfolders of `folder` (links to folders included; "."
// and ".." left out), sorted by name. Throws EFolderError.
QList<QByteArray> ReadSubfolders(const QByteArray &folder);

// The plain, non-hidden files of `folder` (links followed) whose names match
// `mask` (see MatchesMask), sorted by name. `found`, when given, is called
// with the number of names found so far as each one is found, while the
// folder is still being read. Throws EFolderError.
QList<QByteArray> ReadMatchingFiles(const QByteArray &folder, const QByteArray &mask,
                                    const std::function<void(qsizetype)> &found = {});

// Sorts names without regard to letter case, as they are shown; names that
// differ only in case keep a fixed order by their bytes.
void SortNames(QList<QByteArray> &names);
