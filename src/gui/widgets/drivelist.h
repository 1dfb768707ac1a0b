// The drive list: one line per mounted volume, with its type's picture.
#pragma once

#include "core/volumes.h"

#include <QByteArray>
#include <QComboBox>
#include <QHash>
#include <QList>

class FolderList;

class DriveList : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int MountPointRole = Qt::UserRole;

    explicit DriveList(QWidget *parent = nullptr);
    // From now on choosing a line makes its volume current in the folder list.
    void setDirList(FolderList *dirList);

    // Fills the lines from these volumes (the machine's own at creation).
    void setVolumes(const QList<MountInfo> &mounts);
    QList<QByteArray> MountPoints() const;
    QByteArray Drive() const; // the selected line's mount point

    // Makes the volume on line `row` current in the linked folder list: the
    // folder last visited on it in this run, or its mount point. A volume
    // that cannot be read is reported through failed() and the selection
    // returns to the folder list's volume.
    void chooseDrive(int row);

Q_SIGNALS:
    void failed(const QString &text);

private:
    void followFolder(const QByteArray &folder);

    FolderList *m_dirList = nullptr;
    QHash<QByteArray, QByteArray> m_lastVisited; // mount point -> folder
};
