#include "gui/widgets/drivelist.h"

#include "core/paths.h"
#include "gui/messages.h"
#include "gui/widgets/browsericons.h"
#include "gui/widgets/folderlist.h"

namespace {
BrowserPicture pictureOf(DriveType type)
{
    switch (type) {
    case DriveType::Removable: return BrowserPicture::Floppy;
    case DriveType::Remote: return BrowserPicture::Network;
    case DriveType::CdRom: return BrowserPicture::CdRom;
    case DriveType::RamDisk: return BrowserPicture::Ram;
    case DriveType::Fixed: break;
    }
    return BrowserPicture::Hard;
}
} // namespace

DriveList::DriveList(QWidget *parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this](int row) { Dispatch([&] { chooseDrive(row); }); });
    setVolumes(MountedVolumes());
}

void DriveList::setVolumes(const QList<MountInfo> &mounts)
{
    clear();
    for (const DriveLine &line : DriveLines(mounts)) {
        const BrowserPicture picture = pictureOf(line.type);
        addItem(BrowserIcon(picture), line.text, line.mountPoint);
        setItemData(count() - 1, BrowserPictureDescription(picture), Qt::AccessibleDescriptionRole);
    }
    const QByteArray folder = m_dirList ? m_dirList->Directory() : CurrentFolder();
    if (m_dirList)
        m_dirList->setVolumeRoots(MountPoints());
    followFolder(folder);
}

void DriveList::setDirList(FolderList *dirList)
{
    if (m_dirList)
        disconnect(m_dirList, nullptr, this, nullptr);
    m_dirList = dirList;
    if (!m_dirList)
        return;
    connect(m_dirList, &FolderList::directoryChanged, this,
            [this](const QByteArray &folder) { Dispatch([&] { followFolder(folder); }); });
    m_dirList->setVolumeRoots(MountPoints());
    followFolder(m_dirList->Directory());
}

QList<QByteArray> DriveList::MountPoints() const
{
    QList<QByteArray> points;
    for (int row = 0; row < count(); ++row)
        points.append(itemData(row, MountPointRole).toByteArray());
    return points;
}

QByteArray DriveList::Drive() const
{
    return currentData(MountPointRole).toByteArray();
}

void DriveList::chooseDrive(int row)
{
    if (!m_dirList || row < 0 || row >= count())
        return;
    const QByteArray mountPoint = itemData(row, MountPointRole).toByteArray();
    const QByteArray last = m_lastVisited.value(mountPoint, mountPoint);
    QString error = m_dirList->trySetDirectory(last);
    // A folder visited earlier may have gone since; the volume's own root
    // is the next best place.
    if (!error.isEmpty() && last != mountPoint)
        error = m_dirList->trySetDirectory(mountPoint);
    if (!error.isEmpty()) {
        followFolder(m_dirList->Directory());
        Q_EMIT failed(error);
    }
}

void DriveList::followFolder(const QByteArray &folder)
{
    const QByteArray mountPoint = VolumeRootOf(folder, MountPoints());
    m_lastVisited.insert(mountPoint, folder);
    setCurrentIndex(findData(mountPoint, MountPointRole));
}
